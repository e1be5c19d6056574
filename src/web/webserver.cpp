#include "web/webserver.h"

#include "core/clock.h"
#include "core/inifile.h"
#include "publish/payloads.h"
#include "web/logfiles.h"
#include "web/pages.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSslKey>
#include <QUrl>
#include <QWebSocket>

#include <algorithm>

// Resources of a static library are registered by hand, outside any namespace.
static void registerPageResources()
{
    Q_INIT_RESOURCE(web);
}

namespace tarv::web {

namespace {

using acquisition::Severity;
using acquisition::Topic;

HttpReply reply(int status, const QByteArray &type, const QByteArray &body)
{
    HttpReply r;
    r.status = status;
    r.contentType = type;
    r.body = body;
    return r;
}

HttpReply text(int status, const QByteArray &body)
{
    return reply(status, "text/plain; charset=utf-8", body + '\n');
}

const QByteArray Json = "application/json";

// The page's own files, in the program's resources.
const std::pair<QString, QByteArray> Files[] = {
    {QStringLiteral("index.html"), "text/html; charset=utf-8"},
    {QStringLiteral("page.js"), "text/javascript; charset=utf-8"},
    {QStringLiteral("page.css"), "text/css; charset=utf-8"},
    {QStringLiteral("icon.svg"), "image/svg+xml"},
};

HttpReply resource(const QString &name, const QByteArray &type)
{
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return text(500, "the page's files are missing from the program");
    return reply(200, type, file.readAll());
}

// A browser says which page opened a WebSocket: only our own may, or any site the
// operator visits could read the values through the operator's own login.
bool sameOrigin(const HttpRequest &request)
{
    if (request.origin.isEmpty())
        return true; // not a browser
    const QUrl origin(QString::fromLatin1(request.origin));
    return origin.authority().compare(QString::fromLatin1(request.host), Qt::CaseInsensitive) == 0;
}

} // namespace

WebServer::WebServer(acquisition::OutputHost &host, QObject *parent)
    : QObject(parent)
    , m_host(host)
{
    registerPageResources();
    m_endpoint = new HttpEndpoint([this](const HttpRequest &r) { return route(r); },
        [this](std::unique_ptr<QWebSocket> s) { addClient(std::move(s)); }, this);
}

WebServer::~WebServer()
{
    stop();
}

void WebServer::start(const core::IniFile &ini, QStringList &problems)
{
    WebSettingsRead read = readWebSettings(ini);
    problems += read.problems;
    for (const QString &warning : std::as_const(read.warnings))
        m_host.report(
            {Topic::Settings, Severity::Warning, QStringLiteral("tarvane.ini: ") + warning});
    m_secrets.clear();
    for (const char *group : {"web", "mqtt"})
        for (const char *key : {"password_file", "ca_file", "cert_file", "key_file"})
            m_secrets << ini.group(QLatin1String(group)).filePath(QLatin1String(key));
    const WebSettings &s = read.settings;
    // The same server asked for again (the reload after a log rotation): the open pages
    // stay, and a port taken as "any free one" stays the same.
    const QByteArray serving
        = QCryptographicHash::hash(s.listenText().toUtf8() + '\n' + read.credentials + '\n'
                + (read.tls ? read.tls->localCertificate().toPem() + read.tls->privateKey().toPem()
                            : QByteArray()),
            QCryptographicHash::Sha256);
    if (s.enabled && isListening() && serving == m_serving)
        return;
    stop();
    if (!s.enabled)
        return;
    m_credentials = read.credentials.isEmpty()
        ? QByteArray()
        : QCryptographicHash::hash(read.credentials, QCryptographicHash::Sha256);
    QString error;
    if (!m_endpoint->listen(s.address, s.port, read.tls, &error)) {
        m_host.report({Topic::Web, Severity::Error,
            QStringLiteral("web page: cannot listen on %1: %2").arg(s.listenText(), error)});
        return;
    }
    m_serving = serving;
    WebSettings shown = s;
    shown.port = m_endpoint->port();
    m_host.report({Topic::Web, Severity::Information,
        QStringLiteral("web page on %1://%2/%3")
            .arg(read.tls ? "https" : "http", shown.listenText(),
                m_credentials.isEmpty() ? "" : " (with authentication)")});
}

void WebServer::stop()
{
    // The pages' connections first: the endpoint owns the sockets under them.
    for (Client &c : m_clients)
        if (c.socket)
            c.socket->abort();
    m_clients.clear();
    m_endpoint->close();
}

void WebServer::analogFrame()
{
    m_frameTime = m_host.clock().msecsSinceEpoch();
}

void WebServer::tick()
{
    std::erase_if(m_clients, [](const Client &c) { return !c.socket; });
    if (m_clients.empty())
        return;
    const QString message
        = QString::fromUtf8(liveMessage(m_host.state(), m_host.history(), m_frameTime));
    for (Client &c : m_clients)
        if (c.socket)
            send(c, message);
}

void WebServer::send(Client &client, const QString &message)
{
    if (client.socket->bytesToWrite() > MaxPendingBytes) {
        ++m_dropped;
        if (++client.skipped >= MaxSkipped)
            client.socket->abort();
        return;
    }
    client.skipped = 0;
    client.socket->sendTextMessage(message);
}

void WebServer::addClient(std::unique_ptr<QWebSocket> socket)
{
    // The page sends nothing; whatever comes is small or a reason to close.
    socket->setMaxAllowedIncomingFrameSize(1024);
    socket->setMaxAllowedIncomingMessageSize(1024);
    QWebSocket *raw = socket.get();
    connect(raw, &QWebSocket::disconnected, this, [this, raw] {
        for (Client &c : m_clients)
            if (c.socket.get() == raw)
                c.socket.release()->deleteLater(); // still in its own signal
    });
    m_clients.push_back({std::move(socket)});
    // The page fills at once rather than at the next tick.
    send(m_clients.back(),
        QString::fromUtf8(liveMessage(m_host.state(), m_host.history(), m_frameTime)));
}

int WebServer::clients() const
{
    return int(std::count_if(
        m_clients.begin(), m_clients.end(), [](const Client &c) { return bool(c.socket); }));
}

qint64 WebServer::pendingBytes() const
{
    qint64 bytes = 0;
    for (const Client &c : m_clients)
        if (c.socket)
            bytes += c.socket->bytesToWrite();
    return bytes;
}

std::vector<acquisition::Metric> WebServer::metrics() const
{
    if (!isListening())
        return {};
    return {{"tarvane_web_clients", "Pages open with live updates", "gauge", {}, double(clients())},
        {"tarvane_web_updates_dropped_total", "Updates a page could not take in time", "counter",
            {}, double(m_dropped)}};
}

bool WebServer::authorized(const QByteArray &authorization) const
{
    if (m_credentials.isEmpty())
        return true;
    QByteArray given;
    if (authorization.size() > 6
        && authorization.left(6).compare("basic ", Qt::CaseInsensitive) == 0)
        if (const auto decoded = QByteArray::fromBase64Encoding(
                authorization.mid(6).trimmed(), QByteArray::AbortOnBase64DecodingErrors))
            given = *decoded;
    // Digests of equal length compared in full: the time taken tells neither the
    // password's length nor where a guess went wrong.
    const QByteArray digest = QCryptographicHash::hash(given, QCryptographicHash::Sha256);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < digest.size(); ++i)
        difference |= static_cast<unsigned char>(digest[i] ^ m_credentials[i]);
    return difference == 0;
}

