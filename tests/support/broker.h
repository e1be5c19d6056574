#pragma once

#include "support/testfiles.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWaitCondition>

#include <optional>

struct mosquitto;

namespace tarv::testsupport {

struct BrokerOptions
{
    bool auth = false; // only user "rig" with password "secret" may connect
    bool tls = false; // the listener speaks TLS with a localhost certificate signed by caFile()
    bool otherHost = false; // with TLS: the certificate, signed by caFile(), names another host
    QString extra = {}; // more configuration, e.g. a bridge
};

// A private mosquitto on 127.0.0.1 and a free port, with its configuration, password
// file and log in its own temporary folder, so tests can lose and regain a real broker.
class TestBroker
{
public:
    ~TestBroker() { kill(); }
    // True once the port accepts connections (at most 5 s).
    bool start(const BrokerOptions &options = {});
    // The same port and configuration again, after kill().
    bool restart();
    // SIGKILL: clients see the connection drop without a goodbye.
    void kill();

    quint16 port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }
    QByteArray log() const { return fileBytes(m_dir.filePath("mosquitto.log")); }
    // Shared by every broker of the process: the CA that signed the server certificate,
    // and an unrelated CA that must not be trusted.
    static QString caFile() { return certDir() + "/ca.crt"; }
    static QString wrongCaFile() { return certDir() + "/wrong.crt"; }

private:
    static QString certDir();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// A TCP listener on 127.0.0.1 whose backlog is full: a client's connect neither succeeds
// nor fails until server.resumeAccepting(); from then on it keeps every byte it is sent.
struct Eavesdropper
{
    Eavesdropper();
    int knocking() const; // clients whose first knock at the shut door was not answered

    QTcpServer server;
    QTcpSocket filler;
    QByteArray heard;
};

struct BrokerMessage
{
    QString topic;
    QByteArray payload;
    bool retained = false;
    int qos = 0; // as delivered: the lower of the publisher's and the subscription's
};

// A test's own MQTT peer. libmosquitto runs it on a thread of its own, so messages
// arrive while the test thread runs the publisher's event loop. After the broker
// restarts, connect a new client: subscriptions are not renewed.
class BrokerClient
{
public:
    BrokerClient();
    ~BrokerClient();
    // Each call returns once the broker answered (at most 5 s) and says whether it agreed.
    bool connect(int port);
    bool subscribe(const QString &topicFilter);
    bool publish(const QString &topic, const QByteArray &payload, bool retain = false, int qos = 0);

    std::optional<BrokerMessage> last(const QString &topic) const;
    QList<QByteArray> payloads(const QString &topic) const;
    void clear()
    {
        const QMutexLocker lock(&m_mutex);
        m_messages.clear();
    }

private:
    void acknowledge(int mid, int result);
    bool awaitAck(int mid);

    mosquitto *m_mosq = nullptr;
    mutable QMutex m_mutex;
    QWaitCondition m_acked;
    QHash<int, int> m_results; // message id (0: the connection) -> 0 when accepted
    QList<BrokerMessage> m_messages;
};

} // namespace tarv::testsupport
