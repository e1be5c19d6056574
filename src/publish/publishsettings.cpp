#include "publish/publishsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>

namespace tarv::publish {

namespace {

const QString Group = QStringLiteral("mqtt");

// QVariant's own reading takes "no" for true; a hand-edited file deserves better.
bool readFlag(const QSettings &ini, const QString &key, bool fallback, QStringList &problems)
{
    const QString text = ini.value(key).toString().trimmed().toLower();
    if (text.isEmpty())
        return fallback;
    if (text == u"true" || text == u"1" || text == u"yes" || text == u"on")
        return true;
    if (text == u"false" || text == u"0" || text == u"no" || text == u"off")
        return false;
    problems.append(QStringLiteral("%1=%2 is not true or false").arg(key, text));
    return fallback;
}

int readNumber(const QSettings &ini, const QString &key, int fallback, int low, int high,
    QStringList &problems)
{
    const QString text = ini.value(key).toString().trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (ok && n >= low && n <= high)
        return n;
    problems.append(
        QStringLiteral("%1=%2 is not a number from %3 to %4").arg(key, text).arg(low).arg(high));
    return fallback;
}

// A prefix is the start of topics the program publishes to: no wildcard, no NUL, and no
// empty level, which brokers take for a topic of its own ("a//b" is not "a/b").
QString readPrefix(const QSettings &ini, QStringList &problems)
{
    QString prefix = ini.value(QStringLiteral("topic_prefix")).toString().trimmed();
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    const bool bad = prefix.contains(u'+') || prefix.contains(u'#') || prefix.contains(QChar(0))
        || (!prefix.isEmpty() && prefix.split(u'/').contains(QString()));
    if (!bad)
        return prefix;
    problems.append(QStringLiteral("topic_prefix=%1 holds a +, a #, a NUL or an empty level")
                        .arg(prefix.replace(QChar(0), QStringLiteral("\\0"))));
    return {};
}

QString readPath(const QSettings &ini, const QString &key, const QString &dir)
{
    const QString path = ini.value(key).toString().trimmed();
    return path.isEmpty() ? path : QDir(dir).absoluteFilePath(path);
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
    return QDir(dir).filePath(QStringLiteral("tarvane.ini"));
}

PublishSettingsRead readPublishSettings(const QString &dir)
{
    PublishSettingsRead read;
    const QString path = publishSettingsPath(dir);
    if (!QFileInfo::exists(path))
        return read;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        read.problems.append(QStringLiteral("%1 cannot be read").arg(path));
        return read;
    }
    ini.beginGroup(Group);
    PublishSettings &s = read.settings;
    QStringList &problems = read.problems;
    s.enabled = readFlag(ini, QStringLiteral("enabled"), false, problems);
    s.host = ini.value(QStringLiteral("host"), s.host).toString().trimmed();
    if (s.host.isEmpty())
        s.host = QStringLiteral("localhost");
    s.clientId = ini.value(QStringLiteral("client_id")).toString().trimmed();
    s.topicPrefix = readPrefix(ini, problems);
    s.username = ini.value(QStringLiteral("username")).toString();
    s.passwordFile = readPath(ini, QStringLiteral("password_file"), dir);
    s.caFile = readPath(ini, QStringLiteral("ca_file"), dir);
    s.certFile = readPath(ini, QStringLiteral("cert_file"), dir);
    s.keyFile = readPath(ini, QStringLiteral("key_file"), dir);
    s.port = readNumber(ini, QStringLiteral("port"), s.tls() ? 8883 : 1883, 1, 65535, problems);
    s.qos = readNumber(ini, QStringLiteral("qos"), 0, 0, 1, problems);
    s.keepalive = readNumber(ini, QStringLiteral("keepalive"), 30, 5, 65535, problems);
    s.commands = readFlag(ini, QStringLiteral("commands"), false, problems);
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
            problems.append(QStringLiteral("password file %1 is readable by every user of this "
                                           "machine; chmod 600 it")
                                .arg(s.passwordFile));
    }
    return read;
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