HttpReply WebServer::route(const HttpRequest &request)
{
    if (!authorized(request.authorization)) {
        HttpReply r = text(401, "this page needs the user name and password set in tarvane.ini");
        r.headers.append(std::pair<QByteArray, QByteArray>(
            "WWW-Authenticate", "Basic realm=\"Tarvane 2020\", charset=\"UTF-8\""));
        return r;
    }
    const QString &path = request.path;
    if (request.webSocket) {
        if (path != u"/live")
            return text(404, "not found");
        return sameOrigin(request) ? reply(101, {}, {}) : text(403, "another site's page");
    }
    if (request.method != "GET") {
        HttpReply r = text(405, "this page is read-only");
        r.headers.append(std::pair<QByteArray, QByteArray>("Allow", "GET"));
        return r;
    }
    const core::AcquisitionState &state = m_host.state();
    for (const auto &[name, type] : Files)
        if (path == u'/' + name || (path == u"/" && name == u"index.html"))
            return resource(name, type);
    if (path == u"/metrics") {
        std::vector<acquisition::Metric> all = stateMetrics(state);
        for (acquisition::Metric &m : m_host.metrics())
            all.push_back(std::move(m));
        return reply(200, "text/plain; version=0.0.4; charset=utf-8", metricsText(all));
    }
    if (path == u"/api/values") {
        const qint64 when = m_frameTime ? m_frameTime : m_host.clock().msecsSinceEpoch();
        return reply(200, Json,
            publish::analogPayload(
                state, QDateTime::fromMSecsSinceEpoch(when, Qt::UTC), m_host.conversionFaults()));
    }
    if (path == u"/api/history") {
        const QString seconds = request.query.queryItemValue(QStringLiteral("seconds"));
        return reply(
            200, Json, historyJson(m_host.history(), seconds.isEmpty() ? 3600 : seconds.toInt()));
    }
    if (path == u"/api/logs")
        return reply(200, Json, logFilesJson(logFiles(state, m_secrets)));
    if (path.startsWith(u"/logs/"))
        return download(path.mid(6));
    return text(404, "not found");
}

HttpReply WebServer::download(const QString &name) const
{
    // Only a name the listing offers: no path, no "..", no link, no settings or secret.
    for (const LogFile &file : logFiles(m_host.state(), m_secrets)) {
        if (file.name != name)
            continue;
        HttpReply r;
        r.stream = openLog(file);
        if (!r.stream)
            break;
        r.contentType = "application/octet-stream";
        r.attachment = "attachment; filename*=UTF-8''" + QUrl::toPercentEncoding(name);
        return r;
    }
    return text(404, "not found");
}

} // namespace tarv::web
