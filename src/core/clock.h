#pragma once

#include <QDateTime>

namespace tarv::core {

// Local wall-clock time for log stamps and chart labels; tests inject their own.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace tarv::core
