#include "service/unixsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tarv::service {

namespace {

int g_pair[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    // Nothing to do about a full pipe inside a handler: the signal is then lost,
    // which only happens when hundreds are pending.
    [[maybe_unused]] const auto written = ::write(g_pair[0], &byte, 1);
}

} // namespace

UnixSignals::UnixSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pair) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignals::onReadable);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(number, &action, nullptr);
}

UnixSignals::~UnixSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(number, &action, nullptr);
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
}

void UnixSignals::onReadable()
{
    char byte = 0;
    if (::read(g_pair[1], &byte, 1) != 1)
        return;
    if (byte == SIGHUP)
        emit hangup();
    else
        emit terminate();
}

} // namespace tarv::service
