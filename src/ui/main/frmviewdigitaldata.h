#pragma once

#include "core/acquisitionstate.h"

#include <QWidget>

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace tarv::ui {

class FilledShape;

// Shows the sixteen input and sixteen output lines as the card last reported
// them, and offers one button per output line. A button only asks for the line to
// be toggled: the output indicator follows when the card reports the new state.
class FrmViewDigitalData : public QWidget
{
    Q_OBJECT

public:
    // outputCommand(line) toggles the commanded state of that output line and
    // sends it to the card; the main window supplies it from its link.
    FrmViewDigitalData(core::AcquisitionState &state, std::function<void(int line)> outputCommand,
        QWidget *parent = nullptr);

    // One refresh of the indicators; the timer calls it every second.
    void tick();

private:
    core::AcquisitionState &m_state;
    std::function<void(int)> m_outputCommand;
    QGroupBox *Frame1;
    QGroupBox *Frame2;
    QGroupBox *Frame3;
    std::array<FilledShape *, core::LineCount> shpDI {};
    std::array<QLabel *, core::LineCount> lblDI {};
    std::array<FilledShape *, core::LineCount> shpDO {};
    std::array<QLabel *, core::LineCount> lblDO {};
    std::array<QPushButton *, core::LineCount> cmdDO {};
    QTimer *tmrUpdate;
};

} // namespace tarv::ui
