#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace tarv::sim {

using Clock = std::chrono::steady_clock;

// Text waiting for the port, in the pieces it is to be written in. A piece may not
// go before its time, and never before the pieces queued ahead of it.
class OutputQueue
{
public:
    enum class Status {
        Drained, // nothing left
        Waiting, // the next piece is not due yet
        Blocked, // the port takes no more for now: wait for it to become writable
        Failed, // the port is gone
    };

    void push(std::string bytes, Clock::time_point notBefore);
    void clear();

    bool empty() const { return m_pieces.empty(); }
    std::size_t bytes() const { return m_bytes; }
    // When the first piece may be written; nothing when the queue is empty.
    std::optional<Clock::time_point> due() const;

    // Writes every due piece the non-blocking `fd` accepts.
    Status writeTo(int fd, Clock::time_point now);

private:
    struct Pending
    {
        std::string bytes;
        Clock::time_point notBefore;
        std::size_t written = 0;
    };
    std::deque<Pending> m_pieces;
    std::size_t m_bytes = 0;
};

} // namespace tarv::sim
