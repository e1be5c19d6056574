#include "publish/publishsettings.h"

#include "core/inifile.h"
#include "publish/discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>

namespace tarv::publish {

namespace {

const QString Group = QStringLiteral("mqtt");

// A prefix is the start of topics the program publishes to: no wildcard, no NUL, and no
// empty level, which brokers take for a topic of its own ("a//b" is not "a/b"). A
// rig id and a discovery prefix go into topics too.
QString readPrefix(const core::IniGroup &group, QStringList &problems,
    const QString &key = QStringLiteral("topic_prefix"))
{
    QString prefix = group.text(key);
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    const bool bad = prefix.contains(u'+') || prefix.contains(u'#') || prefix.contains(QChar(0))
        || (!prefix.isEmpty() && prefix.split(u'/').contains(QString()));
    if (!bad)
        return prefix;
    problems.append(QStringLiteral("%1=%2 holds a +, a #, a NUL or an empty level")
                        .arg(key, prefix.replace(QChar(0), QStringLiteral("\\0"))));
    return {};
}

// "0,1,4": the channels published; absent, all of them.
std::array<bool, 8> readChannels(const core::IniGroup &group, QStringList &problems)
{
    std::array<bool, 8> on {true, true, true, true, true, true, true, true};
    const QString text = group.text(QStringLiteral("channels"));
    if (text.isEmpty())
        return on;
    on.fill(false);
    for (const QString &item : text.split(u',')) {
        bool ok = false;
        const int c = item.trimmed().toInt(&ok);
        if (!ok || c < 0 || c > 7) {
            problems.append(
                QStringLiteral("channels=%1 is not a list of channels 0 to 7").arg(text));
            on.fill(true);
            return on;
        }
        on[std::size_t(c)] = true;
    }
    return on;
}

} // namespace

QString PublishSettings::rig() const
{
    return rigId.isEmpty() ? QSysInfo::machineHostName() : rigId;
}

QString PublishSettings::prefix() const
{
    return topicPrefix.isEmpty() ? QStringLiteral("tarvane/") + rig() : topicPrefix;
}

QString PublishSettings::client() const
{
    return clientId.isEmpty() ? QStringLiteral("tarvane-") + rig() : clientId;
}

QString PublishSettings::brokerName() const
{
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

QString publishSettingsPath(const QString &dir)
{
    return core::IniFile::pathIn(dir);
}

PublishSettingsRead readPublishSettings(const QString &dir)
{
    const core::IniFile ini = core::IniFile::read(dir);
    PublishSettingsRead read = readPublishSettings(ini);
    if (!ini.readError().isEmpty())
        read.problems.prepend(ini.readError());
    return read;
}

PublishSettingsRead readPublishSettings(const core::IniFile &ini)
{
    PublishSettingsRead read;
    const core::IniGroup group = ini.group(Group);
    PublishSettings &s = read.settings;
    QStringList &problems = read.problems;
    s.enabled = group.flag(QStringLiteral("enabled"), false, problems);
    s.host = group.text(QStringLiteral("host"), s.host);
    s.rigId = readPrefix(group, problems, QStringLiteral("rig_id"));
    if (s.rigId.contains(u'/')) {
        problems.append(QStringLiteral("rig_id=%1 holds a /").arg(s.rigId));
        s.rigId.clear();
    }
    s.clientId = group.text(QStringLiteral("client_id"));
    s.topicPrefix = readPrefix(group, problems);
    s.discovery = group.flag(QStringLiteral("discovery"), false, problems);
    s.discoveryNamed = group.contains(QStringLiteral("discovery"));
    if (const QString prefix = readPrefix(group, problems, QStringLiteral("discovery_prefix"));
        !prefix.isEmpty())
        s.discoveryPrefix = prefix;
    s.channels = readChannels(group, problems);
    s.username = group.raw(QStringLiteral("username"));
    s.passwordFile = group.filePath(QStringLiteral("password_file"));
    s.caFile = group.filePath(QStringLiteral("ca_file"));
    s.certFile = group.filePath(QStringLiteral("cert_file"));
    s.keyFile = group.filePath(QStringLiteral("key_file"));
    s.port = group.integer(QStringLiteral("port"), s.tls() ? 8883 : 1883, 1, 65535, problems);
    s.qos = group.integer(QStringLiteral("qos"), 0, 0, 1, problems);
    s.keepalive = group.integer(QStringLiteral("keepalive"), 30, 5, 65535, problems);
    s.commands = group.flag(QStringLiteral("commands"), false, problems);
    if (s.certFile.isEmpty() != s.keyFile.isEmpty()) {
        problems.append(QStringLiteral("a client certificate needs both cert_file and key_file"));
        s.certFile.clear();
        s.keyFile.clear();
    }

    if (!s.passwordFile.isEmpty()) {
        QString error;
        if (const auto password = readPasswordFile(s.passwordFile, &error))
            read.password = *password;
        else
            problems.append(error);
        if (QFileInfo(s.passwordFile).permissions() & QFileDevice::ReadOther)
            read.warnings.append(
                QStringLiteral("password file %1 is readable by every user of this "
                               "machine; chmod 600 it")
                    .arg(s.passwordFile));
    }
    return read;
}

ConnectionParams connectionParams(const PublishSettings &s, const QString &password)
{
    ConnectionParams params;
    params.host = s.host;
    params.port = s.port;
    params.clientId = s.client();
    params.username = s.username;
    params.password = password;
    params.caFile = s.caFile;
    params.certFile = s.certFile;
    params.keyFile = s.keyFile;
    params.keepalive = s.keepalive;
    params.statusTopic = s.prefix() + QStringLiteral("/status");
    if (s.commands)
        params.subscribeTopics << s.prefix() + QStringLiteral("/do/set");
    // Its own discovery configs come back retained: those no longer wanted (a channel
    // switched off, discovery turned off) are cleared.
    if (s.discoveryNamed)
        params.subscribeTopics << discoveryFilter(s);
    return params;
}

std::optional<QString> readPasswordFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("password file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

bool writePublishSettings(const QString &dir, const PublishSettings &s, QString *error)
{
    QSettings ini(publishSettingsPath(dir), QSettings::IniFormat);
    ini.beginGroup(Group);
    const auto flag = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    ini.setValue(QStringLiteral("enabled"), flag(s.enabled));
    ini.setValue(QStringLiteral("host"), s.host);
    ini.setValue(QStringLiteral("port"), s.port);
    ini.setValue(QStringLiteral("client_id"), s.clientId);
    ini.setValue(QStringLiteral("topic_prefix"), s.topicPrefix);
    ini.setValue(QStringLiteral("username"), s.username);
    ini.setValue(QStringLiteral("password_file"), s.passwordFile);
    ini.setValue(QStringLiteral("ca_file"), s.caFile);
    ini.setValue(QStringLiteral("cert_file"), s.certFile);
    ini.setValue(QStringLiteral("key_file"), s.keyFile);
    ini.setValue(QStringLiteral("qos"), s.qos);
    ini.setValue(QStringLiteral("keepalive"), s.keepalive);
    ini.setValue(QStringLiteral("commands"), flag(s.commands));
    ini.endGroup();
    return core::finishWriting(ini, error);
}

} // namespace tarv::publish
