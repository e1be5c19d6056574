#pragma once

#include <QDateTime>

namespace tarv::core {

// Local wall-clock time for log stamps and chart labels; tests inject their own.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same instant without its local form: what is stamped at every frame
    // needs no time-zone lookup (a stat of /etc/localtime each time).
    virtual qint64 msecsSinceEpoch() const { return now().toMSecsSinceEpoch(); }
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 msecsSinceEpoch() const override { return QDateTime::currentMSecsSinceEpoch(); }
};

} // namespace tarv::core
