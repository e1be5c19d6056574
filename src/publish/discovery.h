#pragma once

#include "core/acquisitionstate.h"
#include "publish/publishsettings.h"

#include <QByteArray>
#include <QString>

#include <map>

namespace tarv::publish {

// Home Assistant's MQTT discovery: one retained config message per entity, at
// <discovery_prefix>/<component>/<node id>/<object id>/config, so a dashboard finds
// each rig and channel without hand configuration. The rig is one device, named by
// its rig id and identified by its client id.

// The rig id as discovery's node ids allow it: [a-zA-Z0-9_-], anything else "_".
QString discoveryNode(const PublishSettings &settings);
// Where this rig's configs live: <discovery_prefix>/+/<node id>/+/config.
QString discoveryFilter(const PublishSettings &settings);
// Whether a topic is one of those.
bool isOwnConfig(const PublishSettings &settings, const QString &topic);

// Topic to config of every entity the settings and the state describe: a sensor per
// published channel, a binary sensor per input line and per alarm rule, and, with
// commands on, a switch per output line.
std::map<QString, QByteArray> discoveryConfigs(
    const PublishSettings &settings, const core::AcquisitionState &state, const QString &version);

} // namespace tarv::publish
