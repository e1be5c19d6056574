#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace tarv::service {

// SIGTERM, SIGINT and SIGHUP as Qt signals on the event loop. A signal handler may
// do next to nothing, so it only raises a flag for the kind of signal and writes a
// byte into a socket pair whose other end the event loop watches. Both ends never
// block: a flood of signals fills the pair and the further bytes are dropped, but
// the flags keep each kind, so a SIGTERM behind thousands of SIGHUPs still ends the
// service. SIGPIPE is ignored: a report to a reader that went away fails instead
// of killing the service. One instance per process.
class UnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

    // Empty when every signal is handled; otherwise what failed and why.
    QString problem() const { return m_problem; }

signals:
    // SIGTERM or SIGINT. Once it came, SIGHUPs are no longer passed on.
    void terminate();
    void hangup(); // SIGHUP, however many came since the last

private:
    void onReadable();
    void fail(const char *what);

    QSocketNotifier *m_notifier = nullptr;
    QString m_problem;
    bool m_terminating = false;
};

} // namespace tarv::service
