#pragma once

#include "core/acquisitionstate.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarv::core {

inline constexpr int JTableCount = 1101; // type J, 0..1100 deg C
inline constexpr int KTableCount = 1571; // type K, -200..1370 deg C

struct TableLoad
{
    bool ok = false;
    QString path; // the file that was read (empty when none was found)
    QString message; // for the operator when !ok: names the file and what is wrong
};

// Directories besides appPath that may hold the tables: the data directory of an
// installed program, so a program started from a desktop menu finds them.
QStringList installedDataDirs();

// Reads a table file: decimal millivolt values ("." decimal) separated by line
// breaks or commas; values beyond `needed` are ignored. Fails with a message that
// names the file, the values found and the values needed when the file is missing
// or short, holds something that is not a finite number, or does not increase (the
// temperature solvers rely on a strictly increasing table).
TableLoad loadThermocoupleTable(const QString &path, int needed, TcTable &table);

// The same on a table file's bytes; `path` only names the file in messages.
TableLoad parseThermocoupleTable(
    const QByteArray &bytes, const QString &path, int needed, TcTable &table);

// Looks for `fileName` in appPath, then in each of `dataDirs`, and loads the first
// one found.
TableLoad findAndLoadThermocoupleTable(const QString &fileName, const QString &appPath,
    const QStringList &dataDirs, int needed, TcTable &table);

} // namespace tarv::core
