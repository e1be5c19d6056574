#include "service/journalreporter.h"

namespace tarv::service {

void JournalReporter::report(const acquisition::Report &report)
{
    Journal::Priority priority = Journal::Priority::Info;
    if (report.severity == acquisition::Severity::Error)
        priority = Journal::Priority::Error;
    else if (report.severity == acquisition::Severity::Warning)
        priority = Journal::Priority::Warning;
    m_journal.report(
        priority, report.title.isEmpty() ? report.text : report.title + ": " + report.text);
}

void JournalReporter::conversionFaults(const link::ChannelFailures &failures)
{
    if (failures.empty()) {
        m_journal.info(QStringLiteral("every channel converts again"));
        return;
    }
    QStringList parts;
    for (const link::ChannelFailure &failure : failures)
        parts.append(QStringLiteral("channel %1: %2")
                         .arg(failure.channel)
                         .arg(link::describe(failure.error)));
    m_journal.warning(
        QStringLiteral("conversion failed: %1").arg(parts.join(QStringLiteral(", "))));
}

void JournalReporter::iniProblems(const QStringList &problems)
{
    for (const QString &problem : problems)
        m_journal.warning(QStringLiteral("tarvane.ini: %1; its default is used").arg(problem));
}

} // namespace tarv::service
