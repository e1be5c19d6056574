#include "service/unixsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv::service {

namespace {

int g_pair[2] = {-1, -1};
// Set in the handler, taken on the event loop. The handler may run on any thread (the
// MQTT library has one), so these are lock-free atomics rather than plain flags.
std::atomic<bool> g_terminate {false};
std::atomic<bool> g_hangup {false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may not take a lock");

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    const int savedErrno = errno;
    (number == SIGHUP ? g_hangup : g_terminate).store(true);
    // A full pair only drops the wake-up byte: the flag above is what counts, and
    // the bytes already waiting wake the event loop anyway.
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(g_pair[0], &byte, 1);
    errno = savedErrno;
}

bool setDisposition(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    return ::sigemptyset(&action.sa_mask) == 0 && ::sigaction(number, &action, nullptr) == 0;
}

} // namespace

UnixSignals::UnixSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pair) != 0) {
        fail("socketpair");
        return;
    }
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignals::onReadable);
    for (const int number : Handled)
        if (!setDisposition(number, onSignal))
            fail("sigaction");
    if (!setDisposition(SIGPIPE, SIG_IGN))
        fail("sigaction(SIGPIPE)");
}

// At the end a call that fails here can only be said on standard error, the journal.
UnixSignals::~UnixSignals()
{
    for (const int number : Handled)
        if (!setDisposition(number, SIG_DFL))
            qWarning("sigaction(%d): %s", number, std::strerror(errno));
    if (!setDisposition(SIGPIPE, SIG_DFL))
        qWarning("sigaction(SIGPIPE): %s", std::strerror(errno));
    for (int &end : g_pair) {
        if (end >= 0 && ::close(end) != 0)
            qWarning("signal socket: close: %s", std::strerror(errno));
        end = -1;
    }
}

void UnixSignals::fail(const char *what)
{
    if (m_problem.isEmpty())
        m_problem = QStringLiteral("%1: %2").arg(QLatin1String(what), qt_error_string(errno));
}

void UnixSignals::onReadable()
{
    // Everything waiting: the bytes only wake us, the flags say what came.
    char bytes[256];
    for (;;) {
        const ssize_t got = ::read(g_pair[1], bytes, sizeof bytes);
        if (got > 0 || (got < 0 && errno == EINTR))
            continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // Not while this object lives; stop watching rather than spin on it.
            fail("read");
            m_notifier->setEnabled(false);
        }
        break;
    }
    if (g_terminate.exchange(false)) {
        m_terminating = true;
        emit terminate();
        return;
    }
    if (!m_terminating && g_hangup.exchange(false))
        emit hangup();
}

} // namespace tarv::service
