#include "sim/simulator.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace tarv::sim {

namespace {

void say(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Shows a received line as text; bytes outside printable ASCII as \xNN.
std::string printable(const std::string &line)
{
    std::string shown;
    for (unsigned char ch : line) {
        if (ch >= 0x20 && ch < 0x7f) {
            shown += char(ch);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(ch));
            shown += escaped;
        }
    }
    return shown;
}

Clock::duration seconds(double value)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value));
}

// The card sends a frame pair only while its host keeps up: this much unread output
// means nobody has the port open (or nobody reads it), and a real line would have
// lost it. Keeps a later reader from a burst of stale frames.
constexpr int staleBytes = 2048;
// In unthrottled mode, how far the card runs ahead of the port.
constexpr std::size_t queueAhead = 4096;
// How long a vanishing port waits for the host to read what was sent, and how often
// it looks whether it has.
constexpr auto drainLimit = std::chrono::seconds(2);
constexpr auto drainPoll = std::chrono::milliseconds(5);
constexpr auto drainSettle = std::chrono::milliseconds(100);

} // namespace

Simulator::Simulator(const Options &options, int wakeFd)
    : m_options(options)
    , m_wakeFd(wakeFd)
    , m_card(options.card, m_out, Clock::now())
    , m_period(seconds(1.0 / options.rate))
{ }

int Simulator::run()
{
    if (!bringUpPort())
        return 1;
    const auto start = Clock::now();
    if (m_options.exitAfter > 0)
        m_deadline = start + seconds(m_options.exitAfter);
    if (m_options.vanishEvery > 0)
        m_nextVanish = start + seconds(m_options.vanishEvery);
    if (m_card.reference() != Reference::None)
        say("tarvsim: reference " + std::string(referenceText(m_card.reference())));

    int status = 0;
    while (!m_quit) {
        const auto now = Clock::now();
        if (now >= m_deadline)
            break;
        if (!checkVanish(now)) {
            status = 1;
            break;
        }
        produce(now);
        if (!pump(now)) {
            status = 1;
            break;
        }
        reportLimit();

        pollfd fds[3] = {{m_wakeFd, POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}};
        if (m_consoleOpen)
            fds[1] = {STDIN_FILENO, POLLIN, 0};
        if (m_port.isOpen())
            fds[2] = {m_port.masterFd(), short(POLLIN | (m_waitForWritable ? POLLOUT : 0)), 0};
        if (::poll(fds, 3, pollTimeout(now)) < 0 && errno != EINTR) {
            say(std::string("tarvsim: poll: ") + std::strerror(errno));
            status = 1;
            break;
        }
        if (fds[0].revents)
            m_quit = true;
        if (fds[1].revents)
            readConsole();
        if ((fds[2].revents & (POLLIN | POLLHUP | POLLERR)) && !readPort(Clock::now())) {
            status = 1;
            break;
        }
    }
    dropPort();
    const Tally &tally = m_card.tally();
    if (m_discarded > 0)
        say("tarvsim: discarded " + std::to_string(m_discarded) + " unread bytes");
    if (m_lostAtVanish > 0)
        say("tarvsim: lost " + std::to_string(m_lostAtVanish) + " unread bytes with the port");
    say("tarvsim: valid analog " + std::to_string(tally.validAnalog) + ", valid digital "
        + std::to_string(tally.validDigital) + ", faulty " + std::to_string(tally.faulty));
    return status;
}

bool Simulator::bringUpPort()
{
    std::string error;
    if (!m_port.open(error) || !m_link.create(m_options.linkPath(), m_port.slavePath(), error)) {
        say("tarvsim: " + error);
        m_port.close();
        return false;
    }
    say("tarvsim: COM" + std::to_string(m_options.port) + " -> " + m_port.slavePath());
    return true;
}

void Simulator::dropPort()
{
    m_link.remove();
    m_port.close();
    m_fromHost.clear();
    m_waitForWritable = false;
}

bool Simulator::checkVanish(Clock::time_point now)
{
    if (m_port.isOpen() && now >= m_nextVanish && !m_draining) {
        // The cable comes out between frames: nothing new is made from here on, and
        // what is on its way still reaches the host if it reads it in time.
        m_draining = true;
        m_drainEmptySince = Clock::time_point::max();
        m_card.flushGathered(now);
        m_drainDeadline = now + drainLimit;
    }
    if (m_draining) {
        const long long unread = static_cast<long long>(m_out.bytes()) + m_port.unreadBytes();
        // The terminal hands written bytes to the reader's side a moment later, so an
        // empty count right after a write proves nothing: it must stay empty a while.
        if (unread > 0)
            m_drainEmptySince = Clock::time_point::max();
        else if (m_drainEmptySince == Clock::time_point::max())
            m_drainEmptySince = now;
        const bool settled = unread == 0 && now - m_drainEmptySince >= drainSettle;
        if (!settled && now < m_drainDeadline)
            return true;
        m_draining = false;
        m_drainDeadline = Clock::time_point::max();
        m_lostAtVanish += unread;
        dropPort();
        m_card.powerCycle();
        m_wasStreaming = false;
        m_reappear = now + seconds(m_options.vanishFor);
        m_nextVanish = Clock::time_point::max();
        say("tarvsim: COM" + std::to_string(m_options.port) + " vanished");
    } else if (!m_port.isOpen() && now >= m_reappear) {
        m_reappear = Clock::time_point::max();
        if (!bringUpPort())
            return false;
        m_nextVanish = now + seconds(m_options.vanishEvery);
    }
    return true;
}

