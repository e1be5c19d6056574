#include "logging/logformat.h"

#include "core/numberformat.h"

#include <QLocale>
#include <QStringList>

namespace tarv::logging {

namespace {

// Format letters and quoted literals are skipped; the first other mark that is not a
// blank is the one the locale puts between the fields.
QString firstSeparatorIn(const QString &format, const QString &fallback)
{
    for (const QChar c : format) {
        if (c.isLetterOrNumber() || c.isSpace() || c == QLatin1Char('\''))
            continue;
        return QString(c);
    }
    return fallback;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

RegionalSeparators regionalSeparators()
{
    const QLocale locale;
    RegionalSeparators s;
    s.decimalPoint = core::regionalDecimalPoint();
    s.date = firstSeparatorIn(locale.dateFormat(QLocale::ShortFormat), s.date);
    s.time = firstSeparatorIn(locale.timeFormat(QLocale::ShortFormat), s.time);
    return s;
}

QString fieldSeparator(core::Integer separatorMode)
{
    switch (separatorMode) {
    case 2:
        return QStringLiteral("    ");
    case 3:
        return QStringLiteral(" ");
    default:
        return QStringLiteral(",");
    }
}

bool anyChannelEnabled(const core::AcquisitionState &state)
{
    for (int c = 0; c < core::ChannelCount; ++c)
        if (state.saveEnable[c] == core::True)
            return true;
    return false;
}

QString channelHeaderFields(const core::AcquisitionState &state)
{
    QStringList fields;
    for (int c = 0; c < core::ChannelCount; ++c)
        if (state.saveEnable[c] == core::True)
            fields.append(state.channelNames[c]);
    return fields.join(fieldSeparator(state.separatorMode));
}

QString buildHeader(const core::AcquisitionState &state, bool alarmColumn)
{
    QString prefix;
    switch (state.stampMode) {
    case 1:
        prefix = QStringLiteral("SN,");
        break;
    case 2:
        prefix = QStringLiteral("DATE,TIME,");
        break;
    case 3:
        prefix = QStringLiteral("TIME,");
        break;
    default:
        break;
    }
    const QString alarms
        = alarmColumn ? fieldSeparator(state.separatorMode) + QStringLiteral("Alarms") : QString();
    return prefix + channelHeaderFields(state) + alarms;
}

QString alarmField(const core::AcquisitionState &state)
{
    QStringList active;
    for (const core::AlarmStatus &alarm : state.alarms)
        if (alarm.active)
            active.append(alarm.name);
    QString field = active.join(QStringLiteral("; "));
    const QChar separator = fieldSeparator(state.separatorMode).front();
    if (!field.contains(separator) && !field.contains(u'"'))
        return field;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QString channelValueFields(const core::AcquisitionState &state, QChar decimalPoint, bool markBad)
{
    const QString separator = fieldSeparator(state.separatorMode);
    // Where the decimal separator is a comma, a comma-separated line would split
    // 28,35 into two columns; quoted, as CSV readers expect, it stays one number.
    const bool quoteCommas = separator == QStringLiteral(",");
    QStringList fields;
    for (int c = 0; c < core::ChannelCount; ++c) {
        if (state.saveEnable[c] != core::True)
            continue;
        if (markBad && state.channelQuality[c].level == core::Quality::Bad) {
            fields.append(QString());
            continue;
        }
        QString value = core::formatGeneral(state.channelValues[c], decimalPoint);
        if (quoteCommas && value.contains(u','))
            value = u'"' + value + u'"';
        fields.append(value);
    }
    return fields.join(separator);
}

QString dataLinePrefix(core::Integer stampMode, core::Long serialNo, const QDateTime &now,
    const RegionalSeparators &separators)
{
    const QDate d = now.date();
    const QTime t = now.time();
    const QString time = twoDigits(t.hour()) + separators.time + twoDigits(t.minute())
        + separators.time + twoDigits(t.second()) + QLatin1Char(',');
    switch (stampMode) {
    case 1:
        return QString::number(serialNo) + QLatin1Char(',');
    case 2:
        return twoDigits(d.day()) + separators.date + twoDigits(d.month()) + separators.date
            + twoDigits(d.year()) + QLatin1Char(',') + time;
    case 3:
        return time;
    default:
        return {};
    }
}

QByteArray encodeLine(const QString &line)
{
    return (line + QStringLiteral("\r\n")).toLatin1();
}

core::Long lastSerialNumber(const QByteArray &tail, bool wholeFile)
{
    // A line cut off at its end by a power cut still carries its number: the next
    // line comes after it.
    const QList<QByteArray> lines = tail.split('\n');
    for (qsizetype i = lines.size() - 1; i >= (wholeFile ? 0 : 1); --i) {
        const QByteArray &line = lines[i];
        const qsizetype comma = line.indexOf(',');
        bool ok = false;
        const core::Long serial = comma > 0 ? line.left(comma).toInt(&ok) : 0;
        if (ok && serial > 0)
            return serial;
    }
    return 0;
}

} // namespace tarv::logging
