#include "ui/main/qtprompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace tarv::ui {

namespace {

QMessageBox::Icon boxIcon(core::PromptIcon icon)
{
    switch (icon) {
    case core::PromptIcon::Information:
        return QMessageBox::Information;
    case core::PromptIcon::Warning:
        return QMessageBox::Warning;
    case core::PromptIcon::Error:
        return QMessageBox::Critical;
    case core::PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtPrompts::QtPrompts(QWidget *parentWindow)
    : m_parent(parentWindow)
{ }

void QtPrompts::message(const QString &text, const QString &title, core::PromptIcon icon)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

void QtPrompts::notify(const QString &text, const QString &title, core::PromptIcon icon)
{
    auto *box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    box->setModal(false);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

std::optional<QString> QtPrompts::saveFileName(const core::FileDialogOptions &options)
{
    return chooseFile(options, true);
}

std::optional<QString> QtPrompts::openFileName(const core::FileDialogOptions &options)
{
    return chooseFile(options, false);
}

std::optional<QString> QtPrompts::chooseFile(const core::FileDialogOptions &options, bool forSaving)
{
    // An instance rather than the static helpers: only it takes a default suffix.
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Every save here (configuration and calibration exports, the log file, the trend's
    // picture and data) replaces an existing file without a question: the operator has
    // just chosen that name, and the program's windows have always worked this way.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, forSaving);
    if (!options.filter.isEmpty())
        dialog.setNameFilter(options.filter);
    if (!options.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.initialPath.isEmpty())
        dialog.selectFile(options.initialPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<std::uint32_t> QtPrompts::chooseColor()
{
    const QColor colour = QColorDialog::getColor(Qt::white, m_parent);
    if (!colour.isValid())
        return std::nullopt;
    return static_cast<std::uint32_t>(colour.rgb() & 0xFFFFFFu);
}

} // namespace tarv::ui
