#pragma once

#include <QByteArray>
#include <QString>

namespace tarv::core {
struct AcquisitionState;
}

namespace tarv::ui::config {

// First field of every calibration file, compared exactly and with case on import.
inline const QString CalibrationFileId = QStringLiteral("Tarvane2020 ver.1.1 Calib File");

// Writes the calibration counts of channels 0..7 as 41 Latin-1 lines ended by
// CR LF: the identification text in double quotes, then per channel zero10V,
// zero200mV, span10V, span200mV and rtdCal, one plain decimal count per line.
// The file is written aside and replaces the target only when complete, so a
// failed export leaves an existing file as it was. False on any error.
bool exportCalibration(const QString &path, const core::AcquisitionState &state);

enum class CalibrationImport {
    NotOpened, // the file could not be opened; nothing changed
    Incompatible, // the first field is not the identification text; nothing changed
    Partial, // a field was missing or not a count; the counts before it were taken
    Complete, // all forty counts were taken
};

// Reads a calibration file into the state. Fields end at a comma or a line end,
// leading blanks are skipped and a field may be quoted, so counts may also stand
// several to a line. Each count is assigned the moment it is read, in the order
// export writes them. A count must be a number that rounds (halves to even) into
// -32768..32767; a field that is not a number as a whole ("12abc", an empty
// field) is not a count and ends the import there.
CalibrationImport importCalibration(const QString &path, core::AcquisitionState &state);

// The same export and import on a file's bytes; importing bytes never answers
// NotOpened.
QByteArray calibrationBytes(const core::AcquisitionState &state);
CalibrationImport importCalibrationFrom(const QByteArray &bytes, core::AcquisitionState &state);

} // namespace tarv::ui::config
