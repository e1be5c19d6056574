#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace tarv::core {

enum class PromptIcon { None, Information, Warning, Error };

struct FileDialogOptions
{
    QString filter; // e.g. "Config Files (*.cfg)"; empty for none
    QString defaultSuffix; // without the dot; empty for none
    QString initialPath;
};

// Everything that asks the operator something or tells them something in a box.
// The program shows Qt dialogs; tests answer from a script and record what was
// shown. Modal calls return when the operator has answered.
class Prompts
{
public:
    virtual ~Prompts() = default;

    // A modal box with one OK button.
    virtual void message(const QString &text, const QString &title, PromptIcon icon) = 0;

    // A box that does not block the caller; the operator closes it when they like.
    virtual void notify(const QString &text, const QString &title, PromptIcon icon) = 0;

    // File choosers: nothing when cancelled.
    virtual std::optional<QString> saveFileName(const FileDialogOptions &options) = 0;
    virtual std::optional<QString> openFileName(const FileDialogOptions &options) = 0;

    // Colour chooser: an 0xRRGGBB value, nothing when cancelled.
    virtual std::optional<std::uint32_t> chooseColor() = 0;
};

} // namespace tarv::core
