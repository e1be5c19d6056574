#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"
#include "link/framedecoder.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QIODevice;
class QSerialPort;
class QTimer;

namespace tarv::link {

// Counts of what the receive handler did, for the status of a long run and for
// stress tests that compare them with what the card sent.
struct LinkCounters
{
    quint64 analogAccepted = 0;
    quint64 digitalAccepted = 0;
    quint64 versionReplies = 0;
    quint64 linesDiscarded = 0; // lines of no known length
    quint64 framesDropped = 0; // right length but unusable fields
    quint64 bytesDiscarded = 0; // garbage dropped from an over-long unterminated line
};

// The serial link to the card: commands out, lines in. Every command is its text
// followed by one CR. Received text is split at every CR; each complete line is
// dispatched by its first character and length, and the text after the last CR is
// kept for the next read.
class CardLink : public QObject
{
    Q_OBJECT
public:
    // Longest unterminated text kept while waiting for a CR; older garbage beyond
    // it is dropped (a wrong baud rate or a noisy line never ends a line).
    static constexpr qsizetype MaxPendingBytes = 4096;

    explicit CardLink(core::AcquisitionState &state, QObject *parent = nullptr);
    ~CardLink() override;

    // Opens the serial device at 9600 8N1 (a device path or a port name),
    // records the result in portOpened and sends "?" when it opened.
    bool openPort(const QString &device);

    // Uses an already open device instead of a serial port (tests, replay).
    // The link does not take ownership.
    void attachDevice(QIODevice *device);

    bool isPortOpen() const;
    // What the serial port said about its last failure, e.g. why it did not open.
    QString portErrorString() const;

    // How to find the card's device again after it was lost, e.g. by its port
    // number, since a device that comes back may come back under another path.
    // Without one the link retries the name openPort was given.
    using DeviceFinder = std::function<QString()>;
    void setDeviceFinder(DeviceFinder finder) { m_findDevice = std::move(finder); }

    // One attempt to reopen a lost port; tmrReconnect calls it every two seconds
    // until it succeeds. On success "?" goes out; once the card answers, the task
    // is started again if it was running, or stopped with "@F" if the operator
    // stopped it while the card was away. True when the port is open.
    bool retryOpen();

    // Lets go of the port and everything known about the card, as if it had never
    // been opened: for a move to another port. Send what the old card must hear first.
    void closePort();

    // For a port that did not open (or had no device) when the run began: keep
    // trying every two seconds, as for a lost port, until it opens. The desktop
    // program leaves such a port alone; an unattended service cannot.
    void keepLookingForPort();

    // Commands. Each does nothing unless the card has answered (cardConnected),
    // except sendVersionQuery and stopAtClose, which need only an open port.
    void sendVersionQuery();
    void taskStart(); // "@TA00", then "@N" after a 100 ms pause on tmrDelay
    void taskStop(); // "@F"; while the card is away after a loss, at its return
    void digitalOutput(int line); // toggles doCommand(line), sends "#D" + 4 hex digits
    void writeOutputs(); // "#D" with the doCommand word as it stands
    // "@F" when the port is open, whether or not the card answered; a task start
    // still in its pause is abandoned first.
    void stopAtClose();

    const LinkCounters &counters() const { return m_counters; }

    // The "#D" text for the current doCommand word (without the CR), e.g. "#D0011".
    static QString digitalOutputCommand(const core::AcquisitionState &state);

signals:
    void taskStateChanged(bool running); // after taskStart / taskStop switched state
    void versionReceived(const QString &version);
    void analogFrameAccepted();
    void digitalFrameAccepted();
    void conversionFailed(const tarv::link::ChannelFailures &failures); // empty: all good
    void frameDropped(tarv::link::DecodeOutcome outcome);
    void portLost(const QString &reason); // the device reported an error and was closed
    // A lost or missing port opened; the card has not answered yet.
    void portReopened();
    // A try to open it again failed: no device (empty) or what the port said.
    void openAttemptFailed(const QString &device, const QString &error);

private:
    void onReadyRead();
    bool dispatchCompleteLines(const QPointer<CardLink> &alive); // false: link destroyed
    void boundPending();
    void dispatchLine(const QString &line);
    void send(const QByteArray &command);
    void finishTaskStart();
    void onPortError(int error);
    QSerialPort *makePort(const QString &device);
    void dropOwnedPort();

    core::AcquisitionState &m_state;
    QPointer<QIODevice> m_device;
    QSerialPort *m_ownedPort = nullptr; // the port this link opened, if any
    QByteArray m_pending; // rxBuffer: text since the last CR
    bool m_pendingTruncated = false; // m_pending lost the start of its line
    QTimer *m_tmrDelay = nullptr; // objectName "tmrDelay"
    QTimer *m_tmrReconnect = nullptr; // objectName "tmrReconnect"
    QString m_deviceName; // what openPort was given
    DeviceFinder m_findDevice;
    bool m_awaitingReturn = false; // lost, and the card has not answered since
    bool m_stopOnReturn = false; // the task was stopped while the card was away
    bool m_lookingForPort = false; // keepLookingForPort until the port opens
    LinkCounters m_counters;
};

} // namespace tarv::link
