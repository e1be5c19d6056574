#pragma once

#include <string>

namespace tarv::sim {

// The card's end of a serial line: the master side of a pseudo-terminal, whose slave
// device the program opens as its port. The slave is set to raw 8N1 at a nominal
// 9600 baud and held open here as well, so that the master keeps working (rather
// than reporting a hang-up) while the program has the port closed.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Opens a new pair with a non-blocking master. On failure returns false and says
    // why in `error`.
    bool open(std::string &error);
    void close();
    bool isOpen() const { return m_master >= 0; }

    int masterFd() const { return m_master; }
    const std::string &slavePath() const { return m_slavePath; }

    // Bytes the card wrote that nobody has read from the port yet.
    int unreadBytes() const;
    // Throws them away, as a line does when no one is listening.
    void discardUnread();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// The name the program opens, a symbolic link "COM<n>" to the slave device, so that
// a port number maps onto a path. Replaces a link left behind by an earlier run but
// never any other kind of file.
class PortLink
{
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    bool create(const std::string &linkPath, const std::string &target, std::string &error);
    void remove();
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
    std::string m_target;
};

} // namespace tarv::sim
