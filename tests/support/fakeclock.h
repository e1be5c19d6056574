#pragma once

#include "core/clock.h"

namespace tarv::testsupport {

// A clock that stands still until the test moves it.
class FakeClock final : public core::Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 5), QTime(18, 11, 43)))
        : m_now(std::move(start))
    { }
    QDateTime now() const override { return m_now; }
    void advance(int seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace tarv::testsupport
