#pragma once

#include <QByteArray>
#include <QIODevice>

#include <chrono>

namespace tarv::testsupport {

// A serial line without a serial port, for window tests that only need bytes to
// arrive: feed() hands text to whoever reads the device and announces it at once
// (readyRead, synchronously, as a nested receive notification would), and
// everything written to the device is kept for the test to inspect, and announced
// with bytesWritten.
class FeedDevice final : public QIODevice
{
public:
    FeedDevice();

    void feed(const QByteArray &bytes);

    QByteArray written; // every byte the program wrote, in order
    // When each write happened, for timing what the program sends.
    QList<std::chrono::steady_clock::time_point> writeTimes;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QByteArray m_incoming;
};

} // namespace tarv::testsupport
