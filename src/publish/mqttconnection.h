#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace tarv::publish {

struct ConnectionParams
{
    QString host;
    int port = 1883;
    QString clientId;
    QString username;
    QString password;
    QString caFile, certFile, keyFile;
    int keepalive = 30;
    QString statusTopic; // "online" on connect; the will and a clean stop say "offline"
    QString subscribeTopic; // empty: nothing
    int maxIncomingBytes = 1024; // larger messages arrive empty
    std::chrono::milliseconds firstRetry {1000}; // doubled after each failure
    std::chrono::milliseconds longestRetry {60000};
};

struct ConnectionContext;

// One broker connection on a thread of its own, since libmosquitto resolves names,
// connects and does TLS handshakes blocking. It reconnects by itself with back-off;
// everything it has to say reaches the owner's thread by queued signals.
class MqttConnection : public QObject
{
    Q_OBJECT
public:
    explicit MqttConnection(QObject *parent = nullptr);
    ~MqttConnection() override; // stop()

    void start(const ConnectionParams &params);
    // Says "offline" when connected, disconnects and ends the thread. Waits at most
    // a second: a thread stuck in a connect is left to finish on its own.
    void stop();

    // Hands a message to libmosquitto. False when not connected or refused. Safe
    // from any thread; *mid identifies a QoS 1 message in delivered().
    bool publish(
        const QString &topic, const QByteArray &payload, int qos, bool retain, int *mid = nullptr);

    // One connect from start to the broker's answer, for a "Test connection" button:
    // empty when the broker accepted, else the reason. Blocks: call it on a worker.
    static QString probe(const ConnectionParams &params, std::chrono::milliseconds limit);

signals:
    void connected();
    void disconnected(const QString &reason);
    void delivered(int mid);
    void messageArrived(const QString &topic, const QByteArray &payload, bool retained);

private:
    std::shared_ptr<ConnectionContext> m_context;
};

} // namespace tarv::publish
