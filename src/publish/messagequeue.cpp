#include "publish/messagequeue.h"

namespace tarv::publish {

void MessageQueue::push(Message message)
{
    if (m_waiting.size() == Limit) {
        m_waiting.pop_front();
        ++m_dropped;
    }
    m_waiting.push_back(std::move(message));
}

void MessageQueue::pump(const Send &send)
{
    while (!m_waiting.empty() && m_inFlight.size() < InFlightLimit) {
        const std::optional<int> mid = send(m_waiting.front());
        if (!mid)
            return;
        m_inFlight.insert(*mid);
        m_waiting.pop_front();
        ++m_sent;
    }
}

void MessageQueue::clear()
{
    m_waiting.clear();
    m_inFlight.clear();
}

} // namespace tarv::publish
