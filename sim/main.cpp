// tarvsim: a stand-in for the data-acquisition card on a pseudo-terminal.
#include "sim/options.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int wakePipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

bool installStopHandlers()
{
    if (::pipe(wakePipe) != 0)
        return false;
    for (int fd : wakePipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action
    { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A reader of our standard output that goes away must not take the card with it.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Only for the command-line parser's help text; the card runs its own poll() loop.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("tarvsim");
    int exitCode = 0;
    const auto options = tarv::sim::parseOptions(QCoreApplication::arguments(), exitCode);
    if (!options)
        return exitCode;
    if (!installStopHandlers()) {
        std::perror("tarvsim: pipe");
        return 1;
    }
    tarv::sim::Simulator simulator(*options, wakePipe[0]);
    return simulator.run();
}
