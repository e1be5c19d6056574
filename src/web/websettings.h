#pragma once

#include <QHostAddress>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarv::core {
class IniFile;
}

namespace tarv::web {

// The web page, as tarvane.ini's [web] group says. The key names are an interface:
// scripts and package installs write them.
struct WebSettings
{
    bool enabled = false;
    // Loopback until the operator says otherwise; port 0 takes any free port.
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 8080;
    QString username; // HTTP Basic authentication with passwordFile's first line
    QString passwordFile;
    QString certFile; // HTTPS with both of these
    QString keyFile;

    // "127.0.0.1:8080", "[::1]:8080".
    QString listenText() const;
};

struct WebSettingsRead
{
    WebSettings settings;
    QByteArray credentials; // "username:password", empty without authentication
    std::optional<QSslConfiguration> tls;
    // Values that fell back to their defaults, and settings that keep the page off
    // (a page on the network without a password, a TLS file that cannot be used):
    // each "[web] "-prefixed.
    QStringList problems;
    // Used all the same: a password file every user of the machine may read.
    QStringList warnings;
};

// The [web] group: bad values fall back, and a page that would be open to the
// network without a password, or would send one in clear after TLS was asked
// for, is not enabled at all.
WebSettingsRead readWebSettings(const core::IniFile &ini);

} // namespace tarv::web
