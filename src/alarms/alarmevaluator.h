#pragma once

#include "alarms/alarmrules.h"
#include "core/quality.h"

#include <optional>

namespace tarv::alarms {

// Where one rule stands, advanced by each value and by time alone: the condition
// must hold for the rule's delay, without a break, before the alarm changes.
class AlarmEvaluator
{
public:
    // The channel's value and quality at `nowMs`; true when the alarm set or cleared.
    bool evaluate(
        const AlarmRule &rule, double value, const core::ChannelQuality &quality, qint64 nowMs);

    bool active() const { return m_active; }
    qint64 since() const { return m_since; } // 0 before the first change

private:
    bool m_active = false;
    qint64 m_since = 0;
    std::optional<qint64> m_heldSince; // when the wanted state began to differ
};

} // namespace tarv::alarms
