#pragma once

// For the benchmarks' --publish: a local broker and a tarvane.ini that publishes to it.
#include "publish/publishsettings.h"
#include "support/broker.h"

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

} // namespace tarv::bench
