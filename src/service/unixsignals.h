#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarv::service {

// SIGTERM, SIGINT and SIGHUP as Qt signals on the event loop. A signal handler may
// do next to nothing, so it only writes the signal's number into a socket pair
// whose other end the event loop watches. One instance per process.
class UnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void terminate(); // SIGTERM or SIGINT
    void hangup(); // SIGHUP

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace tarv::service
