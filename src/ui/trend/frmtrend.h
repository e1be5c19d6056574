#pragma once

#include "core/acquisitionstate.h"
#include "ui/trend/trendmemory.h"
#include "ui/trend/trendmodel.h"

#include <QWidget>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace tarv::core {
class Clock;
class Prompts;
} // namespace tarv::core

namespace tarv::ui {

class FilledShape;
class TrendChart;

// A strip chart of the eight channels, one sample a second. History, span, full
// scale and trace colours belong to this window alone and start afresh each time
// it is opened. Which channels are drawn is the shared plotEnable flags' business.
// Besides the span shown, it remembers up to a day of seconds for looking back and
// saving, and forgets them on closing like the rest.
class FrmTrend : public QWidget
{
    Q_OBJECT

public:
    FrmTrend(core::AcquisitionState &state, const core::Clock &clock, core::Prompts &prompts,
        QWidget *parent = nullptr);

    // One sample of every channel, the legend values and a full redraw; the timer
    // calls it every second.
    void tick();

private:
    void buildLegend();
    void buildControls();
    void selectSpan(int index);
    void setRange();
    void changeColor();
    void savePicture();
    void saveData();

    core::AcquisitionState &m_state;
    const core::Clock &m_clock;
    core::Prompts &m_prompts;
    TrendModel m_model;
    TrendMemory m_memory;

    TrendChart *pic;
    QGroupBox *Frame1;
    std::array<FilledShape *, core::ChannelCount> shpColor {};
    std::array<QLabel *, core::ChannelCount> lblChannel {};
    std::array<QLabel *, core::ChannelCount> lblData {};
    QLabel *Label1;
    QComboBox *cmbColor;
    QPushButton *cmdChangeColor;
    QGroupBox *Frame2;
    QLineEdit *txtRange;
    QPushButton *cmdRangeSet;
    QGroupBox *Frame3;
    QComboBox *cmbPoints;
    QTimer *tmrTrend;
};

} // namespace tarv::ui
