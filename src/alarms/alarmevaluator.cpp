#include "alarms/alarmevaluator.h"

namespace tarv::alarms {

namespace {

// What the rule wants now, given where it stands: beyond a limit to set; back inside
// by the deadband to clear.
bool wanted(const AlarmRule &rule, double value, bool active)
{
    const double band = active ? rule.deadband : 0;
    return (rule.high && value > *rule.high - band) || (rule.low && value < *rule.low + band);
}

} // namespace

bool AlarmEvaluator::evaluate(
    const AlarmRule &rule, double value, const core::ChannelQuality &quality, qint64 nowMs)
{
    bool want = wanted(rule, value, m_active);
    if (quality.level == core::Quality::Bad) {
        if (rule.onBad == AlarmRule::OnBad::Hold) {
            m_heldSince.reset();
            return false;
        }
        want = rule.onBad == AlarmRule::OnBad::Set;
    }
    if (want == m_active) {
        m_heldSince.reset();
        return false;
    }
    if (!m_heldSince)
        m_heldSince = nowMs;
    const double delay = want ? rule.onDelay : rule.offDelay;
    if (double(nowMs - *m_heldSince) < delay * 1000)
        return false;
    m_active = want;
    m_since = nowMs;
    m_heldSince.reset();
    return true;
}

} // namespace tarv::alarms
