#include "logging/logsplit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace tarv::logging {

namespace {

// The log's file name cut where the date goes: before the last dot, unless that dot
// starts the name (".log" is a name, not an extension).
struct NameParts
{
    QString stem;
    QString extension; // with its dot; empty for a name without one
};

NameParts nameParts(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= 0)
        return {fileName, {}};
    return {fileName.left(dot), fileName.mid(dot)};
}

// The digits of text[from, from + count) as a number; -1 unless all are digits.
int digitsAt(const QString &text, qsizetype from, qsizetype count)
{
    int n = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return -1;
        n = n * 10 + (text[i].unicode() - u'0');
    }
    return n;
}

// "2026-12-07" or "2026-12-07-14", nothing more or less. No regular expression: the
// service runs where memory may not be both writable and executable.
bool parseStamp(const QString &text, SplitFile &file)
{
    if (text.size() != 10 && text.size() != 13)
        return false;
    for (const qsizetype dash : {4, 7, 10})
        if (dash < text.size() && text[dash] != u'-')
            return false;
    file.date = QDate(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
    file.hour = text.size() == 13 ? digitsAt(text, 11, 2) : -1;
    return file.date.isValid() && file.hour < 24 && (text.size() == 10 || file.hour >= 0);
}

} // namespace

QString splitFilePath(const QString &path, Split split, const QDateTime &local)
{
    if (split == Split::None)
        return path;
    const QFileInfo info(path);
    // A name that ends in a folder's separator is refused when it is opened, as it
    // is without a split; a dated file inside that folder would be a surprise.
    if (info.fileName().isEmpty())
        return path;
    const NameParts parts = nameParts(info.fileName());
    QString stamp = local.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (split == Split::Hourly)
        stamp += QStringLiteral("-%1").arg(local.time().hour(), 2, 10, QLatin1Char('0'));
    const QString name = parts.stem + u'-' + stamp + parts.extension;
    // The folder exactly as given, so a relative log stays relative.
    return path.left(path.size() - info.fileName().size()) + name;
}

std::vector<SplitFile> splitFiles(const QString &path)
{
    const QFileInfo info(path);
    const NameParts parts = nameParts(info.fileName());
    const QString prefix = parts.stem + u'-';
    const QString folder = path.left(path.size() - info.fileName().size());
    std::vector<SplitFile> files;
    const QStringList names
        = info.absoluteDir().entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString &name : names) {
        if (name.size() <= prefix.size() + parts.extension.size() || !name.startsWith(prefix)
            || !name.endsWith(parts.extension))
            continue;
        SplitFile file;
        if (parseStamp(
                name.sliced(prefix.size(), name.size() - prefix.size() - parts.extension.size()),
                file)) {
            file.path = folder + name;
            files.push_back(file);
        }
    }
    std::sort(files.begin(), files.end(), [](const SplitFile &a, const SplitFile &b) {
        return std::pair(a.date, a.hour) < std::pair(b.date, b.hour);
    });
    return files;
}

QStringList removeExpired(const QString &path, int keepDays, QDate today, const QString &current)
{
    QStringList failures;
    if (keepDays <= 0)
        return failures;
    const QDate oldestKept = today.addDays(-keepDays);
    for (const SplitFile &file : splitFiles(path)) {
        if (file.date >= oldestKept || file.path == current)
            continue;
        QFile old(file.path);
        if (!old.remove())
            failures << QStringLiteral("The old log file \"%1\" cannot be removed: %2.")
                            .arg(QDir::toNativeSeparators(file.path), old.errorString());
    }
    return failures;
}

} // namespace tarv::logging
