#include "support/broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>

#include <mosquitto.h>

namespace tarv::testsupport {

constexpr int WaitMs = 5000;

// Runs a shell script in dir; its output is only shown when it fails.
static bool run(const QString &dir, const QString &script)
{
    QProcess shell;
    shell.setWorkingDirectory(dir);
    shell.start("sh", {"-ec", script});
    const bool ok = shell.waitForFinished(30000) && shell.exitStatus() == QProcess::NormalExit
        && shell.exitCode() == 0;
    if (!ok)
        qWarning("%s failed: %s", qPrintable(script), shell.readAll().constData());
    return ok;
}

// Made once per process; elliptic-curve keys keep it quick.
QString TestBroker::certDir()
{
    static QTemporaryDir dir;
    static const bool made = run(dir.path(),
        "k='-x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650'\n"
        "openssl req $k -keyout ca.key -out ca.crt -subj /CN=tarv-test-ca\n"
        "openssl req $k -keyout wrong.key -out wrong.crt -subj /CN=tarv-unrelated-ca\n"
        "openssl req $k -CA ca.crt -CAkey ca.key -keyout server.key -out server.crt"
        " -subj /CN=localhost -addext subjectAltName=IP:127.0.0.1,DNS:localhost"
        " -addext basicConstraints=critical,CA:FALSE\n"
        "openssl req $k -CA ca.crt -CAkey ca.key -keyout other.key -out other.crt"
        " -subj /CN=elsewhere.invalid -addext subjectAltName=DNS:elsewhere.invalid"
        " -addext basicConstraints=critical,CA:FALSE\n");
    return made ? dir.path() : QString();
}

bool TestBroker::start(const BrokerOptions &options)
{
    QTcpServer probe;
    if (!m_dir.isValid() || !probe.listen(QHostAddress::LocalHost)
        || (options.auth && !run(m_dir.path(), "mosquitto_passwd -c -b passwd rig secret"))
        || (options.tls && certDir().isEmpty()))
        return false;
    m_port = probe.serverPort();
    probe.close();
    // Started as root, mosquitto would switch to its own user, who cannot read this folder.
    QString conf = QStringLiteral("listener %1 127.0.0.1\npersistence false\nuser root\n"
                                  "log_dest file %2/mosquitto.log\nallow_anonymous %3\n")
                       .arg(m_port)
                       .arg(m_dir.path(), options.auth ? "false" : "true");
    if (options.auth)
        conf += "password_file " + m_dir.path() + "/passwd\n";
    if (options.tls)
        conf += QString("cafile %1/ca.crt\ncertfile %1/%2.crt\nkeyfile %1/%2.key\n")
                    .arg(certDir(), options.otherHost ? "other" : "server");
    conf += options.extra;
    QFile file(m_dir.filePath("mosquitto.conf"));
    return file.open(QIODevice::WriteOnly) && file.write(conf.toUtf8()) > 0 && file.flush()
        && restart();
}

bool TestBroker::restart()
{
    kill();
    m_process.start("mosquitto", {"-c", m_dir.filePath("mosquitto.conf")});
    const QDeadlineTimer deadline(WaitMs);
    while (m_process.waitForStarted(WaitMs) && !deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            return true;
        // A short pause before the next try, which also notices a broker that gave up.
        if (m_process.waitForFinished(10))
            return false;
    }
    return false;
}

void TestBroker::kill()
{
    m_process.kill();
    m_process.waitForFinished();
}

Eavesdropper::Eavesdropper()
{
    QObject::connect(&server, &QTcpServer::newConnection, [this] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            QObject::connect(
                socket, &QTcpSocket::readyRead, [this, socket] { heard += socket->readAll(); });
    });
    // The kernel queues one connection more than the backlog; the filler takes that place.
    server.setListenBacklogSize(0);
    if (server.listen(QHostAddress::LocalHost))
        filler.connectToHost(QHostAddress::LocalHost, server.serverPort());
    server.pauseAccepting();
    if (!filler.waitForConnected(WaitMs))
        qFatal("no port with a full backlog");
}

int Eavesdropper::knocking() const
{
    // Lines of "sl local remote state ...": addresses as hex ip:port, 02 = SYN_SENT.
    return int(fileBytes("/proc/net/tcp")
                   .count(QString::asprintf(":%04X 02 ", server.serverPort()).toLatin1()));
}

BrokerClient::BrokerClient()
{
    static const int initialised = mosquitto_lib_init();
    Q_UNUSED(initialised);
    m_mosq = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
        static_cast<BrokerClient *>(self)->acknowledge(0, rc);
    });
    mosquitto_subscribe_callback_set(
        m_mosq, [](mosquitto *, void *self, int mid, int, const int *qos) {
            static_cast<BrokerClient *>(self)->acknowledge(mid, qos[0] >= 0x80);
        });
    mosquitto_publish_callback_set(m_mosq, [](mosquitto *, void *self, int mid) {
        static_cast<BrokerClient *>(self)->acknowledge(mid, 0);
    });
    mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
        auto *client = static_cast<BrokerClient *>(self);
        const QMutexLocker lock(&client->m_mutex);
        client->m_messages.append({QString::fromUtf8(m->topic),
            QByteArray(static_cast<const char *>(m->payload), m->payloadlen), m->retain, m->qos});
    });
}

BrokerClient::~BrokerClient()
{
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
}

bool BrokerClient::connect(int port)
{
    if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        return false;
    if (mosquitto_loop_start(m_mosq) == MOSQ_ERR_SUCCESS && awaitAck(0))
        return true;
    // A refused client would otherwise keep retrying in the background.
    mosquitto_disconnect(m_mosq);
    return false;
}

bool BrokerClient::subscribe(const QString &topicFilter)
{
    int mid = 0;
    return mosquitto_subscribe(m_mosq, &mid, topicFilter.toUtf8().constData(), 1)
        == MOSQ_ERR_SUCCESS
        && awaitAck(mid);
}

bool BrokerClient::publish(const QString &topic, const QByteArray &payload, bool retain, int qos)
{
    int mid = 0;
    return mosquitto_publish(m_mosq, &mid, topic.toUtf8().constData(), int(payload.size()),
               payload.constData(), qos, retain)
        == MOSQ_ERR_SUCCESS
        && awaitAck(mid);
}

std::optional<BrokerMessage> BrokerClient::last(const QString &topic) const
{
    const QMutexLocker lock(&m_mutex);
    for (auto it = m_messages.crbegin(); it != m_messages.crend(); ++it)
        if (it->topic == topic)
            return *it;
    return std::nullopt;
}

QList<QByteArray> BrokerClient::payloads(const QString &topic) const
{
    const QMutexLocker lock(&m_mutex);
    QList<QByteArray> all;
    for (const BrokerMessage &message : m_messages)
        if (message.topic == topic)
            all << message.payload;
    return all;
}

void BrokerClient::acknowledge(int mid, int result)
{
    const QMutexLocker lock(&m_mutex);
    m_results.insert(mid, result);
    m_acked.wakeAll();
}

bool BrokerClient::awaitAck(int mid)
{
    const QDeadlineTimer deadline(WaitMs);
    QMutexLocker lock(&m_mutex);
    while (!m_results.contains(mid) && m_acked.wait(&m_mutex, deadline)) { }
    return m_results.contains(mid) && m_results.take(mid) == 0;
}

} // namespace tarv::testsupport
