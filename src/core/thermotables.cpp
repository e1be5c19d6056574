#include "core/thermotables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <vector>

namespace tarv::core {

// Messages are built with the multi-argument arg(): chained arg() calls would treat a
// "%1" inside a directory name (the working directory is the user's choice) as a
// placeholder and garble the counts.

namespace {

// Table values carry more digits than arg(double)'s default six, and a reversal of
// one microvolt must not be reported as two equal numbers.
QString shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QStringList installedDataDirs()
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << QDir::cleanPath(
            QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tarvane2020"));
#ifdef TARV_DATA_DIR
    const QString configured = QStringLiteral(TARV_DATA_DIR);
    if (!dirs.contains(configured))
        dirs << configured;
#endif
    return dirs;
}

TableLoad loadThermocoupleTable(const QString &path, int needed, TcTable &table)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        TableLoad result;
        result.path = path;
        result.message = QStringLiteral("Cannot read the thermocouple table %1: %2.")
                             .arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    // A table is a few tens of kilobytes; anything far larger is not a table.
    return parseThermocoupleTable(file.read(4 * 1024 * 1024), path, needed, table);
}

TableLoad parseThermocoupleTable(
    const QByteArray &bytes, const QString &path, int needed, TcTable &table)
{
    TableLoad result;
    result.path = path;
    const QString name = QFileInfo(path).fileName();
    Q_ASSERT(needed > 0 && needed <= int(table.size()));

    std::vector<double> values;
    values.reserve(needed);
    const QLocale c = QLocale::c();
    qsizetype start = 0;
    int line = 1;
    int fieldLine = 1;
    for (qsizetype i = 0; i <= bytes.size() && int(values.size()) < needed; ++i) {
        const char ch = i < bytes.size() ? bytes[i] : '\n';
        if (ch != '\n' && ch != '\r' && ch != ',')
            continue;
        const QByteArray field = bytes.mid(start, i - start).trimmed();
        if (!field.isEmpty()) {
            bool ok = false;
            const double v = c.toDouble(QString::fromLatin1(field), &ok);
            // The C locale also reads "inf" and "nan", which no EMF is; an infinite
            // first or last entry would otherwise pass the increasing check.
            if (!ok || !std::isfinite(v)) {
                result.message = QStringLiteral("The thermocouple table %1 is damaged: line %2 "
                                                "holds \"%3\", which is not a number.")
                                     .arg(name, QString::number(fieldLine),
                                         QString::fromLatin1(field.left(40)));
                return result;
            }
            values.push_back(v);
        }
        if (ch == '\n')
            ++line;
        start = i + 1;
        fieldLine = line;
    }

    if (int(values.size()) < needed) {
        result.message = QStringLiteral("The thermocouple table %1 is too short: it holds %2 "
                                        "values, %3 are needed.")
                             .arg(QDir::toNativeSeparators(path), QString::number(values.size()),
                                 QString::number(needed));
        return result;
    }
    for (int k = 1; k < needed; ++k) {
        if (!(values[k] > values[k - 1])) {
            result.message = QStringLiteral("The thermocouple table %1 is damaged: value %2 (%3) "
                                            "is not greater than value %4 (%5); the values must "
                                            "increase with temperature.")
                                 .arg(name, QString::number(k + 1), shortest(values[k]),
                                     QString::number(k), shortest(values[k - 1]));
            return result;
        }
    }

    table.fill(0.0);
    for (int k = 0; k < needed; ++k)
        table[k] = values[k];
    result.ok = true;
    return result;
}

TableLoad findAndLoadThermocoupleTable(const QString &fileName, const QString &appPath,
    const QStringList &dataDirs, int needed, TcTable &table)
{
    QStringList tried;
    for (const QString &dir : QStringList {appPath} + dataDirs) {
        if (dir.isEmpty())
            continue;
        const QString path = QDir(dir).filePath(fileName);
        if (QFileInfo::exists(path))
            return loadThermocoupleTable(path, needed, table);
        tried << QDir::toNativeSeparators(dir);
    }
    TableLoad result;
    result.message = QStringLiteral("The thermocouple table %1 was not found. Looked in: %2. "
                                    "%3 values are needed.")
                         .arg(fileName, tried.join(QStringLiteral(", ")), QString::number(needed));
    return result;
}

} // namespace tarv::core
