#include "ui/logging/frmsave.h"

#include "core/acquisitionstate.h"
#include "core/prompts.h"
#include "logging/logformat.h"
#include "logging/logger.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace tarv::ui {

namespace {

constexpr int IntervalItems = 300;
const QString SaveCaption = QStringLiteral("Save");
const QString SavingError = QStringLiteral("Saving Error");

template<typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QString indexed(const char *name, int index)
{
    return QLatin1String(name) + QString::number(index);
}

QRadioButton *option(const char *name, const char *caption, QWidget *parent, QRect where)
{
    auto *button = named(new QRadioButton(QLatin1String(caption), parent), QLatin1String(name));
    button->setGeometry(where);
    return button;
}

// The position whose selection a mode value makes; nothing for a value outside
// the table, so the group keeps its design selection.
template<std::size_t N> void selectMode(const std::array<QRadioButton *, N> &options, int mode)
{
    if (mode >= 1 && mode <= int(N))
        options[mode - 1]->setChecked(true);
}

template<std::size_t N> core::Integer selectedMode(const std::array<QRadioButton *, N> &options)
{
    for (std::size_t i = 0; i + 1 < N; ++i)
        if (options[i]->isChecked())
            return core::Integer(i + 1);
    return core::Integer(N);
}

} // namespace

FrmSave::FrmSave(
    core::AcquisitionState &state, logging::Logger &logger, core::Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , m_state(state)
    , m_logger(logger)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmSave"));
    setWindowTitle(SaveCaption);
    setWindowFlags(
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    buildFileGroup();
    buildChannelGroup();
    buildOptionGroups();
    buildButtons();
    setFixedSize(twips(9000), twips(6420));
    // Centred on the screen rather than over the main window.
    const QRect area = (parent ? parent->screen() : screen())->availableGeometry();
    move(area.center() - rect().center());
    loadFromState();
}

void FrmSave::buildFileGroup()
{
    Frame1 = named(
        new QGroupBox(QStringLiteral("Save File Details:"), this), QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 8760, 735));
    Label1 = named(new QLabel(QStringLiteral("File Name:"), Frame1), QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(120, 330, 960, 255));
    txtFile = named(new QLineEdit(Frame1), QStringLiteral("txtFile"));
    txtFile->setGeometry(twipsRect(1080, 285, 6360, 330));
    cmdSelect
        = named(new QPushButton(QStringLiteral("Select"), Frame1), QStringLiteral("cmdSelect"));
    cmdSelect->setGeometry(twipsRect(7560, 255, 1080, 390));
    cmdSelect->setAutoDefault(false);
    connect(cmdSelect, &QPushButton::clicked, this, &FrmSave::selectFile);
}

void FrmSave::buildChannelGroup()
{
    Frame2
        = named(new QGroupBox(QStringLiteral("Channel Details"), this), QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(120, 960, 4800, 4200));
    for (int c = 0; c < core::ChannelCount; ++c) {
        const int top = 300 + c * 480;
        lblChannel[c] = named(new QLabel(Frame2), indexed("lblChannel", c));
        lblChannel[c]->setGeometry(twipsRect(120, top + 45, 1080, 255));
        txtChannel[c] = named(new QLineEdit(Frame2), indexed("txtChannel", c));
        txtChannel[c]->setGeometry(twipsRect(1200, top, 3480, 330));
    }
    chkHeaders
        = named(new QCheckBox(QStringLiteral("Use Channel Details as column headers."), this),
            QStringLiteral("chkHeaders"));
    chkHeaders->setGeometry(twipsRect(120, 5280, 4800, 315));
    chkHeaders->setChecked(true);
}

void FrmSave::buildOptionGroups()
{
    Frame3
        = named(new QGroupBox(QStringLiteral("Saving Options:"), this), QStringLiteral("Frame3"));
    Frame3->setGeometry(twipsRect(5040, 960, 3840, 1200));
    optCSV
        = option("optCSV", "Comma separated values (csv)", Frame3, twipsRect(120, 270, 3600, 285));
    optTSV = option("optTSV", "Tab separated values", Frame3, twipsRect(120, 570, 3600, 285));
    optSSV = option("optSSV", "Space separated values", Frame3, twipsRect(120, 870, 3600, 285));
    optCSV->setChecked(true);

    Frame4
        = named(new QGroupBox(QStringLiteral("Saving Interval:"), this), QStringLiteral("Frame4"));
    Frame4->setGeometry(twipsRect(5040, 2280, 3840, 1200));
    optSec = option("optSec", "Seconds", Frame4, twipsRect(120, 270, 1320, 285));
    optMin = option("optMin", "Minutes", Frame4, twipsRect(120, 570, 1320, 285));
    optHour = option("optHour", "Hours", Frame4, twipsRect(120, 870, 1320, 285));
    optSec->setChecked(true);
    // Pick-only: a typed text would never be read and could leave no item selected.
    cmbIntv = named(new QComboBox(Frame4), QStringLiteral("cmbIntv"));
    cmbIntv->setGeometry(twipsRect(1560, 240, 1080, 330));

    Frame5 = named(new QGroupBox(QStringLiteral("Index"), this), QStringLiteral("Frame5"));
    Frame5->setGeometry(twipsRect(5040, 3600, 3840, 1200));
    optSN = option("optSN", "Use Serial No.", Frame5, twipsRect(120, 270, 1920, 285));
    optNone = option("optNone", "None", Frame5, twipsRect(2160, 270, 1560, 285));
    // A button takes a lone "&" as its shortcut mark; "&&" draws the one written.
    optDT = option("optDT", "Use Date && Time", Frame5, twipsRect(120, 570, 3600, 285));
    optT = option("optT", "Use Only Time", Frame5, twipsRect(120, 870, 3600, 285));
    optT->setChecked(true);
}

