#include "ui/config/frmconfig.h"

#include "core/acquisitionstate.h"
#include "core/numeric.h"
#include "core/prompts.h"
#include "core/settingsfile.h"
#include "ui/childwindow.h"
#include "ui/config/configfile.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

namespace tarv::ui::config {

namespace {

// Channel groups stand four to a row, line groups four to a row as well: the
// line captions are too long for more.
constexpr int GroupWidth = 3000;
constexpr int AnalogHeight = 1260;
constexpr int DioHeight = 840;
constexpr int Pitch = 3120;
constexpr int FrameWidth = 12600;

core::FileDialogOptions configDialog()
{
    return {QStringLiteral("Config Files (*.cfg)"), QStringLiteral("cfg"), QString()};
}

template<typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QString indexed(const char *name, int index)
{
    return QLatin1String(name) + QString::number(index);
}

} // namespace

FrmConfig::FrmConfig(core::AcquisitionState &state, core::Prompts &prompts, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Card Configuration"));
    setWindowFlags(NoMinMaxChildFlags);
    buildAnalogGroups();
    buildDigitalGroups();
    buildSaveGroup();
    setFixedSize(twips(12840), twips(8760));
    loadFromState();
}

void FrmConfig::buildAnalogGroups()
{
    Frame2 = named(new QGroupBox(QStringLiteral("Analog Input"), this), QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(120, 120, FrameWidth, 3120));
    for (int c = 0; c < 8; ++c) {
        auto *group = named(
            new QGroupBox(QStringLiteral("Analog Input"), Frame2), indexed("FrameAnalog", c));
        group->setGeometry(
            twipsRect(120 + (c % 4) * Pitch, 300 + (c / 4) * 1380, GroupWidth, AnalogHeight));
        FrameAnalog[c] = group;

        lblInputType[c]
            = named(new QLabel(QStringLiteral("Input Type:"), group), indexed("lblInputType", c));
        lblInputType[c]->setGeometry(twipsRect(120, 330, 1260, 255));
        auto *combo = named(new QComboBox(group), indexed("cmbInputType", c));
        combo->setGeometry(twipsRect(1440, 270, 1440, 330));
        // The operator may type a text of their own; it never becomes an entry
        // and leaves the channel without a list position.
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        for (const QString &caption : core::inputTypeCaptions())
            combo->addItem(caption);
        cmbInputType[c] = combo;

        lblInputRange[c]
            = named(new QLabel(QStringLiteral("Input Range:"), group), indexed("lblInputRange", c));
        lblInputRange[c]->setGeometry(twipsRect(120, 810, 1260, 255));
        txtInputRange[c] = named(new QLineEdit(group), indexed("txtInputRange", c));
        txtInputRange[c]->setGeometry(twipsRect(1440, 750, 1440, 330));
    }
}

void FrmConfig::buildDigitalGroups()
{
    Frame1 = named(
        new QGroupBox(QStringLiteral("Digital Input / Output"), this), QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 3360, FrameWidth, 4080));
    for (int n = 0; n < 16; ++n) {
        auto *group
            = named(new QGroupBox(QStringLiteral("Digital I/O"), Frame1), indexed("FrameDIO", n));
        group->setGeometry(
            twipsRect(120 + (n % 4) * Pitch, 300 + (n / 4) * 930, GroupWidth, DioHeight));
        FrameDIO[n] = group;
        // Each pair sits in its own group box, which makes the two exclusive.
        optDIOInput[n]
            = named(new QRadioButton(QStringLiteral("Input"), group), indexed("optDIOInput", n));
        optDIOInput[n]->setGeometry(twipsRect(180, 330, 1000, 330));
        optDIOOutput[n]
            = named(new QRadioButton(QStringLiteral("Output"), group), indexed("optDIOOutput", n));
        optDIOOutput[n]->setGeometry(twipsRect(1440, 330, 1200, 330));
        optDIOInput[n]->setChecked(true);
    }
}

void FrmConfig::buildSaveGroup()
{
    Frame3 = named(new QGroupBox(QStringLiteral("Save"), this), QStringLiteral("Frame3"));
    Frame3->setGeometry(twipsRect(120, 7560, FrameWidth, 1080));

    const std::array<QString, 4> captions
        = {QStringLiteral("Save Configuration"), QStringLiteral("Save Configuration to DAQ"),
            QStringLiteral("Save to Disk"), QStringLiteral("Load from Disk")};
    std::array<QPushButton *, 4> buttons {};
    for (int i = 0; i < 4; ++i) {
        buttons[i] = new QPushButton(captions[i], Frame3);
        buttons[i]->setGeometry(twipsRect(120 + i * Pitch, 330, GroupWidth, 540));
    }
    cmdSave = {named(buttons[0], QStringLiteral("cmdSave0")),
        named(buttons[1], QStringLiteral("cmdSave1"))};
    cmdSaveToDisk = named(buttons[2], QStringLiteral("cmdSaveToDisk"));
    cmdLoadFromDisk = named(buttons[3], QStringLiteral("cmdLoadFromDisk"));

    cmdSave[0]->setToolTip(QStringLiteral("Saves Configuraton"));
    cmdSave[1]->setToolTip(QStringLiteral("Hard"));
    // Writing the configuration into the card was never made to work; the button
    // stays for the layout and would do what "Save Configuration" does.
    cmdSave[1]->setEnabled(false);

    for (QPushButton *button : cmdSave)
        connect(button, &QPushButton::clicked, this, &FrmConfig::saveToState);
    connect(cmdSaveToDisk, &QPushButton::clicked, this, &FrmConfig::saveToDisk);
    connect(cmdLoadFromDisk, &QPushButton::clicked, this, &FrmConfig::loadFromDisk);
}

