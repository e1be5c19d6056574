#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace tarv::logging {

// tarvane.ini's [log] split: one file for the whole log, or a new file for every local
// day or hour.
enum class Split { None, Daily, Hourly };

// The file that the lines stamped at `local` go to: the log's name with the date, and
// for hourly files the hour, put before its extension (rig.csv: rig-2026-12-07.csv,
// rig-2026-12-07-14.csv), or at its end when it has none. The stamp's own date and
// hour decide, so a clock moved to another time zone or to summer time moves the
// lines with it. Split::None: the log's name itself.
QString splitFilePath(const QString &path, Split split, const QDateTime &local);

// A file of the log's folder whose name is exactly the log's name with a date (and
// hour) put in by splitFilePath: name-YYYY-MM-DD.ext or name-YYYY-MM-DD-HH.ext.
struct SplitFile
{
    QString path;
    QDate date;
    int hour = -1; // -1 for a daily file
};

// This log's split files, daily and hourly alike, oldest first. Nothing else: not a
// compressed copy (rig-2026-12-07.csv.gz), not another log's (rig2-2026-12-07.csv).
std::vector<SplitFile> splitFiles(const QString &path);

// Removes this log's split files dated more than keepDays days before `today` (by the
// date in their names, so a copied or touched file goes by what it holds), never
// `current`. keepDays 0 keeps every file. Returns why files could not be removed.
QStringList removeExpired(const QString &path, int keepDays, QDate today, const QString &current);

} // namespace tarv::logging
