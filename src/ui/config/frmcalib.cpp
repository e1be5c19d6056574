#include "ui/config/frmcalib.h"

#include "core/numberformat.h"
#include "core/prompts.h"
#include "ui/childwindow.h"
#include "ui/config/calibrationfile.h"
#include "ui/designfonts.h"
#include "ui/filledshape.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

#include <chrono>

namespace tarv::ui::config {

using namespace std::chrono_literals;

namespace {

const QString CalibrationTitle = QStringLiteral("Calibration");
const QString ImportTitle = QStringLiteral("File Import");
const QString AmbientPrefix = QStringLiteral("Ambient Temperature: ");

constexpr core::Integer LowestCount = -32768;
constexpr core::Integer HighestCount = 32767;
// A shorted input reads close to zero; a count above this means the reference is
// not applied or the jumper is on the wrong option.
constexpr core::Integer ZeroLimit = 150;
// Full-scale references read well above these; less means a wrong or missing source.
constexpr core::Integer Span10VLimit = 26000;
constexpr core::Integer Span200mVLimit = 23000;

const QColor Blue(0, 0, 255);
const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

void setBackground(QWidget *widget, const QColor &colour, QPalette::ColorRole role)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(role == QPalette::Window);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
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

FrmCalib::FrmCalib(core::AcquisitionState &state, core::Prompts &prompts, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmCalib"));
    setWindowTitle(CalibrationTitle);
    setWindowFlags(NoMinMaxChildFlags);
    buildChannelBlock();
    buildInstructions();
    buildButtons();
    setFixedSize(twips(9720), twips(8280));

    tmrUpdate = named(new QTimer(this), QStringLiteral("tmrUpdate"));
    tmrUpdate->setInterval(1000ms);
    connect(tmrUpdate, &QTimer::timeout, this, &FrmCalib::tick);
    tmrUpdate->start();
}

void FrmCalib::buildChannelBlock()
{
    Frame1 = named(new QFrame(this), QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 9480, 2520));
    setBackground(Frame1, Qt::black, QPalette::Window);

    for (int i = 0; i < core::ChannelCount; ++i) {
        const int left = 120 + (i / 4) * 4680;
        const int top = 120 + (i % 4) * 480;
        lblCH[i] = named(new QLabel(QStringLiteral("CH%1:").arg(i), Frame1), indexed("lblCH", i));
        lblCH[i]->setGeometry(twipsRect(left, top, 720, 360));
        setBackground(lblCH[i], QColor(255, 255, 192), QPalette::Window);

        lblData[i] = named(new QLabel(QStringLiteral("0.00"), Frame1), indexed("lblData", i));
        lblData[i]->setGeometry(twipsRect(left + 840, top, 1680, 360));
        setBackground(lblData[i], QColor(192, 255, 192), QPalette::Window);

        chkSel[i] = named(new QCheckBox(Frame1), indexed("chkSel", i));
        chkSel[i]->setGeometry(twipsRect(left + 2640, top, 360, 360));
        chkSel[i]->setChecked(true);

        // Black on the black block: an indicator shows only once a capture colours it.
        shpZero[i] = named(new FilledShape(Frame1), indexed("shpZero", i));
        shpZero[i]->setGeometry(twipsRect(left + 3120, top + 60, 240, 240));
        shpZero[i]->setFillColor(Qt::black);
        shpSpan[i] = named(new FilledShape(Frame1), indexed("shpSpan", i));
        shpSpan[i]->setGeometry(twipsRect(left + 3480, top + 60, 240, 240));
        shpSpan[i]->setFillColor(Qt::black);
    }

