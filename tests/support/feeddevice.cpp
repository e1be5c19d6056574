#include "support/feeddevice.h"

#include <algorithm>
#include <cstring>

namespace tarv::testsupport {

FeedDevice::FeedDevice()
{
    open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void FeedDevice::feed(const QByteArray &bytes)
{
    m_incoming.append(bytes);
    emit readyRead();
}

qint64 FeedDevice::bytesAvailable() const
{
    return m_incoming.size() + QIODevice::bytesAvailable();
}

qint64 FeedDevice::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, m_incoming.size());
    std::memcpy(data, m_incoming.constData(), static_cast<std::size_t>(n));
    m_incoming.remove(0, n);
    return n;
}

qint64 FeedDevice::writeData(const char *data, qint64 size)
{
    written.append(data, size);
    writeTimes.append(std::chrono::steady_clock::now());
    emit bytesWritten(size);
    return size;
}

} // namespace tarv::testsupport