void Simulator::produce(Clock::time_point now)
{
    const bool streaming = m_port.isOpen() && !m_draining && m_card.streaming();
    if (streaming && !m_wasStreaming)
        m_nextTick = now;
    m_wasStreaming = streaming;
    if (!streaming)
        return;
    if (m_options.unthrottled) {
        while (m_out.bytes() < queueAhead && m_card.sendFrames(now)) { }
        return;
    }
    if (now < m_nextTick)
        return;
    discardIfNobodyReads();
    m_card.sendFrames(now);
    m_nextTick += m_period;
    // After a stall (quiet spell, busy machine) carry on at the rate, without a burst.
    if (m_nextTick <= now)
        m_nextTick = now + m_period;
}

void Simulator::discardIfNobodyReads()
{
    const int unread = m_port.unreadBytes();
    if (unread >= staleBytes) {
        m_port.discardUnread();
        m_discarded += unread;
    }
}

bool Simulator::pump(Clock::time_point now)
{
    m_waitForWritable = false;
    if (!m_port.isOpen())
        return true;
    switch (m_out.writeTo(m_port.masterFd(), now)) {
    case OutputQueue::Status::Blocked:
        m_waitForWritable = true;
        return true;
    case OutputQueue::Status::Failed:
        say(std::string("tarvsim: write to port: ") + std::strerror(errno));
        return false;
    case OutputQueue::Status::Drained:
    case OutputQueue::Status::Waiting:
        break;
    }
    return true;
}

void Simulator::reportLimit()
{
    if (m_limitReported || !m_card.limitReached() || !m_out.empty())
        return;
    m_limitReported = true;
    say("tarvsim: sent " + std::to_string(m_card.tally().validAnalog) + " analog frames, "
        + std::to_string(m_card.tally().validDigital) + " digital frames");
}

int Simulator::pollTimeout(Clock::time_point now)
{
    auto wake = std::min(m_deadline, std::min(m_nextVanish, m_reappear));
    if (m_draining)
        wake = std::min(wake, now + drainPoll);
    if (m_port.isOpen() && m_card.streaming() && !m_options.unthrottled)
        wake = std::min(wake, m_nextTick);
    if (m_port.isOpen() && !m_draining && m_card.streaming() && m_options.unthrottled
        && !m_waitForWritable && m_out.bytes() < queueAhead) {
        // The port took everything: go on at once, unless the card is in a quiet spell.
        const auto quiet = m_card.quietUntil(now);
        if (!quiet)
            return 0;
        wake = std::min(wake, *quiet);
    }
    if (const auto due = m_out.due(); due && !m_waitForWritable)
        wake = std::min(wake, *due);
    if (wake == Clock::time_point::max())
        return -1;
    if (wake <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
    return int(std::min<long long>(ms, INT_MAX));
}

bool Simulator::readPort(Clock::time_point now)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_port.masterFd(), buffer, sizeof buffer);
        if (n > 0) {
            m_fromHost.feed(buffer, std::size_t(n), [&](const std::string &line) {
                say("rx: " + printable(line));
                if (!m_card.receive(line, now))
                    say("tarvsim: ignored");
            });
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        say(std::string("tarvsim: read from port: ") + (n == 0 ? "end" : std::strerror(errno)));
        return false;
    }
}

void Simulator::readConsole()
{
    char buffer[512];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || errno != EINTR)
            m_consoleOpen = false;
        return;
    }
    m_fromConsole.feed(
        buffer, std::size_t(n), [this](const std::string &line) { consoleCommand(line); });
}

void Simulator::consoleCommand(const std::string &line)
{
    if (line == "quit" || line == "exit") {
        m_quit = true;
        return;
    }
    if (line.starts_with("cal ")) {
        if (const auto reference = parseReference(line.substr(4))) {
            m_card.setReference(*reference);
            say("tarvsim: reference " + std::string(referenceText(*reference)));
            return;
        }
    }
    // "break 4 open", "mend 4".
    std::istringstream words(line);
    std::string verb, kindText;
    int channel = -1;
    if (words >> verb >> channel && channel >= 0 && channel < channelCount) {
        const auto kind = verb == "mend"           ? std::optional(Break::None)
            : verb == "break" && words >> kindText ? parseBreak(kindText)
                                                   : std::nullopt;
        if (kind) {
            m_card.setBreak(channel, *kind);
            say("tarvsim: channel " + std::to_string(channel)
                + (*kind == Break::None ? " mended" : " broken (" + kindText + ")"));
            return;
        }
    }
    say("tarvsim: commands are cal 0v|10v|0mv|200mv|rtd|off, break CH open|short|loop|full, "
        "mend CH and quit");
}

} // namespace tarv::sim
