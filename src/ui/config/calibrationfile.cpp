#include "ui/config/calibrationfile.h"

#include "core/acquisitionstate.h"
#include "core/replacefile.h"
#include "core/settingsfile.h"

#include <QFile>

#include <array>

namespace tarv::ui::config {

namespace {

using CountArray = core::ChannelArray<core::Integer> core::AcquisitionState::*;

// The order of a channel's five counts in the file.
constexpr std::array<CountArray, 5> FileOrder = {
    &core::AcquisitionState::zero10V,
    &core::AcquisitionState::zero200mV,
    &core::AcquisitionState::span10V,
    &core::AcquisitionState::span200mV,
    &core::AcquisitionState::rtdCal,
};

} // namespace

QByteArray calibrationBytes(const core::AcquisitionState &state)
{
    QByteArray data = '"' + CalibrationFileId.toLatin1() + "\"\r\n";
    for (int channel = 0; channel < core::ChannelCount; ++channel) {
        for (const CountArray counts : FileOrder) {
            data += QByteArray::number((state.*counts)[channel]);
            data += "\r\n";
        }
    }
    return data;
}

bool exportCalibration(const QString &path, const core::AcquisitionState &state)
{
    return core::replaceFile(path, calibrationBytes(state)).ok;
}

CalibrationImport importCalibration(const QString &path, core::AcquisitionState &state)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CalibrationImport::NotOpened;
    // A real calibration file is a few hundred bytes.
    return importCalibrationFrom(file.read(core::MaxSettingsFileSize), state);
}

CalibrationImport importCalibrationFrom(const QByteArray &bytes, core::AcquisitionState &state)
{
    // Same field rules as the settings files.
    core::SettingsReader reader(bytes);
    QString id;
    if (!reader.readString(id))
        return CalibrationImport::Partial; // empty file: nothing to take, nothing to say
    if (id != CalibrationFileId)
        return CalibrationImport::Incompatible;

    for (int channel = 0; channel < core::ChannelCount; ++channel) {
        for (const CountArray counts : FileOrder) {
            if (!reader.readInteger((state.*counts)[channel]))
                return CalibrationImport::Partial;
        }
    }
    return CalibrationImport::Complete;
}

} // namespace tarv::ui::config
