#include "service/unixsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv::service {

namespace {

int g_pair[2] = {-1, -1};
volatile std::sig_atomic_t g_terminate = 0;
volatile std::sig_atomic_t g_hangup = 0;

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number)
{
    const int savedErrno = errno;
    if (number == SIGHUP)
        g_hangup = 1;
    else
        g_terminate = 1;
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

UnixSignals::~UnixSignals()
{
    for (const int number : Handled)
        setDisposition(number, SIG_DFL);
    setDisposition(SIGPIPE, SIG_DFL);
    for (int &end : g_pair) {
        if (end >= 0)
            ::close(end);
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
    if (g_terminate) {
        g_terminate = 0;
        m_terminating = true;
        emit terminate();
        return;
    }
    if (g_hangup && !m_terminating) {
        g_hangup = 0;
        emit hangup();
    }
}

} // namespace tarv::service
