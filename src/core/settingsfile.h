#pragma once

#include "core/acquisitionstate.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tarv::core {

// The settings files are 8-bit text (Latin-1 here) with one value per line and
// CR LF line ends. Values: numbers in plain decimal with "." whatever the locale,
// flags as #TRUE# / #FALSE#, strings in double quotes without any escaping.
// A real settings file is a few hundred bytes; reads stop at this size so a huge
// bogus file cannot exhaust memory.
inline constexpr qint64 MaxSettingsFileSize = 1024 * 1024;

// Reads the values of a settings file one field at a time. A field ends at a comma
// or a line end (CR LF, a lone LF or a lone CR); blanks before it are skipped. A
// field that starts with a double quote runs to the closing quote (commas and line
// breaks inside belong to the text) and whatever follows the quote up to the next
// comma or line end is dropped. Each typed read either stores the value and
// returns true, or leaves the target untouched, returns false and says why in
// error(). Running out of fields is an error.
class SettingsReader
{
public:
    explicit SettingsReader(const QByteArray &latin1);

    // A number rounded halves-to-even that must fit -32768..32767; #TRUE# and
    // #FALSE# give -1 and 0.
    bool readInteger(Integer &value);
    // Any finite number; #TRUE# and #FALSE# give -1 and 0.
    bool readDouble(Double &value);
    // #TRUE# or #FALSE#, or any number: 0 gives false and every other number true,
    // stored as -1 since several readers of a flag compare with -1. Text that is no
    // number is refused.
    bool readFlag(Flag &value);
    // A quoted text without its quotes, or an unquoted field as it stands.
    bool readString(QString &value);

    QString error() const { return m_error; }

private:
    struct Field
    {
        QString text;
        bool quoted = false;
        int line = 0;
    };

    std::optional<Field> nextField();
    std::optional<double> number(const Field &field);
    bool fail(const Field &field, const QString &expected);

    QString m_data;
    qsizetype m_pos = 0;
    int m_line = 1;
    QString m_error;
};

// Builds the bytes of a settings file, one value per line, each line ended by
// CR LF. Characters outside Latin-1 are written as '?'.
class SettingsWriter
{
public:
    void writeInteger(Integer value);
    void writeDouble(Double value);
    void writeFlag(Flag value);
    void writeString(const QString &text);

    const QByteArray &data() const { return m_data; }

private:
    void writeLine(const QByteArray &text);

    QByteArray m_data;
};

// The shortest plain decimal text that reads back as the same double: "." decimal
// point, no grouping, never an exponent (10 -> "10", 12.7 -> "12.7", 100000 ->
// "100000", 0.0001 -> "0.0001"). Readers still take the exponent form that
// earlier builds wrote.
QByteArray doubleText(Double value);

} // namespace tarv::core
