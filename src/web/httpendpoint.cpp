#include "web/httpendpoint.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QSslServer>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>

#include <array>
#include <chrono>

namespace tarv::web {

namespace {

using namespace std::chrono_literals;
constexpr auto RequestTime = 30s;
const QString DeadlineName = QStringLiteral("tarvRequestDeadline");

// Every reply: nothing cached, no guessing of types, no scripts or frames from elsewhere.
const std::array<std::pair<QByteArray, QByteArray>, 4> Common {{
    {"Cache-Control", "no-store"},
    {"X-Content-Type-Options", "nosniff"},
    {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"},
    {"Referrer-Policy", "no-referrer"},
}};

// A listening server that lets the endpoint bound each connection it hands over.
template<typename Base> class GuardedServer final : public Base
{
public:
    explicit GuardedServer(std::function<void(QTcpSocket *)> guard)
        : m_guard(std::move(guard))
    { }
    QTcpSocket *nextPendingConnection() override
    {
        QTcpSocket *socket = Base::nextPendingConnection();
        if (socket)
            m_guard(socket);
        return socket;
    }

private:
    std::function<void(QTcpSocket *)> m_guard;
};

class Server final : public QAbstractHttpServer
{
public:
    Server(const HttpEndpoint::Route &route, const HttpEndpoint::Accept &accept)
        : m_route(route)
    {
        connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this, accept] {
            while (hasPendingWebSocketConnections())
                accept(nextPendingWebSocketConnection());
        });
    }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    // Every request is answered by handleRequest; a refused WebSocket handshake
    // comes here after its answer was written, and the library closes it.
    void missingHandler(const QHttpServerRequest &, QTcpSocket *) override { }

private:
    void write(const QHttpServerRequest &request, QTcpSocket *socket, HttpReply &reply);

    const HttpEndpoint::Route &m_route;
};

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    default:
        return "OTHER";
    }
}

bool Server::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    HttpRequest r;
    r.method = methodName(request.method());
    r.path = request.url().path(QUrl::FullyDecoded);
    r.query = request.query();
    r.authorization = request.value("authorization");
    r.host = request.value("host");
    r.origin = request.value("origin");
    // As the library tells a handshake, so that both agree on what this request is.
    r.webSocket = request.value("connection").toLower().contains("upgrade")
        && request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
    HttpReply reply = m_route(r);
    auto *deadline = socket->findChild<QTimer *>(DeadlineName);
    if (r.webSocket && reply.status == 101) {
        if (deadline)
            deadline->stop(); // a WebSocket lives as long as its reader
        return true;
    }
    write(request, socket, reply);
    if (deadline)
        deadline->start();
    return !r.webSocket;
}

void Server::write(const QHttpServerRequest &request, QTcpSocket *socket, HttpReply &reply)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    const auto status = QHttpServerResponder::StatusCode(reply.status);
    if (reply.stream) {
        // The library reads it in pieces as the socket takes them, and closes it.
        responder.write(reply.stream.release(),
            {{"Content-Type", reply.contentType}, {"Content-Disposition", reply.attachment},
                Common[0], Common[1], Common[2], Common[3]},
            status);
        return;
    }
    responder.writeStatusLine(status);
    for (const auto &[name, value] : Common)
        responder.writeHeader(name, value);
    for (const auto &[name, value] : std::as_const(reply.headers))
        responder.writeHeader(name, value);
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeBody(reply.body);
}

// The library warns of every WebSocket handshake it was told to refuse: a stranger
// knocking would fill the journal. The filter before this one decides the rest.
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void quietRefusals(QLoggingCategory *category)
{
    if (g_previousFilter)
        g_previousFilter(category);
    if (qstrcmp(category->categoryName(), "qt.httpserver") == 0)
        category->setEnabled(QtWarningMsg, false);
}

} // namespace

HttpEndpoint::HttpEndpoint(Route route, Accept accept, QObject *parent)
    : QObject(parent)
    , m_route(std::move(route))
    , m_accept(std::move(accept))
{
    static const bool quiet = [] {
        g_previousFilter = QLoggingCategory::installFilter(quietRefusals);
        return true;
    }();
    Q_UNUSED(quiet);
}

HttpEndpoint::~HttpEndpoint()
{
    close();
}

bool HttpEndpoint::listen(const QHostAddress &address, quint16 port,
    const std::optional<QSslConfiguration> &tls, QString *error)
{
    close();
    const auto guard = [this](QTcpSocket *socket) { this->guard(socket); };
    std::unique_ptr<QTcpServer> listener;
    if (tls) {
        auto ssl = std::make_unique<GuardedServer<QSslServer>>(guard);
        ssl->setSslConfiguration(*tls);
        ssl->setHandshakeTimeout(int(std::chrono::milliseconds(RequestTime).count()));
        listener = std::move(ssl);
    } else {
        listener = std::make_unique<GuardedServer<QTcpServer>>(guard);
    }
    if (!listener->listen(address, port)) {
        *error = listener->errorString();
        return false;
    }
    m_port = listener->serverPort();
    m_server = std::make_unique<Server>(m_route, m_accept);
    m_server->bind(listener.release()); // the server takes it as a child
    return true;
}

void HttpEndpoint::close()
{
    // The listener and every connection it made are the server's children.
    m_server.reset();
    m_connections = 0;
    m_port = 0;
}

void HttpEndpoint::guard(QTcpSocket *socket)
{
    // A request larger than this is never read: it stays unanswered until its deadline.
    socket->setReadBufferSize(MaxRequestBytes);
    auto *deadline = new QTimer(socket);
    deadline->setObjectName(DeadlineName);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, &QAbstractSocket::abort);
    // A long download that moves on is not idle.
    connect(socket, &QIODevice::bytesWritten, deadline, qOverload<>(&QTimer::start));
    deadline->start(RequestTime);

    // Counted by the timer, which goes with the socket: the library takes every
    // signal of a socket that becomes a WebSocket.
    if (++m_connections >= MaxConnections)
        for (QTcpServer *listener : m_server->servers())
            listener->pauseAccepting();
    connect(deadline, &QObject::destroyed, this, [this, server = m_server.get()] {
        if (server == m_server.get() && m_connections-- == MaxConnections)
            for (QTcpServer *listener : m_server->servers())
                listener->resumeAccepting();
    });
}

} // namespace tarv::web
