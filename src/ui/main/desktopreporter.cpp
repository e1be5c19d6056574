#include "ui/main/desktopreporter.h"

#include "ui/uitexts.h"

#include <QPointer>

namespace tarv::ui {

namespace {

core::PromptIcon iconFor(acquisition::Severity severity)
{
    switch (severity) {
    case acquisition::Severity::Information:
        return core::PromptIcon::Information;
    case acquisition::Severity::Warning:
        return core::PromptIcon::Warning;
    case acquisition::Severity::Error:
        return core::PromptIcon::Error;
    }
    return core::PromptIcon::None;
}

} // namespace

void DesktopReporter::report(const acquisition::Report &report)
{
    // The settings files are read silently at start-up, as they always were; only
    // tarvane.ini's warnings reach the desktop program as settings reports.
    // A web page that cannot listen is as worth a box as a bad setting.
    const bool webFault = report.topic == acquisition::Topic::Web
        && report.severity != acquisition::Severity::Information;
    if (report.topic == acquisition::Topic::Log)
        m_prompts.notify(report.text, report.title, iconFor(report.severity));
    else if (report.topic == acquisition::Topic::Settings || webFault)
        m_prompts.notify(report.text, ApplicationTitle, iconFor(report.severity));
}

void DesktopReporter::conversionFaults(const link::ChannelFailures &failures)
{
    // A box shows a set of faults once; a clean frame forgets it, so a fault that
    // comes back later is shown again. Frames go on being handled under the open
    // box; when it closes, the faults that stand by then are shown if they changed
    // meanwhile.
    m_failuresLatest = failures;
    if (failures.empty())
        m_failuresShown.clear();
    if (m_failureBoxOpen)
        return;
    const QPointer<DesktopReporter> alive(this);
    while (!m_failuresLatest.empty() && m_failuresLatest != m_failuresShown) {
        m_failuresShown = m_failuresLatest;
        QStringList lines;
        for (const link::ChannelFailure &failure : m_failuresShown)
            lines.append(failure.text());
        m_failureBoxOpen = true;
        m_prompts.message(lines.join(u'\n'), ApplicationTitle, core::PromptIcon::Error);
        if (!alive)
            return;
        m_failureBoxOpen = false;
    }
}

void DesktopReporter::iniProblems(const QStringList &problems)
{
    m_prompts.notify(
        QStringLiteral("tarvane.ini: the defaults are used instead of:\n") + problems.join(u'\n'),
        ApplicationTitle, core::PromptIcon::Warning);
}

} // namespace tarv::ui
