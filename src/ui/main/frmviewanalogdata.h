#pragma once

#include "core/acquisitionstate.h"

#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QTimer;

namespace tarv::ui {

// Shows the eight converted channel values and the cold-junction temperature,
// refreshed once a second from the shared state. Read-only: it never writes state.
class FrmViewAnalogData : public QWidget
{
    Q_OBJECT

public:
    explicit FrmViewAnalogData(core::AcquisitionState &state, QWidget *parent = nullptr);

    // One refresh of the labels; the timer calls it every second.
    void tick();

private:
    core::AcquisitionState &m_state;
    QGroupBox *Frame1;
    std::array<QLabel *, core::ChannelCount> lblCH {};
    std::array<QLabel *, core::ChannelCount> lblData {};
    QLabel *lblAmb;
    QTimer *tmrUpdate;
};

} // namespace tarv::ui
