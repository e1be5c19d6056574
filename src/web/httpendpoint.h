#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QUrlQuery>

#include <functional>
#include <memory>
#include <optional>

class QAbstractHttpServer;
class QTcpSocket;
class QWebSocket;

namespace tarv::web {

// A request as the page's routes see it: nothing of the HTTP library's own types.
struct HttpRequest
{
    QByteArray method;
    QString path; // fully decoded
    QUrlQuery query;
    QByteArray authorization; // the header's value
    QByteArray host;
    QByteArray origin; // a browser's WebSocket handshake says where its page came from
    bool webSocket = false; // asks to become a WebSocket
};

struct HttpReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    // Instead of body, for a download: read as the client takes it (a log of many
    // megabytes), with its Content-Disposition.
    std::unique_ptr<QIODevice> stream;
    QByteArray attachment;
};

// The HTTP server under the page, and the one file that knows the HTTP library's
// API (it changed after Qt 6.4). Runs on the thread it was made on and never
// blocks it. Every connection is bounded: a request's head and body together at
// most MaxRequestBytes (a larger one is left unread and dropped at its deadline),
// 30 s for a request to arrive or a reply to move on, MaxConnections at once
// (more wait in the system's queue).
class HttpEndpoint : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxRequestBytes = 16 * 1024;
    static constexpr int MaxConnections = 200;

    // `route` answers every request; a WebSocket handshake it answers with 101 is
    // handed to `accept`, any other answer refuses it.
    using Route = std::function<HttpReply(const HttpRequest &)>;
    using Accept = std::function<void(std::unique_ptr<QWebSocket>)>;
    HttpEndpoint(Route route, Accept accept, QObject *parent = nullptr);
    ~HttpEndpoint() override;

    // Listens, over TLS when given; false with the reason.
    bool listen(const QHostAddress &address, quint16 port,
        const std::optional<QSslConfiguration> &tls, QString *error);
    // Stops listening and drops every connection it still holds.
    void close();
    bool isListening() const { return m_server != nullptr; }
    quint16 port() const { return m_port; }

private:
    void guard(QTcpSocket *socket);

    Route m_route;
    Accept m_accept;
    std::unique_ptr<QAbstractHttpServer> m_server;
    quint16 m_port = 0;
    int m_connections = 0;
};

} // namespace tarv::web
