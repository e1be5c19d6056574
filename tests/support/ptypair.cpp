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

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(
        QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

// Short poll slices keep the event loop turning while a test waits on the master.
constexpr int PollSliceMs = 5;

} // namespace

PtyPair::PtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        m_error = systemError("posix_openpt");
        return;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = systemError("grantpt/unlockpt");
        return;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        m_error = systemError("ptsname");
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        m_error = systemError("open slave");
        return;
    }
    termios tio {};
    if (tcgetattr(m_slave, &tio) != 0) {
        m_error = systemError("tcgetattr");
        return;
    }
    cfmakeraw(&tio);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        m_error = systemError("tcsetattr");
        return;
    }
    // Writes must never block the test thread: the program only drains its end
    // while the event loop runs.
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        m_error = systemError("fcntl");
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::writeToProgram(const QByteArray &bytes, std::chrono::milliseconds deadline)
{
    if (m_master < 0)
        return false;
    const QDeadlineTimer timer(deadline);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n
            = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (timer.hasExpired())
            return false;
        QCoreApplication::processEvents();
        pollfd pfd {m_master, POLLOUT, 0};
        ::poll(&pfd, 1, PollSliceMs);
    }
    return true;
}

QByteArray PtyPair::readFromProgram(std::chrono::milliseconds timeout)
{
    QByteArray out;
    if (m_master < 0)
        return out;
    pollfd pfd {m_master, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0 || !(pfd.revents & POLLIN))
        return out;
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        out.append(chunk, n);
    }
    return out;
}

QByteArray PtyPair::waitForBytes(qsizetype n, std::chrono::milliseconds deadline, Events events)
{
    QByteArray out;
    const QDeadlineTimer timer(deadline);
    while (out.size() < n && !timer.hasExpired()) {
        if (events == Events::Process)
            QCoreApplication::processEvents();
        out.append(readFromProgram(std::chrono::milliseconds(PollSliceMs)));
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

} // namespace tarv::testsupport
