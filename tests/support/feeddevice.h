#pragma once

#include <QByteArray>
#include <QIODevice>

#include <chrono>
#include <cstring>

namespace tarv::testsupport {

// A serial line without a serial port, for window tests that only need bytes to
// arrive: feed() hands text to whoever reads the device and announces it at once
// (readyRead, synchronously, as a nested receive notification would), and
// everything written to the device is kept for the test to inspect, and announced
// with bytesWritten.
class FeedDevice final : public QIODevice
{
public:
    FeedDevice() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }

    void feed(const QByteArray &bytes)
    {
        m_incoming.append(bytes);
        emit readyRead();
    }

    QByteArray written; // every byte the program wrote, in order
    // When each write happened, for timing what the program sends.
    QList<std::chrono::steady_clock::time_point> writeTimes;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_incoming.size() + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(maxSize, qint64(m_incoming.size()));
        std::memcpy(data, m_incoming.constData(), size_t(n));
        m_incoming.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        written.append(data, size);
        writeTimes.append(std::chrono::steady_clock::now());
        emit bytesWritten(size);
        return size;
    }

private:
    QByteArray m_incoming;
};

} // namespace tarv::testsupport
