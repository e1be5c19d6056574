#pragma once

#include "acquisition/output.h"
#include "core/prompts.h"

namespace tarv::acquisition {

// For code written against the operator's boxes (the logger): what it would tell
// becomes a report of one topic; nothing is ever chosen in a dialog.
class ReportingPrompts final : public core::Prompts
{
public:
    ReportingPrompts(OutputHost &host, Topic topic)
        : m_host(host)
        , m_topic(topic)
    { }

    void message(const QString &text, const QString &title, core::PromptIcon icon) override
    {
        notify(text, title, icon);
    }
    void notify(const QString &text, const QString &title, core::PromptIcon icon) override
    {
        Severity severity = Severity::Information;
        if (icon == core::PromptIcon::Error)
            severity = Severity::Error;
        else if (icon == core::PromptIcon::Warning)
            severity = Severity::Warning;
        m_host.report({m_topic, severity, text, title});
    }
    std::optional<QString> saveFileName(const core::FileDialogOptions &) override { return {}; }
    std::optional<QString> openFileName(const core::FileDialogOptions &) override { return {}; }
    std::optional<std::uint32_t> chooseColor() override { return {}; }

private:
    OutputHost &m_host;
    Topic m_topic;
};

} // namespace tarv::acquisition
