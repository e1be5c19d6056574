#include "core/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include <cmath>

namespace tarv::core {

QString IniFile::pathIn(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("tarvane.ini"));
}

IniFile IniFile::read(const QString &dir)
{
    IniFile ini;
    ini.m_dir = dir;
    const QString path = pathIn(dir);
    if (!QFileInfo::exists(path))
        return ini;
    ini.m_exists = true;
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError || !QFileInfo(path).isReadable()) {
        ini.m_readError = QStringLiteral("%1 cannot be read").arg(path);
        return ini;
    }
    for (const QString &group : file.childGroups()) {
        file.beginGroup(group);
        QMap<QString, QString> &values = ini.m_values[group];
        for (const QString &key : file.childKeys())
            values.insert(key, file.value(key).toString());
        file.endGroup();
    }
    return ini;
}

bool finishWriting(QSettings &ini, QString *error)
{
    ini.sync();
    if (ini.status() == QSettings::NoError)
        return true;
    if (error)
        *error
            = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(ini.fileName()));
    return false;
}

IniGroup IniFile::group(const QString &name, const QString &label) const
{
    return IniGroup(m_values.value(name), m_dir, label);
}

QString IniGroup::text(const QString &key, const QString &fallback) const
{
    const QString value = m_values.value(key).trimmed();
    return value.isEmpty() ? fallback : value;
}

bool IniGroup::flag(const QString &key, bool fallback, QStringList &problems) const
{
    // QVariant's own reading takes "no" for true; a hand-edited file deserves better.
    const QString value = text(key).toLower();
    if (value.isEmpty())
        return fallback;
    if (value == u"true" || value == u"1" || value == u"yes" || value == u"on")
        return true;
    if (value == u"false" || value == u"0" || value == u"no" || value == u"off")
        return false;
    problem(problems, QStringLiteral("%1=%2 is not true or false").arg(key, value));
    return fallback;
}

int IniGroup::integer(
    const QString &key, int fallback, int low, int high, QStringList &problems) const
{
    const QString value = text(key);
    if (value.isEmpty())
        return fallback;
    bool ok = false;
    const int n = value.toInt(&ok);
    if (ok && n >= low && n <= high)
        return n;
    problem(problems,
        QStringLiteral("%1=%2 is not a number from %3 to %4").arg(key, value).arg(low).arg(high));
    return fallback;
}

std::optional<double> IniGroup::real(const QString &key, QStringList &problems) const
{
    const QString value = text(key);
    if (value.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double n = QLocale::c().toDouble(value, &ok);
    if (ok && std::isfinite(n))
        return n;
    problem(problems, QStringLiteral("%1=%2 is not a number").arg(key, value));
    return std::nullopt;
}

QString IniGroup::filePath(const QString &key) const
{
    const QString path = text(key);
    return path.isEmpty() ? path : QDir(m_dir).absoluteFilePath(path);
}

} // namespace tarv::core
