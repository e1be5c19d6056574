#pragma once

#include "core/acquisitionstate.h"

#include <QChar>
#include <QDateTime>
#include <QString>

namespace tarv::logging {

// The separators of the user's regional settings that a log line uses.
struct RegionalSeparators
{
    QChar decimalPoint = QLatin1Char('.');
    QString date = QStringLiteral("/"); // stands between dd, mm and yy
    QString time = QStringLiteral(":"); // stands between hh, mm and ss
};

// Read from the default QLocale: the decimal point directly, the date and time
// separators as the first punctuation mark of the locale's short date and time
// formats. A format without one (the C locale writes "d MMM yyyy") keeps "/" or ":".
RegionalSeparators regionalSeparators();

// The text between channel fields: 1 "," (also for any value outside 1..3, which
// only a hand-edited settings file can produce), 2 four blanks (the log format's
// "tab" has always been blanks, never a tab character), 3 one blank.
QString fieldSeparator(core::Integer separatorMode);

// Whether any of channels 0..7 is enabled for saving.
bool anyChannelEnabled(const core::AcquisitionState &state);

// The names of the channels enabled for saving, 0..7 in order, joined by the
// separator. Empty when no channel is enabled, but also when the only enabled
// channel has empty details: ask anyChannelEnabled whether there is anything to log.
QString channelHeaderFields(const core::AcquisitionState &state);

// The header line without its line end: the stamp columns ("SN,", "DATE,TIME,",
// "TIME," or nothing) before the channel names, and with alarmColumn a last column
// "Alarms".
QString buildHeader(const core::AcquisitionState &state, bool alarmColumn = false);

// The alarm column's field: the names of the active alarms, in their rules' order,
// joined by "; "; empty when none is active. A field that holds the channel
// separator (a comma for mode 1, a blank for modes 2 and 3) or a double quote stands
// in double quotes, its own doubled, so it stays one column.
QString alarmField(const core::AcquisitionState &state);

// The values of the channels enabled for saving in the general form with at most
// seven significant digits, joined by the separator; empty when none is enabled.
// Between commas, a value written with a decimal comma stands in double quotes.
// With markBad, a value whose quality is bad is an empty field, so spreadsheets and
// plots skip it instead of drawing a spike.
QString channelValueFields(
    const core::AcquisitionState &state, QChar decimalPoint, bool markBad = false);

// What stands before the values on a data line, with commas between and after the
// stamp fields whatever the channel separator is. Stamp mode 1: "17,"; 2:
// "05/12/26,18:11:43,"; 3: "18:11:43,"; 4 or any other value: nothing.
QString dataLinePrefix(core::Integer stampMode, core::Long serialNo, const QDateTime &now,
    const RegionalSeparators &separators);

// A line as it goes into the file: 8-bit text ended by CR LF. Characters outside
// Latin-1 become "?".
QByteArray encodeLine(const QString &line);

// The serial number of the last data line in the end of a log written with serial
// numbers: the first field of the last line that starts with one; 0 when none
// does. Unless the tail is the whole file, its first line may be cut and is not
// looked at.
core::Long lastSerialNumber(const QByteArray &tail, bool wholeFile);

} // namespace tarv::logging
