#pragma once

#include "core/acquisitionstate.h"
#include "core/replacefile.h"

#include <QByteArray>
#include <QString>

namespace tarv::core {

// The settings files, all in state.appPath:
//   tarv.con   comPort, printed as " n " (blank for the sign, blank after) + CR LF
//   tarvo.con  88 lines: dioDirection 0..15, then per channel 0..7 inputType,
//              inputRange, zero10V, zero200mV, span10V, span200mV, rtdCal,
//              plotEnable, saveEnable
//   tarvs.con  14 lines: saveFileName, useChannelHeaders, separatorMode,
//              saveIntervalUnit, saveInterval, stampMode, channelNames 0..7
inline constexpr auto ComPortFileName = "tarv.con";
inline constexpr auto CardSettingsFileName = "tarvo.con";
inline constexpr auto LogSettingsFileName = "tarvs.con";

struct ReadResult
{
    bool ok = false;
    QString path;
    QString error; // names the line and what was wrong when !ok
};

// Writers replace the file only once the whole content has been written: a crash
// or a full disk part-way leaves the previous file as it was, never a truncated
// one.
WriteResult writeComPortFile(const AcquisitionState &state);
WriteResult SaveCardSettings(const AcquisitionState &state);
WriteResult SaveLogSettings(const AcquisitionState &state);

// Readers store each value in the state the moment it has been read, so a file
// that breaks off part-way leaves the values before the break in place. Values
// are checked against their type only (a 16-bit integer, a flag, a number), never
// against the range a dialog would allow.
ReadResult readComPortFile(AcquisitionState &state);
ReadResult readCardSettings(AcquisitionState &state);
ReadResult readLogSettings(AcquisitionState &state);

// The same readers and writers on a file's bytes; a result read this way has no
// path. The file-level functions above are these plus the file access.
QByteArray comPortFileBytes(const AcquisitionState &state);
QByteArray cardSettingsBytes(const AcquisitionState &state);
QByteArray logSettingsBytes(const AcquisitionState &state);
ReadResult readComPortFrom(const QByteArray &bytes, AcquisitionState &state);
ReadResult readCardSettingsFrom(const QByteArray &bytes, AcquisitionState &state);
ReadResult readLogSettingsFrom(const QByteArray &bytes, AcquisitionState &state);

} // namespace tarv::core
