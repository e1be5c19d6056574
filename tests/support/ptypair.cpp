#include "support/ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace tarv::testsupport {

// Short poll slices keep the event loop turning while a test waits on the master.
constexpr int PollSliceMs = 5;

PtyPair::PtyPair()
{
    // Each step that fails names itself and the system's reason; the rest is skipped.
    const auto ok = [this](bool done, const char *what) {
        if (!done)
            m_error = QStringLiteral("%1: %2").arg(
                QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
        return done;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (!ok(m_master >= 0, "posix_openpt")
        || !ok(grantpt(m_master) == 0 && unlockpt(m_master) == 0, "grantpt/unlockpt"))
        return;
    const char *name = ptsname(m_master);
    if (!ok(name != nullptr, "ptsname"))
        return;
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    termios tio {};
    if (!ok(m_slave >= 0, "open slave") || !ok(tcgetattr(m_slave, &tio) == 0, "tcgetattr"))
        return;
    cfmakeraw(&tio);
    if (!ok(tcsetattr(m_slave, TCSANOW, &tio) == 0, "tcsetattr"))
        return;
    // Writes must never block the test thread: the program only drains its end
    // while the event loop runs.
    const int flags = fcntl(m_master, F_GETFL);
    ok(flags >= 0 && fcntl(m_master, F_SETFL, flags | O_NONBLOCK) == 0, "fcntl");
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::writeToProgram(const QByteArray &bytes, std::chrono::milliseconds deadline)
{
    const QDeadlineTimer timer(deadline);
    for (qsizetype done = 0; m_master >= 0 && done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || timer.hasExpired())
            return false;
        QCoreApplication::processEvents();
        pollfd pfd {m_master, POLLOUT, 0};
        ::poll(&pfd, 1, PollSliceMs);
    }
    return m_master >= 0;
}

QByteArray PtyPair::waitForBytes(qsizetype n, std::chrono::milliseconds deadline, Events events)
{
    QByteArray out;
    const QDeadlineTimer timer(deadline);
    while (out.size() < n && !timer.hasExpired()) {
        if (events == Events::Process)
            QCoreApplication::processEvents();
        pollfd pfd {m_master, POLLIN, 0};
        if (m_master < 0 || ::poll(&pfd, 1, PollSliceMs) <= 0 || !(pfd.revents & POLLIN))
            continue;
        char chunk[512];
        for (ssize_t got; (got = ::read(m_master, chunk, sizeof chunk)) > 0;)
            out.append(chunk, got);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(std::exchange(m_master, -1));
}

} // namespace tarv::testsupport
