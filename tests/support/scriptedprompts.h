#pragma once

#include "core/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tarv::testsupport {

// Prompts answered from a script: each file or colour request takes the next
// queued answer (nothing queued means the operator cancelled). Everything shown is
// recorded so tests can check text, title and icon.
class ScriptedPrompts final : public core::Prompts
{
public:
    struct Shown
    {
        QString text, title;
        core::PromptIcon icon;
        bool modal;
    };

    void message(const QString &text, const QString &title, core::PromptIcon icon) override
    {
        shown.append({text, title, icon, true});
        if (whileModal)
            whileModal();
    }
    void notify(const QString &text, const QString &title, core::PromptIcon icon) override
    {
        shown.append({text, title, icon, false});
    }
    std::optional<QString> saveFileName(const core::FileDialogOptions &options) override
    {
        fileRequests.append(options);
        return m_files.isEmpty() ? std::nullopt : m_files.takeFirst();
    }
    std::optional<QString> openFileName(const core::FileDialogOptions &options) override
    {
        return saveFileName(options);
    }
    std::optional<std::uint32_t> chooseColor() override
    {
        ++colorRequests;
        return m_colors.isEmpty() ? std::nullopt : m_colors.takeFirst();
    }

    // Every box shown: "title: text", its icon (-, I, W, E), and "modeless" if so.
    QStringList boxes() const
    {
        QStringList list;
        for (const Shown &s : shown)
            list << QStringLiteral("%1: %2 %3%4")
                        .arg(s.title, s.text, QChar(u"-IWE"[int(s.icon)]),
                            s.modal ? QString() : QStringLiteral(" modeless"));
        return list;
    }

    // Queue answers; std::nullopt queues a cancel.
    void queueFile(const std::optional<QString> &answer) { m_files.push_back(answer); }
    void queueColor(std::optional<std::uint32_t> answer) { m_colors.push_back(answer); }

    QList<Shown> shown; // every message and notification, in order
    // Runs while a modal box is "open", e.g. an event loop, as a real box has.
    std::function<void()> whileModal;
    QList<core::FileDialogOptions> fileRequests; // every file dialog asked for
    int colorRequests = 0;

private:
    QList<std::optional<QString>> m_files;
    QList<std::optional<std::uint32_t>> m_colors;
};

} // namespace tarv::testsupport
