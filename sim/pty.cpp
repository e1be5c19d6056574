#include "sim/pty.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tarv::sim {

namespace {

std::string failure(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool makeRaw(int fd)
{
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(std::string &error)
{
    close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = failure("posix_openpt");
        return false;
    }
    const char *name = nullptr;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || (name = ::ptsname(m_master)) == nullptr) {
        error = failure("grantpt/unlockpt/ptsname");
        close();
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0 || !makeRaw(m_slave)) {
        error = failure(m_slavePath.c_str());
        close();
        return false;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    return true;
}

void PseudoTerminal::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
    m_slavePath.clear();
}

int PseudoTerminal::unreadBytes() const
{
    int waiting = 0;
    if (m_slave < 0 || ::ioctl(m_slave, FIONREAD, &waiting) != 0)
        return 0;
    return waiting;
}

void PseudoTerminal::discardUnread()
{
    if (m_slave >= 0)
        ::tcflush(m_slave, TCIFLUSH);
}

PortLink::~PortLink()
{
    remove();
}

bool PortLink::create(const std::string &linkPath, const std::string &target, std::string &error)
{
    remove();
    struct stat existing
    { };
    if (::lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            error = linkPath + " exists and is not a symbolic link";
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
        error = failure(linkPath.c_str());
        return false;
    }
    m_path = linkPath;
    m_target = target;
    return true;
}

void PortLink::remove()
{
    if (m_target.empty())
        return;
    // Leave the name alone if someone has pointed it elsewhere meanwhile.
    char current[PATH_MAX];
    const ssize_t n = ::readlink(m_path.c_str(), current, sizeof current);
    if (n >= 0 && std::string(current, std::size_t(n)) == m_target)
        ::unlink(m_path.c_str());
    m_target.clear();
}

} // namespace tarv::sim
