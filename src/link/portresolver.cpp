#include "link/portresolver.h"

#include <QDir>
#include <QFileInfo>

namespace tarv::link {

QStringList portCandidates(int comPort, const QString &appPath)
{
    if (comPort < 1)
        return {};
    const QString name = QStringLiteral("COM") + QString::number(comPort);
#ifdef Q_OS_WIN
    Q_UNUSED(appPath);
    return {name};
#else
    // USB adapters number from 0 where the user counts COM ports from 1.
    const QString index = QString::number(comPort - 1);
    return {QDir(appPath).filePath(name), QStringLiteral("/dev/ttyUSB") + index,
        QStringLiteral("/dev/ttyACM") + index};
#endif
}

QString resolvePortDevice(int comPort, const QString &appPath)
{
    const QStringList candidates = portCandidates(comPort, appPath);
#ifdef Q_OS_WIN
    return candidates.value(0);
#else
    // exists() follows the link, so a dangling COMn counts as missing. The port is
    // opened by its real device name, so that two names for one port share a lock.
    for (const QString &path : candidates) {
        const QFileInfo entry(path);
        if (entry.exists())
            return entry.canonicalFilePath();
    }
    return {};
#endif
}

} // namespace tarv::link
