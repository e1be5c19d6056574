#include "service/journal.h"

#include <cstdio>

namespace tarv::service {

namespace {

Journal::Sink fileSink(std::FILE *file)
{
    return [file](const QByteArray &line) {
        std::fwrite(line.constData(), 1, std::size_t(line.size()), file);
        std::fflush(file);
    };
}

// One event, one line: a text of several lines is joined, so the journal does not
// show its continuation lines as events of their own.
QByteArray oneLine(const QString &text)
{
    QString line = text.trimmed();
    line.replace(QLatin1Char('\n'), QStringLiteral("; "));
    line.remove(QLatin1Char('\r'));
    return line.toUtf8() + '\n';
}

} // namespace

Journal::Journal()
    : Journal(fileSink(stderr), fileSink(stdout))
{ }

Journal::Journal(Sink reports, Sink output)
    : m_reports(std::move(reports))
    , m_output(std::move(output))
{ }

void Journal::report(Priority priority, const QString &text)
{
    m_reports('<' + QByteArray::number(int(priority)) + '>' + oneLine(text));
}

void Journal::output(const QString &line)
{
    m_output(oneLine(line));
}

void JournalPrompts::message(const QString &text, const QString &title, core::PromptIcon icon)
{
    notify(text, title, icon);
}

void JournalPrompts::notify(const QString &text, const QString &title, core::PromptIcon icon)
{
    Journal::Priority priority = Journal::Priority::Info;
    if (icon == core::PromptIcon::Error)
        priority = Journal::Priority::Error;
    else if (icon == core::PromptIcon::Warning)
        priority = Journal::Priority::Warning;
    m_journal.report(priority, title.isEmpty() ? text : title + QStringLiteral(": ") + text);
}

} // namespace tarv::service