void FrmSave::buildButtons()
{
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsRect(120, 5820, 1215, 420));
    cmdCancel->setAutoDefault(false);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(3900, 5820, 1215, 420));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &FrmSave::confirm);
}

void FrmSave::loadFromState()
{
    for (int c = 0; c < core::ChannelCount; ++c)
        lblChannel[c]->setText(QStringLiteral("Channel %1:").arg(c));
    for (int n = 1; n <= IntervalItems; ++n)
        cmbIntv->addItem(QString::number(n));
    cmbIntv->setCurrentIndex(0);

    txtFile->setText(m_state.saveFileName);
    chkHeaders->setChecked(m_state.useChannelHeaders == core::True);
    selectMode(std::array {optCSV, optTSV, optSSV}, m_state.separatorMode);
    selectMode(std::array {optSec, optMin, optHour}, m_state.saveIntervalUnit);
    if (m_state.saveInterval >= 1 && m_state.saveInterval <= IntervalItems)
        cmbIntv->setCurrentIndex(m_state.saveInterval - 1);
    selectMode(std::array {optSN, optDT, optT, optNone}, m_state.stampMode);
    for (int c = 0; c < core::ChannelCount; ++c)
        txtChannel[c]->setText(m_state.channelNames[c]);
}

bool FrmSave::refuseDoubleQuotes()
{
    const QChar quote = QLatin1Char('"');
    QLineEdit *offending = nullptr;
    QString text;
    if (txtFile->text().contains(quote)) {
        offending = txtFile;
        text = QStringLiteral("The file name cannot contain a double quote (\").");
    }
    for (int c = 0; offending == nullptr && c < core::ChannelCount; ++c) {
        if (txtChannel[c]->text().contains(quote)) {
            offending = txtChannel[c];
            text = QStringLiteral("The details of Channel %1 cannot contain a double quote (\").")
                       .arg(c);
        }
    }
    if (offending == nullptr)
        return false;
    m_prompts.message(
        text + QStringLiteral(" Nothing has been changed."), SaveCaption, core::PromptIcon::Error);
    offending->setFocus();
    return true;
}

void FrmSave::storeToState()
{
    m_state.saveFileName = txtFile->text();
    for (int c = 0; c < core::ChannelCount; ++c)
        m_state.channelNames[c] = txtChannel[c]->text();
    m_state.useChannelHeaders = core::toFlag(chkHeaders->isChecked());
    m_state.separatorMode = selectedMode(std::array {optCSV, optTSV, optSSV});
    m_state.saveIntervalUnit = selectedMode(std::array {optSec, optMin, optHour});
    m_state.saveInterval = core::Integer(cmbIntv->currentIndex() + 1);
    m_state.stampMode = selectedMode(std::array {optSN, optDT, optT, optNone});
}

void FrmSave::confirm()
{
    if (refuseDoubleQuotes())
        return;
    storeToState();

    if (m_state.saveFileName.isEmpty()) {
        m_state.savingActive = core::False;
        m_prompts.message(QStringLiteral("File name cannot be left empty"),
            QStringLiteral("File Name Error"), core::PromptIcon::Error);
        return;
    }
    // The header's channel columns must say something: a lone enabled channel
    // with empty details would leave a header of stamp columns only.
    if (logging::channelHeaderFields(m_state).isEmpty()) {
        m_prompts.message(QStringLiteral("No channels for saving selected!"), SavingError,
            core::PromptIcon::Information);
        return;
    }
    const logging::Logger::StartResult started = m_logger.start();
    if (!started.ok) {
        m_prompts.message(started.error, SavingError, core::PromptIcon::Error);
        return;
    }
    accept();
}

void FrmSave::selectFile()
{
    if (const auto chosen = m_prompts.saveFileName({}))
        txtFile->setText(*chosen);
}

} // namespace tarv::ui
