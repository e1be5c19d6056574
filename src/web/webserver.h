#pragma once

#include "acquisition/output.h"
#include "web/httpendpoint.h"
#include "web/websettings.h"

#include <QObject>

#include <memory>
#include <vector>

class QWebSocket;

namespace tarv::web {

// The web page: a read-only view of the session in any browser (live values, lines,
// card, alarms, the trend of the session's history, the logs to download), the
// Prometheus figures at /metrics and the analog JSON at /api/values. Served on the
// session's thread from the program's resources; each open page gets an update over
// a WebSocket once a second, on the session's tick. A page that stops reading gets
// no more than MaxPendingBytes ahead; after MaxSkipped updates it could not take
// it is dropped.
class WebServer final : public QObject, public acquisition::Output
{
    Q_OBJECT
public:
    static constexpr qint64 MaxPendingBytes = 64 * 1024;
    static constexpr int MaxSkipped = 30;

    explicit WebServer(acquisition::OutputHost &host, QObject *parent = nullptr);
    ~WebServer() override;

    // Output
    void start(const core::IniFile &ini, QStringList &problems) override;
    void analogFrame() override;
    void tick() override;
    void stop() override;
    std::vector<acquisition::Metric> metrics() const override;

    bool isListening() const { return m_endpoint->isListening(); }
    quint16 port() const { return m_endpoint->port(); } // the one taken when 0 was asked
    int clients() const;
    // What the open pages' connections hold unsent, all together.
    qint64 pendingBytes() const;

private:
    struct Client
    {
        std::unique_ptr<QWebSocket> socket;
        int skipped = 0; // updates in a row it had no room for
    };

    HttpReply route(const HttpRequest &request);
    bool authorized(const QByteArray &authorization) const;
    HttpReply download(const QString &name) const;
    void addClient(std::unique_ptr<QWebSocket> socket);
    void send(Client &client, const QString &message);

    acquisition::OutputHost &m_host;
    HttpEndpoint *m_endpoint = nullptr;
    QByteArray m_credentials; // SHA-256 of "username:password"; empty: no authentication
    QByteArray m_serving; // SHA-256 of what the server was started with
    QStringList m_secrets; // files never offered, whatever their names
    std::vector<Client> m_clients;
    qint64 m_frameTime = 0;
    quint64 m_dropped = 0;
};

} // namespace tarv::web
