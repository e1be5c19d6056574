#pragma once

#include <QString>
#include <QStringList>

namespace tarv::link {

// The device behind "COM n". On Windows it is the device COMn. Elsewhere, in this
// order: an entry named COMn in appPath (a symbolic link to any serial device, as
// a user or the simulated card makes it), then /dev/ttyUSB<n-1>, then
// /dev/ttyACM<n-1>. Empty when none exists (and for n < 1).
QString resolvePortDevice(int comPort, const QString &appPath);

// The paths resolvePortDevice looks at for "COM n", in its order.
QStringList portCandidates(int comPort, const QString &appPath);

} // namespace tarv::link
