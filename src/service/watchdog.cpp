#include "service/watchdog.h"

#include "service/journal.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <systemd/sd-daemon.h>

namespace tarv::service {

Watchdog::Watchdog(Journal &journal, QObject *parent)
    : QObject(parent)
    , m_journal(journal)
{ }

void Watchdog::ready()
{
    notify("READY=1");
    std::uint64_t usec = 0;
    const int enabled = sd_watchdog_enabled(0, &usec);
    if (enabled < 0)
        warnOnce("sd_watchdog_enabled", enabled);
    if (enabled <= 0)
        return;
    using namespace std::chrono;
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { notify("WATCHDOG=1"); });
    m_timer->start(std::max(1ms, duration_cast<milliseconds>(microseconds(usec) / 2)));
}

void Watchdog::notify(const char *state)
{
    if (const int result = sd_notify(0, state); result < 0)
        warnOnce("sd_notify", result);
}

void Watchdog::warnOnce(const char *call, int result)
{
    if (m_warned)
        return;
    m_warned = true;
    m_journal.warning(QStringLiteral("%1 failed: %2; the service manager may not hear from "
                                     "the service")
                          .arg(QLatin1String(call), qt_error_string(-result)));
}

} // namespace tarv::service
