#pragma once

#include "publish/mqttconnection.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tarv::core {
class IniFile;
}

namespace tarv::publish {

// Where live values go: an MQTT broker, as tarvane.ini's [mqtt] group says. The key
// names are an interface: scripts and package installs write them.
struct PublishSettings
{
    bool enabled = false;
    QString host = QStringLiteral("localhost");
    int port = 1883; // 8883 when TLS is on and the file names no port
    QString rigId; // empty: the host name; names the rig in topics, client id and discovery
    QString clientId; // empty: "tarvane-<rig id>"
    QString topicPrefix; // empty: "tarvane/<rig id>"
    QString username;
    QString passwordFile; // its first line is the password
    QString caFile; // TLS when set
    QString certFile; // a client certificate needs both of these
    QString keyFile;
    int qos = 0; // 0 or 1
    int keepalive = 30; // seconds
    bool commands = false; // <prefix>/do/set switches outputs
    bool discovery = false; // Home Assistant MQTT discovery
    bool discoveryNamed
        = false; // the file says discovery=..., on or off: its configs are looked after
    QString discoveryPrefix = QStringLiteral("homeassistant");
    std::array<bool, 8> channels {true, true, true, true, true, true, true, true}; // published

    bool tls() const { return !caFile.isEmpty(); }
    // The rig's name in force: the file's, or the host name.
    QString rig() const;
    // The prefix in force: the file's, or "tarvane/<rig id>".
    QString prefix() const;
    // The client id in force: the file's, or "tarvane-<rig id>", so a replaced
    // machine given the same rig_id is the same client to the broker.
    QString client() const;
    // "host:port", for messages.
    QString brokerName() const;
};

struct PublishSettingsRead
{
    PublishSettings settings;
    QString password; // from passwordFile
    // What was wrong with the file (a bad value, an unreadable password file); each
    // fell back to its default. Empty when all was well or there is no file.
    QStringList problems;
    // What is used all the same but should not be so: a password file every user
    // of the machine may read.
    QStringList warnings;
};

QString publishSettingsPath(const QString &dir);

// The first line of a password file without its line end; nothing, with the
// reason, when it cannot be read.
std::optional<QString> readPasswordFile(const QString &path, QString *error);

// The [mqtt] group; no file means publishing off.
PublishSettingsRead readPublishSettings(const core::IniFile &ini);
// The same from dir/tarvane.ini.
PublishSettingsRead readPublishSettings(const QString &dir);

// What the connection needs of the settings (the owner adds its timing). The
// status topic and, with commands on, the command topic come from the prefix.
ConnectionParams connectionParams(const PublishSettings &settings, const QString &password);

// Writes the [mqtt] group of dir/tarvane.ini, keeping any other group; false with
// the reason when it cannot be written.
bool writePublishSettings(const QString &dir, const PublishSettings &settings, QString *error);

} // namespace tarv::publish
