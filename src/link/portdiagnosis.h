#pragma once

#include <QString>

namespace tarv::link {

// Why a serial port could not be opened, in words an operator can act on.
enum class PortFault {
    Missing, // no device behind the port number, or it went away
    NoPermission, // the device refuses this user (on Linux: not in the dialout group)
    InUse, // another program holds the port
    Other,
};

struct PortProblem
{
    PortFault fault = PortFault::Other;
    QString reason;
};

// A port number with no device behind it: the reason lists the paths tried.
PortProblem missingPort(int comPort, const QString &appPath);

// A device that exists but did not open. Qt reports a held lock, a busy device and
// a refused one all as a permission error, so the device is asked itself: the
// lock file of the port and the error an open of the device gives. qtError is
// what the serial port said, kept for faults nothing here explains.
PortProblem diagnoseOpenFailure(const QString &device, const QString &qtError);

// The fault for an errno from opening a device.
PortFault faultForOpenError(int error);

} // namespace tarv::link
