#include "logging/logfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tarv::logging {

namespace {

QString describeFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("The log file \"%1\" cannot be written: %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

// flush() hands the bytes to the operating system; fsync has it put them on the
// disk before the tick returns, so a power cut loses at most the line in hand. That
// costs a few milliseconds per line on an ordinary disk, at most once a second.
// Returns the reason when either fails.
QString pushToDisk(QFile &file)
{
    if (!file.flush())
        return file.errorString();
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0)
        return qt_error_string(errno);
#endif
    return {};
}

QString writeWith(const QString &path, QIODevice::OpenMode mode, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(mode))
        return describeFailure(path, file.errorString());
    QString reason;
    if (file.write(bytes) != bytes.size())
        reason = file.errorString();
    else
        reason = pushToDisk(file);
    if (!reason.isEmpty()) {
        file.close();
        return describeFailure(path, reason);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return describeFailure(path, file.errorString());
    return {};
}

} // namespace

QString replaceWithLine(const QString &path, const QByteArray &line)
{
    return writeWith(path, QIODevice::WriteOnly | QIODevice::Truncate, line);
}

QString appendLine(const QString &path, const QByteArray &line)
{
    return writeWith(path, QIODevice::WriteOnly | QIODevice::Append, line);
}

QString checkAppendable(const QString &path)
{
    return writeWith(path, QIODevice::WriteOnly | QIODevice::Append, {});
}

QByteArray readTail(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > maxBytes && !file.seek(file.size() - maxBytes))
        return {};
    return file.read(maxBytes);
}

} // namespace tarv::logging