    lblAmb = named(new QLabel(AmbientPrefix, Frame1), QStringLiteral("lblAmb"));
    lblAmb->setGeometry(twipsRect(120, 2040, 4320, 360));
    setBackground(lblAmb, QColor(128, 255, 255), QPalette::Window);
}

void FrmCalib::buildInstructions()
{
    const QFont font = designFont(DesignFace::Dialog, 12, true);
    auto instruction = [&](const QString &name, const QString &text, const QColor &colour,
                           const QRect &geometry) {
        auto *label = named(new QLabel(text, this), name);
        label->setFont(font);
        label->setWordWrap(true);
        label->setGeometry(geometry);
        setTextColour(label, colour);
        return label;
    };

    Label1 = instruction(QStringLiteral("Label1"),
        QStringLiteral("Connect 100 ohms (1% or less) between terminals COM "
                       "and B, short B & B, select option A jumper on all "
                       "channels."),
        Red, twipsRect(120, 2760, 9480, 660));
    Label2[0] = instruction(QStringLiteral("Label20"),
        QStringLiteral("Apply 10.000V across terminals 10V and COM, select "
                       "option C jumper on selected channels."),
        Blue, twipsRect(120, 4260, 6600, 660));
    Label2[1] = instruction(QStringLiteral("Label21"),
        QStringLiteral("Short terminals 10V and COM, select option C jumper "
                       "on selected channels."),
        Blue, twipsRect(120, 5040, 6600, 660));
    const QColor darkGreen(0, 128, 0);
    Label3[0] = instruction(QStringLiteral("Label30"),
        QStringLiteral("Apply 200.0mV across terminals 2V and COM, select "
                       "option B jumper on selected channels."),
        darkGreen, twipsRect(120, 5820, 6600, 660));
    Label3[1] = instruction(QStringLiteral("Label31"),
        QStringLiteral("Short terminals 2V and COM, select option B jumper "
                       "on selected channels."),
        darkGreen, twipsRect(120, 6600, 6600, 660));
}

void FrmCalib::buildButtons()
{
    const QFont font = designFont(DesignFace::Rounded, 12);
    auto calibrateButton
        = [&](const QString &name, const QString &caption, const QColor &colour, int top) {
              auto *button = named(new QPushButton(caption, this), name);
              button->setFont(font);
              button->setGeometry(twipsRect(6840, top, 2760, 600));
              setBackground(button, colour, QPalette::Button);
              return button;
          };

    cmdCalibrateRTD = calibrateButton(QStringLiteral("cmdCalibrateRTD"),
        QStringLiteral("Calibrate RTD"), QColor(255, 128, 128), 3480);
    const QColor cyan(0, 192, 192);
    cmdCalibrate10V = {calibrateButton(QStringLiteral("cmdCalibrate10V0"),
                           QStringLiteral("Calibrate 10V"), cyan, 4290),
        calibrateButton(
            QStringLiteral("cmdCalibrate10V1"), QStringLiteral("Calibrate 0V"), cyan, 5070)};
    const QColor lightGreen(128, 255, 128);
    cmdCalibrate200mV = {calibrateButton(QStringLiteral("cmdCalibrate200mV0"),
                             QStringLiteral("Calibrate 200mV"), lightGreen, 5850),
        calibrateButton(QStringLiteral("cmdCalibrate200mV1"), QStringLiteral("Calibrate 0mV"),
            lightGreen, 6630)};

    connect(cmdCalibrateRTD, &QPushButton::clicked, this, &FrmCalib::calibrateRtd);
    for (int index = 0; index < 2; ++index) {
        connect(cmdCalibrate10V[index], &QPushButton::clicked, this,
            [this, index] { calibrate10V(index); });
        connect(cmdCalibrate200mV[index], &QPushButton::clicked, this,
            [this, index] { calibrate200mV(index); });
    }

    cmdImport = named(new QPushButton(QStringLiteral("Import"), this), QStringLiteral("cmdImport"));
    cmdImport->setGeometry(twipsRect(120, 7560, 1440, 480));
    cmdExport = named(new QPushButton(QStringLiteral("Export"), this), QStringLiteral("cmdExport"));
    cmdExport->setGeometry(twipsRect(1680, 7560, 1440, 480));
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), QStringLiteral("cmdClose"));
    cmdClose->setGeometry(twipsRect(8160, 7560, 1440, 480));
    connect(cmdImport, &QPushButton::clicked, this, &FrmCalib::importFile);
    connect(cmdExport, &QPushButton::clicked, this, &FrmCalib::exportFile);
    connect(cmdClose, &QPushButton::clicked, this, &FrmCalib::closeWindow);
}

