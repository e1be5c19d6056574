#include "web/websettings.h"

#include "core/inifile.h"
#include "publish/publishsettings.h"

#include <QFile>
#include <QFileInfo>
#include <QSslKey>

namespace tarv::web {

namespace {

const QString Label = QStringLiteral("[web] ");

// "ADDRESS:PORT" with an IPv4 or bracketed IPv6 address, "localhost" or "*" (every
// address). No host names: binding to one would wait for a name lookup.
bool parseListen(const QString &text, WebSettings &s)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return false;
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(u':'))
        return false; // an IPv6 address needs its brackets before the port
    QHostAddress address;
    if (host == u"localhost")
        address = QHostAddress(QHostAddress::LocalHost);
    else if (host == u"*")
        address = QHostAddress(QHostAddress::Any);
    else if (!address.setAddress(host))
        return false;
    s.address = address;
    s.port = quint16(port);
    return true;
}

std::optional<QSslConfiguration> loadTls(const WebSettings &s, QString *error)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(s.certFile);
    QFile keyFile(s.keyFile);
    if (chain.isEmpty()) {
        *error = QStringLiteral("cert_file %1 holds no PEM certificate or cannot be read")
                     .arg(s.certFile);
        return std::nullopt;
    }
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("key_file %1 cannot be read: %2")
                     .arg(s.keyFile, keyFile.errorString());
        return std::nullopt;
    }
    const QByteArray pem = keyFile.readAll();
    QSslKey key(pem, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec);
    if (key.isNull()) {
        *error = QStringLiteral("key_file %1 holds no unencrypted RSA or EC key").arg(s.keyFile);
        return std::nullopt;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // browsers bring no certificate
    return tls;
}

// Why the page cannot be served as asked, or nothing.
QString refusal(const WebSettings &s, WebSettingsRead &read)
{
    if (s.username.isEmpty() != s.passwordFile.isEmpty())
        return QStringLiteral("authentication needs both username and password_file");
    if (s.username.contains(u':'))
        return QStringLiteral("username may not hold a ':' (Basic authentication ends it there)");
    if (s.certFile.isEmpty() != s.keyFile.isEmpty())
        return QStringLiteral("HTTPS needs both cert_file and key_file");
    if (s.username.isEmpty() && !s.address.isLoopback())
        return QStringLiteral("listen=%1 reaches beyond this machine: set username and "
                              "password_file, or listen on 127.0.0.1")
            .arg(s.listenText());
    QString error;
    if (!s.passwordFile.isEmpty()) {
        const auto password = publish::readPasswordFile(s.passwordFile, &error);
        if (!password)
            return error;
        if (password->isEmpty())
            return QStringLiteral("password file %1 is empty").arg(s.passwordFile);
        read.credentials = (s.username + u':' + *password).toUtf8();
        if (QFileInfo(s.passwordFile).permissions() & QFileDevice::ReadOther)
            read.warnings << Label
                    + QStringLiteral("password file %1 is readable by every user of this "
                                     "machine; chmod 600 it")
                          .arg(s.passwordFile);
    }
    if (!s.certFile.isEmpty() && !(read.tls = loadTls(s, &error)))
        return error;
    return {};
}

} // namespace

QString WebSettings::listenText() const
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? u'[' + address.toString() + u']'
        : address.toString();
    return host + u':' + QString::number(port);
}

WebSettingsRead readWebSettings(const core::IniFile &ini)
{
    WebSettingsRead read;
    const core::IniGroup group = ini.group(QStringLiteral("web"), Label);
    WebSettings &s = read.settings;
    s.enabled = group.flag(QStringLiteral("enabled"), false, read.problems);
    if (const QString listen = group.text(QStringLiteral("listen"));
        !listen.isEmpty() && !parseListen(listen, s))
        group.problem(read.problems,
            QStringLiteral("listen=%1 is not ADDRESS:PORT (127.0.0.1:8080, [::1]:8080, *:8080)")
                .arg(listen));
    s.username = group.raw(QStringLiteral("username"));
    s.passwordFile = group.filePath(QStringLiteral("password_file"));
    s.certFile = group.filePath(QStringLiteral("cert_file"));
    s.keyFile = group.filePath(QStringLiteral("key_file"));
    if (!s.enabled)
        return read;
    if (const QString why = refusal(s, read); !why.isEmpty()) {
        group.problem(read.problems, why + QStringLiteral(": the web page stays off"));
        s.enabled = false;
        read.credentials.clear();
        read.tls.reset();
    }
    return read;
}

} // namespace tarv::web
