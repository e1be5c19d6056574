#pragma once

#include "core/acquisitionstate.h"
#include "core/prompts.h"

#include <QWidget>

class QComboBox;
class QPushButton;

namespace tarv::ui {

// Chooses the COM port number of the card. The choice goes into comPort and
// tarv.con at once but reaches the link only at the next start: the port opened at
// start-up stays open.
class FrmCardComm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PortCount = 255; // COM 1 .. COM 255

    FrmCardComm(core::AcquisitionState &state, core::Prompts &prompts, QWidget *parent = nullptr);

    // The list position the operator chose, or -1 when the field holds text that
    // was typed rather than picked from the list.
    int selectedIndex() const;

private:
    void onOk();
    void closeWindow();
    QPushButton *addButton(const QString &name, const QString &text, const QRect &geometry);

    core::AcquisitionState &m_state;
    core::Prompts &m_prompts;
    QComboBox *m_cmbComm = nullptr;
};

} // namespace tarv::ui
