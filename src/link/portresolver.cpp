#include "link/portresolver.h"

#include <QDir>
#include <QFileInfo>

namespace tarv::link {

QString resolvePortDevice(int comPort, const QString &appPath)
{
    if (comPort < 1)
        return {};
    const QString name = QStringLiteral("COM") + QString::number(comPort);
#ifdef Q_OS_WIN
    Q_UNUSED(appPath);
    return name;
#else
    // exists() follows the link, so a dangling COMn counts as missing. The port is
    // opened by its real device name, so that two names for one port share a lock.
    const QFileInfo entry(QDir(appPath).filePath(name));
    if (entry.exists())
        return entry.canonicalFilePath();
    // USB adapters number from 0 where the user counts COM ports from 1.
    const QString index = QString::number(comPort - 1);
    for (const QString &prefix : {QStringLiteral("/dev/ttyUSB"), QStringLiteral("/dev/ttyACM")}) {
        if (QFileInfo::exists(prefix + index))
            return prefix + index;
    }
    return {};
#endif
}

} // namespace tarv::link
