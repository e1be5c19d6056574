#include "logging/logoptions.h"

#include "core/inifile.h"

namespace tarv::logging {

LogOptions readLogOptions(const core::IniGroup &group, QStringList &problems)
{
    LogOptions options;
    options.markBad = group.flag(QStringLiteral("mark_bad"), false, problems);
    options.alarmColumn = group.flag(QStringLiteral("alarm_column"), false, problems);
    const QString splitKey = QStringLiteral("split");
    const QString split = group.text(splitKey).toLower();
    if (split == u"daily")
        options.split = Split::Daily;
    else if (split == u"hourly")
        options.split = Split::Hourly;
    else if (!split.isEmpty() && split != u"none")
        group.problem(problems,
            QStringLiteral("split=%1 is not daily, hourly or none").arg(group.text(splitKey)));
    // A hundred years: anything longer is a typing mistake, not a wish.
    options.keepDays = group.integer(QStringLiteral("keep_days"), 0, 0, 36500, problems);
    return options;
}

} // namespace tarv::logging
