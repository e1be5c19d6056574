#pragma once

#include "alarms/alarmrules.h"
#include "core/acquisitionstate.h"
#include "core/prompts.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLineEdit;
class QTableWidget;

namespace tarv::ui {

// Options > Alarms...: the limit alarms of tarvane.ini, one rule a row, edited in
// place. The service reads the same file, so OK lets the file's own reader judge the
// rules: with a problem the dialog says which and stays open; otherwise it writes
// tarvane.ini, every other group kept, and hands the rules on.
class FrmAlarms : public QDialog
{
    Q_OBJECT
public:
    using Apply = std::function<void(const alarms::AlarmSettings &)>;

    FrmAlarms(const core::AcquisitionState &state, core::Prompts &prompts, Apply apply,
        QWidget *parent = nullptr);

private:
    void addRow(const QStringList &texts);
    void onAdd();
    void onOk();
    // The rules as typed, as the reader takes them; nothing when it finds a problem,
    // which is added to `problems`.
    std::optional<alarms::AlarmSettings> checked(QStringList &problems) const;

    const core::AcquisitionState &m_state;
    core::Prompts &m_prompts;
    Apply m_apply;
    QTableWidget *m_grdRules = nullptr;
    QLineEdit *m_txtSafeState = nullptr;
};

} // namespace tarv::ui
