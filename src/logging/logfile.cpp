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

// flush() hands the bytes to the operating system; fdatasync has it put them on the
// disk before the tick returns, so a power cut loses at most the line in hand. The
// file's new length goes with them (it is needed to read them back); only its times
// are left to the system, which spares the inode's write. That costs a few
// milliseconds per line on an ordinary disk, at most once a second. Returns the
// reason when either fails.
QString pushToDisk(QFile &file)
{
    if (!file.flush())
        return file.errorString();
#ifdef Q_OS_UNIX
    if (::fdatasync(file.handle()) != 0)
        return qt_error_string(errno);
#endif
    return {};
}

// Writes all of bytes. A write cut short (a full disk, a file-size limit) goes on
// from where it stopped, which either gets further or fails and says why; the short
// write itself leaves no reason behind.
bool writeAll(QFile &file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

QString writeWith(const QString &path, QIODevice::OpenMode mode, const QByteArray &bytes)
{
    QFile file(path);
    // Unbuffered: a failure shows at the write, with the system's reason.
    if (!file.open(mode | QIODevice::Unbuffered))
        return describeFailure(path, file.errorString());
    const qint64 before = file.size();
    QString reason = writeAll(file, bytes) ? pushToDisk(file) : file.errorString();
    if (!reason.isEmpty()) {
        // Part of a line would have the next one glued to it: cut the file back to
        // where it ended, so every line in it stays whole.
        if (!file.resize(before))
            reason += QStringLiteral("; the part written could not be taken back (%1)")
                          .arg(file.errorString());
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