void FrmCalib::tick()
{
    // Only a complete frame has fresh counts; the start-up frame counts as one.
    if (m_state.analogFrame.size() != 62)
        return;
    for (int i = 0; i < core::ChannelCount; ++i)
        lblData[i]->setText(QString::number(m_state.rawCounts[i]));
    lblAmb->setText(AmbientPrefix
        + core::formatGeneral(m_state.ambientTemp, core::regionalDecimalPoint())
        + QStringLiteral(" deg.C"));
}

void FrmCalib::capture(const CapturePoint &point)
{
    bool stored = false;
    for (int i = 0; i < core::ChannelCount; ++i) {
        if (!chkSel[i]->isChecked())
            continue;
        // Read as the loop reaches the channel: a refusal box lets frames arrive.
        const core::Integer count = m_state.rawCounts[i];
        if (count >= point.lowest && count <= point.highest) {
            (m_state.*point.target)[i] = count;
            (this->*point.indicators)[i]->setFillColor(point.colour);
            stored = true;
        } else {
            m_prompts.message(point.refusal, CalibrationTitle, core::PromptIcon::Error);
        }
    }
    if (stored) {
        m_prompts.message(QStringLiteral("Calibration value stored"), CalibrationTitle,
            core::PromptIcon::Information);
    }
}

void FrmCalib::calibrate10V(int index)
{
    using S = core::AcquisitionState;
    if (index == 0) {
        capture({&S::span10V, Span10VLimit, HighestCount, QStringLiteral("Analog Value too low"),
            &FrmCalib::shpSpan, Blue});
    } else {
        capture({&S::zero10V, LowestCount, ZeroLimit, QStringLiteral("Analog Value too high"),
            &FrmCalib::shpZero, Blue});
    }
}

void FrmCalib::calibrate200mV(int index)
{
    using S = core::AcquisitionState;
    if (index == 0) {
        capture({&S::span200mV, Span200mVLimit, HighestCount,
            QStringLiteral("Analog Value too low"), &FrmCalib::shpSpan, Green});
    } else {
        capture({&S::zero200mV, LowestCount, ZeroLimit, QStringLiteral("Analog Value too high"),
            &FrmCalib::shpZero, Green});
    }
}

void FrmCalib::calibrateRtd()
{
    // Every count is a valid RTD count, so the whole range is accepted.
    capture({&core::AcquisitionState::rtdCal, LowestCount, HighestCount, QString(),
        &FrmCalib::shpSpan, Red});
}

void FrmCalib::exportFile()
{
    // No filter and no default extension: the operator names the file as they like.
    const auto path = m_prompts.saveFileName({});
    if (!path || path->isEmpty())
        return;
    exportCalibration(*path, m_state); // a failed export ends silently
}

void FrmCalib::importFile()
{
    const auto path = m_prompts.openFileName({});
    if (!path || path->isEmpty())
        return;
    switch (importCalibration(*path, m_state)) {
    case CalibrationImport::Incompatible:
        m_prompts.message(
            QStringLiteral("Incompatible Calibration File!"), ImportTitle, core::PromptIcon::Error);
        break;
    case CalibrationImport::Complete:
        m_prompts.message(QStringLiteral("Calibration File inported successfully."), ImportTitle,
            core::PromptIcon::Information);
        break;
    case CalibrationImport::NotOpened:
    case CalibrationImport::Partial:
        break; // silent: the counts read before the failure keep their new values
    }
}

void FrmCalib::closeWindow()
{
    // Inside the main window the sub-window frame is what must close.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

} // namespace tarv::ui::config
