#pragma once

#include <QObject>

class QTimer;

namespace tarv::service {

class Journal;

// The service manager's side of a Type=notify unit: READY=1 once the service runs,
// then WATCHDOG=1 from the event loop at half the interval the manager asks for
// (WatchdogSec=), so a loop that hangs gets the service restarted. Without a manager
// (no NOTIFY_SOCKET, no WATCHDOG_USEC) it does nothing. A notification that fails
// is reported once, as a warning.
class Watchdog : public QObject
{
    Q_OBJECT
public:
    explicit Watchdog(Journal &journal, QObject *parent = nullptr);

    void ready();

private:
    void notify(const char *state);
    void warnOnce(const char *call, int result);

    Journal &m_journal;
    QTimer *m_timer = nullptr;
    bool m_warned = false;
};

} // namespace tarv::service
