#pragma once

#include "sim/card.h"
#include "sim/options.h"
#include "sim/outputqueue.h"
#include "sim/pty.h"

#include <string>

namespace tarv::sim {

// Bytes in, lines out: splits at CR or LF and drops empty lines. A line that grows
// past any sensible command is cut short rather than held without end.
class LineSplitter
{
public:
    template<typename OnLine> void feed(const char *data, std::size_t size, OnLine onLine)
    {
        for (std::size_t i = 0; i < size; ++i) {
            const char ch = data[i];
            if (ch == '\r' || ch == '\n') {
                if (!m_partial.empty())
                    onLine(std::string(m_partial));
                m_partial.clear();
            } else if (m_partial.size() < 256) {
                m_partial += ch;
            }
        }
    }
    void clear() { m_partial.clear(); }

private:
    std::string m_partial;
};

// The running card: one poll() loop over the port, the console (standard input) and
// a wake-up pipe that signal handlers write to. Everything it does is reported on
// standard output, one line at a time, flushed at once.
class Simulator
{
public:
    // `wakeFd` becomes readable when the process is asked to stop.
    Simulator(const Options &options, int wakeFd);
    // Runs until a signal, "quit", --exit-after or a failure; returns the exit status.
    int run();

private:
    bool bringUpPort();
    void dropPort();
    void produce(Clock::time_point now);
    void discardIfNobodyReads();
    bool pump(Clock::time_point now);
    // Loses or restores the port when due; false when it cannot be restored.
    bool checkVanish(Clock::time_point now);
    void reportLimit();
    int pollTimeout(Clock::time_point now);
    bool readPort(Clock::time_point now);
    void readConsole();
    void consoleCommand(const std::string &line);

    Options m_options;
    int m_wakeFd;
    PseudoTerminal m_port;
    PortLink m_link;
    OutputQueue m_out;
    Card m_card;
    LineSplitter m_fromHost;
    LineSplitter m_fromConsole;

    Clock::duration m_period;
    Clock::time_point m_deadline = Clock::time_point::max();
    Clock::time_point m_nextTick;
    Clock::time_point m_nextVanish = Clock::time_point::max();
    Clock::time_point m_reappear = Clock::time_point::max();
    bool m_wasStreaming = false;
    bool m_waitForWritable = false;
    bool m_consoleOpen = true;
    bool m_limitReported = false;
    bool m_quit = false;
    long long m_discarded = 0;
    // Losing the port waits, up to a deadline, for the host to read what the card
    // had already sent, so a lost port never takes counted frames with it.
    bool m_draining = false;
    Clock::time_point m_drainDeadline = Clock::time_point::max();
    Clock::time_point m_drainEmptySince = Clock::time_point::max();
    long long m_lostAtVanish = 0; // bytes still unread when the deadline forced it
};

} // namespace tarv::sim
