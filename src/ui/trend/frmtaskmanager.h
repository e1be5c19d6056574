#pragma once

#include "core/acquisitionstate.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace tarv::ui {

// Chooses per channel whether it is drawn on the trend and written to the log.
// The boxes are an edit of the shared flags that only OK applies, all sixteen at
// once, so the trend and the logger never see half of a change.
class FrmTaskManager : public QWidget
{
    Q_OBJECT

public:
    explicit FrmTaskManager(core::AcquisitionState &state, QWidget *parent = nullptr);

private:
    void applyAndClose();
    void closeWindow();

    core::AcquisitionState &m_state;
    QGroupBox *Frame1;
    std::array<QGroupBox *, core::ChannelCount> FrameAT {};
    std::array<QCheckBox *, core::ChannelCount> chkScan {};
    std::array<QCheckBox *, core::ChannelCount> chkPlot {};
    std::array<QCheckBox *, core::ChannelCount> chkSave {};
    QPushButton *cmdOk;
    QPushButton *cmdCancel;
};

} // namespace tarv::ui
