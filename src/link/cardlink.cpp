#include "link/cardlink.h"

#include "link/channelconverter.h"
#include "link/quality.h"

#include <QSerialPort>
#include <QTimer>

#include <chrono>
#include <utility>

namespace tarv::link {

namespace {

using namespace std::chrono_literals;

// The card needs this long between "@TA00" (load the task) and "@N" (run it).
constexpr auto TaskStartPause = 100ms;
// How often a lost port is tried again: soon enough after a cable goes back in,
// rare enough to cost nothing while it stays out.
constexpr auto ReconnectInterval = 2000ms;

constexpr char CR = '\r';
constexpr qsizetype AnalogFrameLength = 62; // 61 characters and the CR
constexpr qsizetype DigitalFrameLength = 9; // 8 hex digits and the CR

} // namespace

CardLink::CardLink(core::AcquisitionState &state, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_tmrDelay(new QTimer(this))
    , m_tmrReconnect(new QTimer(this))
{
    m_tmrDelay->setObjectName(QStringLiteral("tmrDelay"));
    m_tmrDelay->setSingleShot(true);
    // A coarse timer may end the pause up to 5 % early; the card needs all of it.
    m_tmrDelay->setTimerType(Qt::PreciseTimer);
    connect(m_tmrDelay, &QTimer::timeout, this, &CardLink::finishTaskStart);
    m_tmrReconnect->setObjectName(QStringLiteral("tmrReconnect"));
    m_tmrReconnect->setInterval(ReconnectInterval);
    connect(m_tmrReconnect, &QTimer::timeout, this, &CardLink::retryOpen);
}

CardLink::~CardLink()
{
    // The port closes as it is deleted and may report an error while it does; this
    // object is half gone by then, so it must not hear about it.
    if (m_ownedPort) {
        m_ownedPort->disconnect(this);
        delete m_ownedPort;
    }
}

bool CardLink::openPort(const QString &device)
{
    m_deviceName = device;
    m_tmrReconnect->stop();
    m_awaitingReturn = false;
    m_stopOnReturn = false;
    m_lookingForPort = false;
    m_state.portLost = core::False;
    dropOwnedPort();

    QSerialPort *port = makePort(device);
    m_ownedPort = port;

    // A missing, busy or refused port is not an error here: the status window
    // reports it from portOpened, and the run goes on without the card.
    const bool opened = port->open(QIODevice::ReadWrite);
    attachDevice(port);
    if (opened)
        sendVersionQuery();
    return opened;
}

void CardLink::closePort()
{
    m_tmrDelay->stop();
    m_tmrReconnect->stop();
    m_awaitingReturn = m_stopOnReturn = m_lookingForPort = false;
    dropOwnedPort();
    attachDevice(nullptr);
    m_state.cardConnected = m_state.taskRunning = m_state.portLost = core::False;
}

void CardLink::keepLookingForPort()
{
    if (isPortOpen())
        return;
    m_lookingForPort = true;
    if (!m_ownedPort) {
        m_ownedPort = makePort(m_deviceName);
        attachDevice(m_ownedPort);
    }
    m_tmrReconnect->start();
}

bool CardLink::retryOpen()
{
    if (m_state.portLost != core::True && !m_lookingForPort)
        return isPortOpen();
    if (!m_ownedPort)
        return false;
    const QString device = m_findDevice ? m_findDevice() : m_deviceName;
    if (device.isEmpty()) {
        emit openAttemptFailed({}, {});
        return false;
    }
    // The port that was lost opens the device again rather than a new one replacing
    // it: this may run in a message box's event loop while the old port is still
    // delivering a notification further down the stack, so it must stay alive. A
    // failed attempt keeps showing the loss rather than the open failure.
    m_ownedPort->setPortName(device);
    if (!m_ownedPort->open(QIODevice::ReadWrite)) {
        emit openAttemptFailed(device, m_ownedPort->errorString());
        return false;
    }
    m_tmrReconnect->stop();
    m_lookingForPort = false;
    m_state.portLost = core::False;
    m_state.portOpened = core::True;
    // Half a line from before the loss must not join the first line after it.
    m_pending.clear();
    m_pendingTruncated = false;
    emit portReopened();
    sendVersionQuery();
    return true;
}

void CardLink::dropOwnedPort()
{
    if (!m_ownedPort)
        return;
    m_ownedPort->disconnect(this);
    if (m_device == m_ownedPort)
        m_device = nullptr;
    delete m_ownedPort;
    m_ownedPort = nullptr;
}

QSerialPort *CardLink::makePort(const QString &device)
{
    auto *port = new QSerialPort(this);
    port->setPortName(device); // a name starting with '/' is taken as the device path
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    connect(port, &QSerialPort::errorOccurred, this,
        [this](QSerialPort::SerialPortError error) { onPortError(error); });
    return port;
}

void CardLink::attachDevice(QIODevice *device)
{
    if (m_device)
        m_device->disconnect(this);
    m_device = device;
    m_pending.clear();
    m_pendingTruncated = false;
    m_state.portOpened = core::toFlag(device && device->isOpen());
    if (device)
        connect(device, &QIODevice::readyRead, this, &CardLink::onReadyRead);
}

bool CardLink::isPortOpen() const
{
    return m_device && m_device->isOpen();
}

QString CardLink::portErrorString() const
{
    return m_ownedPort ? m_ownedPort->errorString() : QString();
}

void CardLink::sendVersionQuery()
{
    send("?\r");
}

void CardLink::taskStart()
{
    if (m_state.cardConnected != core::True)
        return;
    m_state.taskRunning = core::True;
    emit taskStateChanged(true);
    send("@TA00\r");
    // The rest of the start runs when the pause ends; meanwhile frames, timers and
    // commands are handled as usual. A stop chosen during the pause goes out at
    // once, and "@N" still follows when the pause ends. The timer is a child, so a
    // link destroyed during the pause sends nothing more.
    m_tmrDelay->start(TaskStartPause);
}

void CardLink::finishTaskStart()
{
    send("@N\r");
}

void CardLink::taskStop()
{
    if (m_state.cardConnected != core::True) {
        // The card went away with its task running: the operator's stop counts now,
        // and goes out once the card answers again (one that kept its power is
        // still streaming). Nothing can be sent before that.
        if (!m_awaitingReturn || m_state.taskRunning != core::True)
            return;
        m_state.taskRunning = core::False;
        m_stopOnReturn = true;
        emit taskStateChanged(false);
        return;
    }
    m_state.taskRunning = core::False;
    emit taskStateChanged(false);
    send("@F\r");
}

void CardLink::digitalOutput(int line)
{
    if (line < 0 || line >= core::LineCount)
        return;
    // Toggled even while the card is silent: the next command sent carries it.
    auto &command = m_state.doCommand[static_cast<std::size_t>(line)];
    command = command == core::False ? core::True : core::False;
    writeOutputs();
}

void CardLink::writeOutputs()
{
    if (m_state.cardConnected == core::True)
        send(digitalOutputCommand(m_state).toLatin1() + CR);
}

void CardLink::stopAtClose()
{
    // A start still in its pause is abandoned: "@N" must never follow the last "@F",
    // even when something modal runs while the program closes.
    m_tmrDelay->stop();
    send("@F\r");
}

QString CardLink::digitalOutputCommand(const core::AcquisitionState &state)
{
    // Bit k is output line k; only an exact -1 counts as on.
    quint16 word = 0;
    for (int k = core::LineCount - 1; k >= 0; --k) {
        word = static_cast<quint16>(word << 1);
        if (state.doCommand[static_cast<std::size_t>(k)] == core::True)
            word |= 1;
    }
    return QStringLiteral("#D") + QString::number(word, 16).toUpper().rightJustified(4, u'0');
}

void CardLink::onReadyRead()
{
    const QPointer<CardLink> alive(this);
    // Loop rather than trust one notification per arrival: text that came in while a
    // handler of ours ran a modal box may not be announced again.
    while (m_device && m_device->bytesAvailable() > 0) {
        m_pending.append(m_device->readAll());
        if (!dispatchCompleteLines(alive))
            return;
        boundPending();
    }
}

bool CardLink::dispatchCompleteLines(const QPointer<CardLink> &alive)
{
    // Each line is taken off the front before it is dispatched, so a receive
    // notification handled inside a slot (a modal box) carries on with the next line
    // instead of seeing this one again.
    qsizetype end;
    while ((end = m_pending.indexOf(CR)) >= 0) {
        const QByteArray line = m_pending.left(end + 1);
        m_pending.remove(0, end + 1);
        if (m_pendingTruncated) {
            // Its start was dropped: whatever is left is garbage, even if it now
            // happens to begin with "V".
            m_pendingTruncated = false;
            ++m_counters.linesDiscarded;
            continue;
        }
        dispatchLine(QString::fromLatin1(line));
        if (!alive)
            return false;
    }
    return true;
}

void CardLink::boundPending()
{
    const qsizetype excess = m_pending.size() - MaxPendingBytes;
    if (excess <= 0)
        return;
    m_pending.remove(0, excess);
    m_pendingTruncated = true;
    m_counters.bytesDiscarded += static_cast<quint64>(excess);
}

void CardLink::dispatchLine(const QString &line)
{
    const QPointer<CardLink> alive(this);
    if (line.startsWith(u'V')) {
        // Any length, asked for or not; characters 2..5, so "V1\r" keeps its CR.
        m_state.cardConnected = core::True;
        m_state.cardVersion = line.mid(1, 4);
        ++m_counters.versionReplies;
        emit versionReceived(m_state.cardVersion);
        if (!alive)
            return;
        // Back after a loss: a task stopped meanwhile is stopped on the card too; a
        // card that lost its power with the cable forgot its task, so it gets it back.
        if (std::exchange(m_awaitingReturn, false)) {
            if (std::exchange(m_stopOnReturn, false))
                send("@F\r");
            else if (m_state.taskRunning == core::True)
                taskStart();
        }
    } else if (line.size() == AnalogFrameLength) {
        // The decoder reads the stored frame; a frame it rejects is dropped whole,
        // so the previous frame text stays with the previous values.
        const QString previous = std::exchange(m_state.analogFrame, line);
        const DecodeOutcome outcome = DecodeAnalogFrame(m_state);
        if (outcome != DecodeOutcome::Accepted) {
            m_state.analogFrame = previous;
            ++m_counters.framesDropped;
            emit frameDropped(outcome);
            return;
        }
        ++m_counters.analogAccepted;
        const ChannelFailures failures = ConvertChannels(m_state);
        AssessChannels(m_state, failures);
        // Sent for every frame, empty included, so a listener sees the faults clear.
        emit conversionFailed(failures);
        if (alive)
            emit analogFrameAccepted();
    } else if (line.size() == DigitalFrameLength) {
        const QString previous = std::exchange(m_state.digitalFrame, line);
        const DecodeOutcome outcome = DecodeDigitalFrame(m_state);
        if (outcome != DecodeOutcome::Accepted) {
            m_state.digitalFrame = previous;
            ++m_counters.framesDropped;
            emit frameDropped(outcome);
            return;
        }
        ++m_counters.digitalAccepted;
        emit digitalFrameAccepted();
    } else {
        ++m_counters.linesDiscarded;
    }
}

void CardLink::send(const QByteArray &command)
{
    if (!isPortOpen())
        return;
    m_device->write(command);
    // Out at once rather than on the next event loop pass: "@F" at close must reach
    // the card before the port goes away with the program.
    if (m_ownedPort && m_device == m_ownedPort)
        m_ownedPort->flush();
}

void CardLink::onPortError(int error)
{
    // Errors met while opening are answered by portOpened; only an open port that
    // fails is lost. Closing it also stops the read notifier, which would otherwise
    // fire without end on a vanished device.
    if (!m_ownedPort || !m_ownedPort->isOpen())
        return;
    switch (static_cast<QSerialPort::SerialPortError>(error)) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::PermissionError:
    case QSerialPort::UnknownError:
        break;
    default:
        return;
    }
    const QString reason = m_ownedPort->errorString();
    m_ownedPort->close();
    // Whatever the card said last is no longer live: the logger stops counting and
    // the status window says why, until the card answers again.
    m_state.cardConnected = core::False;
    m_state.portLost = core::True;
    m_awaitingReturn = true;
    m_tmrReconnect->start();
    emit portLost(reason);
}

} // namespace tarv::link
