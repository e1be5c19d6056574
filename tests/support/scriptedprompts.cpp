#include "support/scriptedprompts.h"

namespace tarv::testsupport {

void ScriptedPrompts::message(const QString &text, const QString &title, core::PromptIcon icon)
{
    shown.append({text, title, icon, true});
    if (whileModal)
        whileModal();
}

void ScriptedPrompts::notify(const QString &text, const QString &title, core::PromptIcon icon)
{
    shown.append({text, title, icon, false});
}

std::optional<QString> ScriptedPrompts::saveFileName(const core::FileDialogOptions &options)
{
    fileRequests.append(options);
    if (m_files.empty())
        return std::nullopt;
    const Answer answer = m_files.front();
    m_files.pop_front();
    if (answer.cancelled)
        return std::nullopt;
    return answer.text;
}

std::optional<QString> ScriptedPrompts::openFileName(const core::FileDialogOptions &options)
{
    return saveFileName(options);
}

std::optional<std::uint32_t> ScriptedPrompts::chooseColor()
{
    ++colorRequests;
    if (m_colors.empty())
        return std::nullopt;
    auto answer = m_colors.front();
    m_colors.pop_front();
    return answer;
}

} // namespace tarv::testsupport
