#include "ui/main/frmstatus.h"

#include "ui/twips.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QTimer>

#include <chrono>

namespace tarv::ui {

namespace {

using namespace std::chrono_literals;

constexpr auto StatusInterval = 250ms;

} // namespace

FrmStatus::FrmStatus(const core::AcquisitionState &state, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_tmrStatus(new QTimer(this))
{
    setObjectName(QStringLiteral("frmStatus"));
    setWindowTitle(QStringLiteral("Card Status"));
    setFixedSize(twips(3210), twips(1560));

    // An invalid colour keeps the label's default text colour.
    m_lblStatus = addLabel(QStringLiteral("lblStatus"), QStringLiteral("Card Disconnected"),
        twipsRect(120, 120, 2895, 255), QColor(224, 224, 224), QColor());
    m_lblUSB = addLabel(QStringLiteral("lblUSB"), QStringLiteral("USB : COM 1"),
        twipsRect(120, 480, 1335, 255), QColor(128, 128, 255), QColor(255, 255, 255));
    m_lblFault = addLabel(QStringLiteral("lblFault"), QStringLiteral("Fault"),
        twipsRect(1560, 480, 1455, 255), QColor(128, 255, 128), QColor(0, 0, 255));
    m_lblTask = addLabel(QStringLiteral("lblTask"), QStringLiteral("No Task Running "),
        twipsRect(120, 840, 2895, 255), QColor(255, 255, 0), QColor(255, 0, 0));
    m_lblSave = addLabel(QStringLiteral("lblSave"), QStringLiteral("Save"),
        twipsRect(120, 1200, 2895, 255), QColor(192, 255, 255), QColor());

    // Load step: the port result and the port number show at once; the rest keeps
    // its design text until the first tick.
    if (m_state.portLost == core::True)
        m_lblFault->setText(QStringLiteral("COM lost"));
    else if (m_state.portOpened == core::False)
        m_lblFault->setText(QStringLiteral("COM not found"));
    m_lblFault->setToolTip(portFailureTip());
    m_lblUSB->setText(usbText());

    m_tmrStatus->setObjectName(QStringLiteral("tmrStatus"));
    connect(m_tmrStatus, &QTimer::timeout, this, &FrmStatus::tick);
    m_tmrStatus->start(StatusInterval);
}

void FrmStatus::tick()
{
    // Without a port nothing is known about the card, so the card line keeps
    // whatever it showed. A port that went away mid-run is another matter: what
    // the card said before is no longer live.
    if (m_state.portLost == core::True) {
        m_lblFault->setText(QStringLiteral("COM lost"));
        m_lblStatus->setText(QStringLiteral("Card Disconnected"));
    } else if (m_state.portOpened == core::False) {
        m_lblFault->setText(QStringLiteral("COM not found"));
    } else if (m_state.cardConnected == core::False) {
        m_lblFault->setText(QStringLiteral("Card not found"));
        m_lblStatus->setText(QStringLiteral("Card Disconnected"));
    } else {
        m_lblFault->setText(QStringLiteral("No Faults"));
        m_lblStatus->setText(QStringLiteral("Card Connected. Ver.") + m_state.cardVersion);
    }

    m_lblFault->setToolTip(portFailureTip());
    m_lblUSB->setText(usbText());

    m_lblTask->setText(m_state.taskRunning == core::True ? QStringLiteral("Task Running")
                                                         : QStringLiteral(" No Task Running"));

    // A log that cannot be written matters only while lines are due; the label has
    // room for one short line, so the reason itself goes to the tooltip.
    const bool saving = m_state.cardConnected == core::True && m_state.savingActive == core::True;
    const QString problem = saving && m_saveProblem ? m_saveProblem() : QString();
    if (!saving)
        m_lblSave->setText(QStringLiteral("Not Saving"));
    else if (problem.isEmpty())
        m_lblSave->setText(QStringLiteral("Saving"));
    else
        m_lblSave->setText(QStringLiteral("Saving Error"));
    m_lblSave->setToolTip(problem);
    showOutputLines();
}

void FrmStatus::setOutputLines(OutputLines provider)
{
    m_outputLines = std::move(provider);
    showOutputLines();
}

void FrmStatus::showOutputLines()
{
    // Each output that can have a line gets its label once, hidden while it has
    // nothing to say; with none shown the window is as it always was.
    const std::vector<acquisition::OutputStatus> lines
        = m_outputLines ? m_outputLines() : std::vector<acquisition::OutputStatus> {};
    int shown = 0;
    for (const acquisition::OutputStatus &line : lines) {
        auto *label = findChild<QLabel *>(line.name, Qt::FindDirectChildrenOnly);
        if (!label)
            label = addLabel(line.name, line.text, {}, QColor(255, 224, 192), QColor(0, 0, 128));
        label->setVisible(line.shown);
        label->setText(line.text);
        label->setToolTip(line.tip);
        if (line.shown)
            label->setGeometry(twipsRect(120, 1560 + 360 * shown++, 2895, 255));
    }
    const QSize size(twips(3210), twips(1560 + 360 * shown));
    if (size == this->size())
        return;
    setFixedSize(size);
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->adjustSize();
}

QLabel *FrmStatus::addLabel(const QString &name, const QString &designText, const QRect &geometry,
    const QColor &background, const QColor &text)
{
    auto *label = new QLabel(this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(designText);
    label->setGeometry(geometry);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    if (text.isValid())
        palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

QString FrmStatus::portFailureTip() const
{
    // "COM not found" says only that the port is not there; the tooltip says why.
    const bool notFound = m_state.portLost == core::False && m_state.portOpened == core::False;
    return notFound ? m_state.portFailure : QString();
}

QString FrmStatus::usbText() const
{
    return QStringLiteral("USB : COM") + QString::number(m_state.comPort);
}

} // namespace tarv::ui
