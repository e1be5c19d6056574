#pragma once

#include "core/acquisitionstate.h"

#include <QColor>
#include <QWidget>

#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace tarv::core {
class Prompts;
}

namespace tarv::ui {
class FilledShape;
}

namespace tarv::ui::config {

// Calibration: shows the live raw counts and the ambient temperature, and captures
// the raw count of every ticked channel as one of its five calibration counts.
// A zero or span count outside its limit is refused with a message and leaves the
// stored count alone; the other ticked channels are still captured. The indicators
// record only the captures made since the window was opened. Export and Import
// save and load the counts of all eight channels as a calibration file.
class FrmCalib : public QWidget
{
    Q_OBJECT

public:
    explicit FrmCalib(
        core::AcquisitionState &state, core::Prompts &prompts, QWidget *parent = nullptr);

    // One refresh of the count and temperature labels; the timer calls it every
    // second.
    void tick();

private:
    using CountArray = core::ChannelArray<core::Integer> core::AcquisitionState::*;
    using Indicators = std::array<FilledShape *, core::ChannelCount>;

    // One calibration point: where its count goes, which counts it accepts, what
    // it says on refusal and which indicator it colours.
    struct CapturePoint
    {
        CountArray target;
        core::Integer lowest;
        core::Integer highest;
        QString refusal;
        Indicators FrmCalib::*indicators;
        QColor colour;
    };

    void buildChannelBlock();
    void buildInstructions();
    void buildButtons();
    void capture(const CapturePoint &point);
    void calibrate10V(int index);
    void calibrate200mV(int index);
    void calibrateRtd();
    void exportFile();
    void importFile();
    void closeWindow();

    core::AcquisitionState &m_state;
    core::Prompts &m_prompts;

    QFrame *Frame1 = nullptr;
    std::array<QLabel *, core::ChannelCount> lblCH {};
    std::array<QLabel *, core::ChannelCount> lblData {};
    std::array<QCheckBox *, core::ChannelCount> chkSel {};
    Indicators shpZero {};
    Indicators shpSpan {};
    QLabel *lblAmb = nullptr;
    QTimer *tmrUpdate = nullptr;

    QLabel *Label1 = nullptr;
    std::array<QLabel *, 2> Label2 {};
    std::array<QLabel *, 2> Label3 {};
    QPushButton *cmdCalibrateRTD = nullptr;
    std::array<QPushButton *, 2> cmdCalibrate10V {};
    std::array<QPushButton *, 2> cmdCalibrate200mV {};
    QPushButton *cmdImport = nullptr;
    QPushButton *cmdExport = nullptr;
    QPushButton *cmdClose = nullptr;
};

} // namespace tarv::ui::config
