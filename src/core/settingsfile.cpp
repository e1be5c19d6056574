#include "core/settingsfile.h"

#include "core/numberformat.h"
#include "core/numeric.h"

#include <QLocale>

#include <charconv>
#include <cmath>

namespace tarv::core {

namespace {

const QString TrueText = QStringLiteral("#TRUE#");
const QString FalseText = QStringLiteral("#FALSE#");

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool endsField(QChar c)
{
    return c == u',' || c == u'\r' || c == u'\n';
}

// What a failed read found, short enough for a message.
QString shown(const QString &text)
{
    return text.size() > 40 ? text.left(40) + QStringLiteral("...") : text;
}

} // namespace

SettingsReader::SettingsReader(const QByteArray &latin1)
    : m_data(QString::fromLatin1(latin1))
{ }

std::optional<SettingsReader::Field> SettingsReader::nextField()
{
    const qsizetype n = m_data.size();
    while (m_pos < n && isBlank(m_data[m_pos]))
        ++m_pos;
    if (m_pos >= n) {
        m_error = QStringLiteral("line %1: the file ends here, more values are needed").arg(m_line);
        return std::nullopt;
    }

    Field field;
    field.line = m_line;
    qsizetype end = m_pos;
    if (m_data[m_pos] == u'"') {
        const qsizetype close = m_data.indexOf(u'"', m_pos + 1);
        if (close < 0) {
            m_error = QStringLiteral("line %1: the quoted text has no closing quote").arg(m_line);
            return std::nullopt;
        }
        field.text = m_data.mid(m_pos + 1, close - m_pos - 1);
        field.quoted = true;
        m_line += int(field.text.count(u'\n'));
        end = close + 1;
        while (end < n && !endsField(m_data[end]))
            ++end;
    } else {
        while (end < n && !endsField(m_data[end]))
            ++end;
        qsizetype last = end;
        while (last > m_pos && isBlank(m_data[last - 1]))
            --last;
        field.text = m_data.mid(m_pos, last - m_pos);
    }

    m_pos = end;
    if (m_pos < n && m_data[m_pos] == u',') {
        ++m_pos;
    } else if (m_pos < n && m_data[m_pos] == u'\r') {
        ++m_pos;
        if (m_pos < n && m_data[m_pos] == u'\n')
            ++m_pos;
        ++m_line;
    } else if (m_pos < n && m_data[m_pos] == u'\n') {
        ++m_pos;
        ++m_line;
    }
    return field;
}

std::optional<double> SettingsReader::number(const Field &field)
{
    if (!field.quoted) {
        if (field.text == TrueText)
            return -1.0;
        if (field.text == FalseText)
            return 0.0;
    }
    // The C locale keeps "." as the decimal point whatever the user's settings;
    // a comma never reaches here unquoted, and inside quotes it is not a number.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(field.text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool SettingsReader::fail(const Field &field, const QString &expected)
{
    m_error = QStringLiteral("line %1: expected %2, found \"%3\"")
                  .arg(field.line)
                  .arg(expected, shown(field.text));
    return false;
}

bool SettingsReader::readInteger(Integer &value)
{
    const auto field = nextField();
    if (!field)
        return false;
    const auto real = number(*field);
    const auto integer = real ? toInteger(*real) : std::nullopt;
    if (!integer)
        return fail(*field, QStringLiteral("a whole number from -32768 to 32767"));
    value = *integer;
    return true;
}

bool SettingsReader::readDouble(Double &value)
{
    const auto field = nextField();
    if (!field)
        return false;
    const auto real = number(*field);
    if (!real)
        return fail(*field, QStringLiteral("a number"));
    value = *real;
    return true;
}

bool SettingsReader::readFlag(Flag &value)
{
    const auto field = nextField();
    if (!field)
        return false;
    // A hand-edited 1 is a number of the right form, taken like the other unchecked
    // values rather than failing the file and losing every value after it.
    const auto real = number(*field);
    if (!real)
        return fail(*field, QStringLiteral("#TRUE#, #FALSE# or a number"));
    value = *real != 0.0 ? True : False;
    return true;
}

bool SettingsReader::readString(QString &value)
{
    const auto field = nextField();
    if (!field)
        return false;
    value = field->text;
    return true;
}

void SettingsWriter::writeLine(const QByteArray &text)
{
    m_data += text;
    m_data += "\r\n";
}

void SettingsWriter::writeInteger(Integer value)
{
    writeLine(QByteArray::number(value));
}

void SettingsWriter::writeDouble(Double value)
{
    writeLine(doubleText(value));
}

void SettingsWriter::writeFlag(Flag value)
{
    writeLine(value == False ? QByteArrayLiteral("#FALSE#") : QByteArrayLiteral("#TRUE#"));
}

void SettingsWriter::writeString(const QString &text)
{
    // No escaping: a double quote inside the text ends it early when read back.
    writeLine('"' + text.toLatin1() + '"');
}

QByteArray doubleText(Double value)
{
    return numberText(value);
}

} // namespace tarv::core
