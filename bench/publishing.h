#pragma once

// For the benchmarks' --publish: a local broker and a tarvane.ini that publishes to it.
#include "publish/publishsettings.h"
#include "support/broker.h"

#include <QSettings>
#include <QStringList>

#include <cstdio>

namespace tarv::bench {

inline bool startPublishingTo(testsupport::TestBroker &broker, const QString &dir)
{
    publish::PublishSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.topicPrefix = QStringLiteral("bench");
    if (!broker.start()) {
        std::fprintf(stderr, "publishing: mosquitto did not start\n");
        return false;
    }
    settings.port = broker.port();
    QString error;
    if (!publish::writePublishSettings(dir, settings, &error)) {
        std::fprintf(stderr, "publishing: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

// For the benchmarks' --rules N: N alarm rules in tarvane.ini, spread over the eight
// channels, with limits the simulated card's signals never reach, so the cost measured
// is the evaluation's alone.
inline void addAlarmRules(const QString &dir, int count)
{
    QSettings ini(dir + QStringLiteral("/tarvane.ini"), QSettings::IniFormat);
    for (int n = 1; n <= count; ++n) {
        ini.beginGroup(QStringLiteral("alarm.%1").arg(n));
        ini.setValue(QStringLiteral("channel"), (n - 1) % 8);
        ini.setValue(QStringLiteral("high"), 1e6);
        ini.setValue(QStringLiteral("low"), -1e6);
        ini.setValue(QStringLiteral("deadband"), 1);
        ini.endGroup();
    }
}

// The value after `--rules` on the command line, or 0.
inline int alarmRuleCount(const QStringList &args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--rules"));
    return at >= 0 ? args.value(at + 1).toInt() : 0;
}

} // namespace tarv::bench
