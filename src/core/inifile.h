#pragma once

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarv::core {

class IniGroup;

// tarvane.ini in the working directory: the settings of what the written settings
// files do not cover (publishing, and what later outputs add). Read once per start
// or reload and handed to every output, so no output reads the file on its own.
// The key names are an interface: scripts and package installs write them.
class IniFile
{
public:
    IniFile() = default; // no file: every output runs on its defaults
    // Reads dir/tarvane.ini; a missing file is not a problem, an unreadable one is.
    static IniFile read(const QString &dir);
    static QString pathIn(const QString &dir);

    const QString &dir() const { return m_dir; }
    bool exists() const { return m_exists; }
    // Why the file could not be read; empty when it could, or is not there.
    const QString &readError() const { return m_readError; }

    QStringList groups() const { return m_values.keys(); }
    // A group's values; a group the file lacks reads as empty. `label` goes before
    // each problem's text ("[web] ").
    IniGroup group(const QString &name, const QString &label = {}) const;

private:
    QString m_dir;
    bool m_exists = false;
    QString m_readError;
    QMap<QString, QMap<QString, QString>> m_values;
};

// Ends a change to tarvane.ini made through QSettings, which keeps every group it
// was not told to change: false with the reason when the file cannot be written.
bool finishWriting(QSettings &ini, QString *error);

// The values of one group, with readers for hand-edited text: an absent or empty
// value gives the fallback silently; one that cannot be used gives the fallback and
// a problem that names the key and the value.
class IniGroup
{
public:
    IniGroup(QMap<QString, QString> values, QString dir, QString label)
        : m_values(std::move(values))
        , m_dir(std::move(dir))
        , m_label(std::move(label))
    { }

    bool isEmpty() const { return m_values.isEmpty(); }
    bool contains(const QString &key) const { return !text(key).isEmpty(); }
    // Trimmed.
    QString text(const QString &key, const QString &fallback = {}) const;
    // As written, blanks included (a user name may have them).
    QString raw(const QString &key) const { return m_values.value(key); }
    // true/yes/on/1 and false/no/off/0, in any case.
    bool flag(const QString &key, bool fallback, QStringList &problems) const;
    int integer(const QString &key, int fallback, int low, int high, QStringList &problems) const;
    // A finite number with "." as the decimal point; nothing when absent or bad.
    std::optional<double> real(const QString &key, QStringList &problems) const;
    // A file name, relative ones taken from the working directory; empty when absent.
    QString filePath(const QString &key) const;
    // Adds a problem in this group's form.
    void problem(QStringList &problems, const QString &text) const { problems << m_label + text; }

private:
    QMap<QString, QString> m_values;
    QString m_dir;
    QString m_label;
};

} // namespace tarv::core