void FrmConfig::loadFromState()
{
    for (int n = 0; n < 16; ++n) {
        FrameDIO[n]->setTitle(QStringLiteral("Digital Input/Output ") + QString::number(n));
        if (m_state.dioDirection[n] == core::True)
            optDIOOutput[n]->setChecked(true);
        else
            optDIOInput[n]->setChecked(true);
    }
    for (int c = 0; c < 8; ++c) {
        FrameAnalog[c]->setTitle(QStringLiteral("Analog Input ") + QString::number(c));
        // A type the list cannot show (only an edited tarvo.con holds one) is
        // shown as no selection rather than clamped to a type it is not; Save then
        // stores -1, which converts the same way (the raw count passes through).
        const int type = m_state.inputType[c];
        cmbInputType[c]->setCurrentIndex(type >= 0 && type < core::InputTypeCount ? type : -1);
        txtInputRange[c]->setText(QString::fromLatin1(core::doubleText(m_state.inputRange[c])));
    }
}

int FrmConfig::listPosition(int channel) const
{
    // A typed text leaves Qt's index on the entry chosen before; the channel then
    // has no list position.
    const QComboBox *combo = cmbInputType[channel];
    const int index = combo->currentIndex();
    if (index >= 0 && combo->currentText() != combo->itemText(index))
        return -1;
    return index;
}

void FrmConfig::saveToState()
{
    for (int n = 0; n < 16; ++n)
        m_state.dioDirection[n] = optDIOInput[n]->isChecked() ? core::False : core::True;
    for (int c = 0; c < 8; ++c) {
        m_state.inputType[c] = static_cast<core::Integer>(listPosition(c));
        // A range too large for a double keeps the channel's old range rather
        // than storing infinity.
        const double range = core::leadingNumber(txtInputRange[c]->text());
        if (std::isfinite(range))
            m_state.inputRange[c] = range;
    }
}

void FrmConfig::saveToDisk()
{
    std::int32_t mask = 0;
    for (int n = 15; n >= 0; --n)
        mask = mask * 2 + (optDIOInput[n]->isChecked() ? 1 : 0);

    ConfigFileContents contents;
    contents.dioMaskText = maskText(mask);
    for (int c = 0; c < 8; ++c) {
        contents.inputTypesText += QString::number(listPosition(c));
        contents.rangeTexts[c] = txtInputRange[c]->text();
    }

    const auto path = m_prompts.saveFileName(configDialog());
    if (!path || path->isEmpty())
        return;
    writeConfigFile(*path, contents); // a failed write ends silently
}

void FrmConfig::loadFromDisk()
{
    const auto path = m_prompts.openFileName(configDialog());
    if (!path || path->isEmpty())
        return;
    const auto contents = readConfigFile(*path);
    if (!contents)
        return;
    const auto parsed = parseMask(contents->dioMaskText);
    if (!parsed)
        return;

    // Remainder and division truncate toward zero. That matters only for an
    // eight-digit mask with bit 31 set: its remainders are -1, which reads as Output.
    std::int32_t mask = *parsed;
    for (int n = 0; n < 16; ++n) {
        if (mask % 2 == 1)
            optDIOInput[n]->setChecked(true);
        else
            optDIOOutput[n]->setChecked(true);
        mask /= 2;
    }

    // Whatever is filled before a type digit without an entry (7, 8, 9) stays.
    // Save to Disk writes a channel whose type was typed in (no list position) as
    // "-1", two characters where every other channel has one; read digit by digit,
    // it would shift the later channels' types, so it is taken as one entry and
    // loads as no selection, as it was saved.
    const QStringView types(contents->inputTypesText);
    qsizetype at = 0;
    for (int c = 0; c < 8; ++c) {
        int position = -1;
        if (types.mid(at, 2) == u"-1") {
            at += 2;
        } else {
            const auto digit = core::toInteger(core::leadingNumber(types.mid(at++, 1)));
            if (!digit || *digit < 0 || *digit >= core::InputTypeCount)
                return;
            position = *digit;
        }
        cmbInputType[c]->setCurrentIndex(position);
        txtInputRange[c]->setText(contents->rangeTexts[c]);
    }
}

} // namespace tarv::ui::config
