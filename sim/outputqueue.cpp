#include "sim/outputqueue.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tarv::sim {

void OutputQueue::push(std::string bytes, Clock::time_point notBefore)
{
    if (bytes.empty())
        return;
    if (!m_pieces.empty())
        notBefore = std::max(notBefore, m_pieces.back().notBefore);
    m_bytes += bytes.size();
    m_pieces.push_back(Pending {std::move(bytes), notBefore});
}

void OutputQueue::clear()
{
    m_pieces.clear();
    m_bytes = 0;
}

std::optional<Clock::time_point> OutputQueue::due() const
{
    if (m_pieces.empty())
        return std::nullopt;
    return m_pieces.front().notBefore;
}

OutputQueue::Status OutputQueue::writeTo(int fd, Clock::time_point now)
{
    while (!m_pieces.empty()) {
        Pending &front = m_pieces.front();
        if (front.notBefore > now)
            return Status::Waiting;
        const std::size_t left = front.bytes.size() - front.written;
        const ssize_t n = ::write(fd, front.bytes.data() + front.written, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return (errno == EAGAIN || errno == EWOULDBLOCK) ? Status::Blocked : Status::Failed;
        }
        front.written += std::size_t(n);
        m_bytes -= std::size_t(n);
        if (front.written == front.bytes.size())
            m_pieces.pop_front();
    }
    return Status::Drained;
}

} // namespace tarv::sim
