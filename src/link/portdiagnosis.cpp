#include "link/portdiagnosis.h"

#include "link/portresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarv::link {

namespace {

// Serial ports are locked by the UUCP convention that Qt follows: a file
// "LCK..<device name below /dev, slashes as underscores>" in the system's lock
// directory, holding the owner's process id and name.
QString lockHolder(const QString &device)
{
    QString name = device;
    if (name.startsWith(QStringLiteral("/dev/")))
        name.remove(0, 5);
    name.replace(u'/', u'_');
    const QStringList dirs = {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
        QStringLiteral("/var/spool/locks"), QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
        QDir::tempPath()};
    for (const QString &dir : dirs) {
        const QString path = dir + QStringLiteral("/LCK..") + name;
        if (!QFileInfo::exists(path))
            continue;
        qint64 pid = 0;
        QString host;
        QString app;
        if (!QLockFile(path).getLockInfo(&pid, &host, &app) || pid <= 0)
            continue;
#ifdef Q_OS_UNIX
        // A lock left behind by a program that has ended holds nothing.
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            continue;
#endif
        return app.isEmpty() ? QStringLiteral("process %1").arg(pid)
                             : QStringLiteral("%1, process %2").arg(app).arg(pid);
    }
    return {};
}

QString inUse(const QString &device, const QString &holder)
{
    return QStringLiteral("%1 is in use by another program%2; it can be opened once that "
                          "program closes it")
        .arg(device, holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder));
}

} // namespace

PortProblem missingPort(int comPort, const QString &appPath)
{
    const QStringList tried = portCandidates(comPort, appPath);
    if (tried.isEmpty())
        return {PortFault::Missing, QStringLiteral("COM %1 names no port").arg(comPort)};
    return {PortFault::Missing,
        QStringLiteral("no device for COM %1; tried %2")
            .arg(QString::number(comPort), tried.join(QStringLiteral(", ")))};
}

PortFault faultForOpenError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return PortFault::NoPermission;
    case EBUSY:
        return PortFault::InUse;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortFault::Missing;
    default:
        return PortFault::Other;
    }
}

PortProblem diagnoseOpenFailure(const QString &device, const QString &qtError)
{
#ifdef Q_OS_UNIX
    if (const QString holder = lockHolder(device); !holder.isEmpty())
        return {PortFault::InUse, inUse(device, holder)};
    // Opened without becoming its controlling terminal and without waiting for a
    // carrier, and closed at once: only the answer matters.
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int error = errno;
    if (fd >= 0) {
        if (::close(fd) != 0)
            qWarning("%s: close: %s", qPrintable(device), std::strerror(errno));
        return {PortFault::Other, QStringLiteral("%1: %2").arg(device, qtError)};
    }
    switch (faultForOpenError(error)) {
    case PortFault::NoPermission:
        return {PortFault::NoPermission,
            QStringLiteral("permission denied on %1: add the user to the dialout group "
                           "(sudo usermod -aG dialout $USER) and log in again")
                .arg(device)};
    case PortFault::InUse:
        return {PortFault::InUse, inUse(device, {})};
    case PortFault::Missing:
        return {PortFault::Missing, QStringLiteral("%1 is not there").arg(device)};
    case PortFault::Other:
        break;
    }
    return {PortFault::Other, QStringLiteral("%1: %2").arg(device, qt_error_string(error))};
#else
    return {PortFault::Other, QStringLiteral("%1: %2").arg(device, qtError)};
#endif
}

} // namespace tarv::link
