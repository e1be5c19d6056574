#include "publish/publishsettings.h"

#include "core/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>

namespace tarv::publish {

namespace {

const QString Group = QStringLiteral("mqtt");

// A prefix is the start of topics the program publishes to: no wildcard, no NUL, and no
// empty level, which brokers take for a topic of its own ("a//b" is not "a/b").
QString readPrefix(const core::IniGroup &group, QStringList &problems)
{
    QString prefix = group.text(QStringLiteral("topic_prefix"));
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    const bool bad = prefix.contains(u'+') || prefix.contains(u'#') || prefix.contains(QChar(0))
        || (!prefix.isEmpty() && prefix.split(u'/').contains(QString()));
    if (!bad)
        return prefix;
    problems.append(QStringLiteral("topic_prefix=%1 holds a +, a #, a NUL or an empty level")
                        .arg(prefix.replace(QChar(0), QStringLiteral("\0"))));
    return {};
}

} // namespace

QString PublishSettings::prefix() const
{
    return topicPrefix.isEmpty() ? QStringLiteral("tarvane/") + QSysInfo::machineHostName()
                                 : topicPrefix;
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
    s.clientId = group.text(QStringLiteral("client_id"));
    s.topicPrefix = readPrefix(group, problems);
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
    params.clientId = s.clientId;
    params.username = s.username;
    params.password = password;
    params.caFile = s.caFile;
    params.certFile = s.certFile;
    params.keyFile = s.keyFile;
    params.keepalive = s.keepalive;
    params.statusTopic = s.prefix() + QStringLiteral("/status");
    if (s.commands)
        params.subscribeTopic = s.prefix() + QStringLiteral("/do/set");
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
    ini.sync();
    if (ini.status() == QSettings::NoError)
        return true;
    if (error)
        *error
            = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(ini.fileName()));
    return false;
}

} // namespace tarv::publish
