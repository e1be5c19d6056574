#pragma once

#include "core/prompts.h"

#include <QPointer>
#include <QWidget>

namespace tarv::ui {

// The operator's side of core::Prompts: Qt message boxes, file dialogs and the
// colour chooser, owned by the window given (the main window once it exists).
class QtPrompts final : public core::Prompts
{
public:
    explicit QtPrompts(QWidget *parentWindow = nullptr);

    // Boxes and dialogs opened from now on are owned by this window.
    void setParentWindow(QWidget *parentWindow) { m_parent = parentWindow; }

    void message(const QString &text, const QString &title, core::PromptIcon icon) override;
    void notify(const QString &text, const QString &title, core::PromptIcon icon) override;
    std::optional<QString> saveFileName(const core::FileDialogOptions &options) override;
    std::optional<QString> openFileName(const core::FileDialogOptions &options) override;
    std::optional<std::uint32_t> chooseColor() override;

private:
    std::optional<QString> chooseFile(const core::FileDialogOptions &options, bool forSaving);

    QPointer<QWidget> m_parent;
};

} // namespace tarv::ui
