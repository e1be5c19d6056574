#pragma once

#include "acquisition/output.h"
#include "core/acquisitionstate.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QTimer;

namespace tarv::ui {

// Four times a second: whether the port opened, whether the card answered (and its
// firmware version), whether a task runs and whether logging is on. Reads the
// shared state only.
class FrmStatus : public QWidget
{
    Q_OBJECT
public:
    // Why the log cannot be written, if it cannot: while saving, lblSave then reads
    // "Saving Error" with this as its tooltip. An empty text means nothing to report.
    using SaveProblem = std::function<QString()>;

    explicit FrmStatus(const core::AcquisitionState &state, QWidget *parent = nullptr);

    void setSaveProblemProvider(SaveProblem provider) { m_saveProblem = std::move(provider); }

    // The outputs' lines (the broker's while publishing is on, ...), below the
    // written ones, each only while it is shown.
    using OutputLines = std::function<std::vector<acquisition::OutputStatus>()>;
    void setOutputLines(OutputLines provider);

    // tmrStatus's tick: brings every text up to date.
    void tick();

private:
    QLabel *addLabel(const QString &name, const QString &designText, const QRect &geometry,
        const QColor &background, const QColor &text);
    QString usbText() const;
    QString portFailureTip() const;
    void showOutputLines();

    const core::AcquisitionState &m_state;
    SaveProblem m_saveProblem;
    OutputLines m_outputLines;
    QLabel *m_lblStatus = nullptr;
    QLabel *m_lblUSB = nullptr;
    QLabel *m_lblFault = nullptr;
    QLabel *m_lblTask = nullptr;
    QLabel *m_lblSave = nullptr;
    QTimer *m_tmrStatus = nullptr;
};

} // namespace tarv::ui
