#include "publish/mqttconnection.h"

#include <QMetaObject>
#include <QPointer>

#include <mosquitto.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace tarv::publish {

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The reason for a failed library call, in words.
QString reasonFor(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (rc == MOSQ_ERR_TLS)
        return QStringLiteral("TLS handshake failed (wrong CA, certificate or port?)");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

QString refusalFor(int connackCode)
{
    return QStringLiteral("the broker refused the connection: %1")
        .arg(QString::fromUtf8(mosquitto_connack_string(connackCode)));
}

} // namespace

// Shared by the owner and the thread; outlives the owner when a connect hangs.
struct ConnectionContext
{
    ConnectionParams params;
    mosquitto *mosq = nullptr;
    std::thread thread;
    std::mutex mutex; // guards owner and stopping
    std::condition_variable wake;
    QPointer<MqttConnection> owner;
    bool stopping = false;
    std::atomic<bool> connected {false};
    QString refusal; // the broker's CONNACK refusal, read by the thread after a loop
    std::promise<void> done;

    // Runs call(owner) on the owner's thread, unless the owner has let go.
    template<typename F> void toOwner(F call)
    {
        std::lock_guard lock(mutex);
        if (MqttConnection *o = owner.data(); o && !stopping)
            QMetaObject::invokeMethod(
                o, [o, call] { call(o); }, Qt::QueuedConnection);
    }

    bool waitOrStop(std::chrono::milliseconds delay)
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, delay, [this] { return stopping; });
    }

    bool isStopping()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    void run();
};

namespace {

void onConnect(mosquitto *mosq, void *obj, int rc)
{
    auto *context = static_cast<ConnectionContext *>(obj);
    if (rc != 0) {
        context->refusal = refusalFor(rc);
        return;
    }
    const ConnectionParams &p = context->params;
    // Before anything else goes out, so a dashboard sees it first.
    if (!p.statusTopic.isEmpty())
        mosquitto_publish(mosq, nullptr, p.statusTopic.toUtf8().constData(), 6, "online", 1, true);
    if (!p.subscribeTopic.isEmpty())
        mosquitto_subscribe(mosq, nullptr, p.subscribeTopic.toUtf8().constData(), 1);
    context->connected = true;
    context->toOwner([](MqttConnection *owner) { emit owner->connected(); });
}

void onPublish(mosquitto *, void *obj, int mid)
{
    auto *context = static_cast<ConnectionContext *>(obj);
    context->toOwner([mid](MqttConnection *owner) { emit owner->delivered(mid); });
}

void onMessage(mosquitto *, void *obj, const mosquitto_message *message)
{
    auto *context = static_cast<ConnectionContext *>(obj);
    const QString topic = QString::fromUtf8(message->topic);
    // Commands are a few dozen bytes; a huge message is not copied, and arrives
    // empty, which no reader takes for a command.
    const bool fits = message->payloadlen <= context->params.maxIncomingBytes;
    const QByteArray payload = fits
        ? QByteArray(static_cast<const char *>(message->payload), message->payloadlen)
        : QByteArray();
    const bool retained = message->retain;
    context->toOwner([topic, payload, retained](MqttConnection *owner) {
        emit owner->messageArrived(topic, payload, retained);
    });
}

mosquitto *makeClient(ConnectionContext *context)
{
    initLibrary();
    const ConnectionParams &p = context->params;
    const QByteArray id = p.clientId.toUtf8();
    mosquitto *mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, context);
    if (!mosq)
        return nullptr;
    mosquitto_threaded_set(mosq, true);
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!p.statusTopic.isEmpty())
        mosquitto_will_set(mosq, p.statusTopic.toUtf8().constData(), 7, "offline", 1, true);
    if (!p.username.isEmpty())
        mosquitto_username_pw_set(mosq, p.username.toUtf8().constData(),
            p.password.isEmpty() ? nullptr : p.password.toUtf8().constData());
    if (!p.caFile.isEmpty()) {
        const QByteArray ca = p.caFile.toLocal8Bit(), cert = p.certFile.toLocal8Bit(),
                         key = p.keyFile.toLocal8Bit();
        mosquitto_tls_set(mosq, ca.constData(), nullptr,
            cert.isEmpty() ? nullptr : cert.constData(), key.isEmpty() ? nullptr : key.constData(),
            nullptr);
    }
    mosquitto_connect_callback_set(mosq, onConnect);
    mosquitto_publish_callback_set(mosq, onPublish);
    mosquitto_message_callback_set(mosq, onMessage);
    return mosq;
}

struct Ending
{
    QString reason; // empty after a clean stop
    bool hadConnected = false;
};

// Connects and runs the network until the connection ends or the owner stops it.
Ending connectAndServe(ConnectionContext &context)
{
    const ConnectionParams &p = context.params;
    context.refusal.clear();
    int rc = mosquitto_connect(context.mosq, p.host.toUtf8().constData(), p.port, p.keepalive);
    if (rc != MOSQ_ERR_SUCCESS)
        return {reasonFor(rc), false};
    while (!context.isStopping() && rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_loop(context.mosq, 100, 1);
    const bool hadConnected = context.connected.exchange(false);
    if (context.isStopping()) {
        if (hadConnected) {
            // A clean stop: say so, and let the network write it before leaving.
            const QByteArray topic = p.statusTopic.toUtf8();
            mosquitto_publish(context.mosq, nullptr, topic.constData(), 7, "offline", 1, true);
            mosquitto_disconnect(context.mosq);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            while (mosquitto_loop(context.mosq, 50, 1) == MOSQ_ERR_SUCCESS
                && std::chrono::steady_clock::now() < deadline) { }
        }
        return {};
    }
    if (!context.refusal.isEmpty())
        return {context.refusal, false};
    if (hadConnected)
        return {QStringLiteral("the connection was lost (%1)").arg(reasonFor(rc)), true};
    return {reasonFor(rc), false};
}

} // namespace

void ConnectionContext::run()
{
    auto retry = params.firstRetry;
    while (!isStopping()) {
        const Ending ending = connectAndServe(*this);
        if (isStopping())
            break;
        toOwner(
            [reason = ending.reason](MqttConnection *owner) { emit owner->disconnected(reason); });
        // A connection that worked starts the back-off afresh.
        if (ending.hadConnected)
            retry = params.firstRetry;
        if (waitOrStop(retry))
            break;
        retry = std::min(retry * 2, params.longestRetry);
    }
    done.set_value();
}

MqttConnection::MqttConnection(QObject *parent)
    : QObject(parent)
{ }

MqttConnection::~MqttConnection()
{
    stop();
}

void MqttConnection::start(const ConnectionParams &params)
{
    stop();
    auto context = std::make_shared<ConnectionContext>();
    context->params = params;
    context->owner = this;
    context->mosq = makeClient(context.get());
    if (!context->mosq) {
        emit disconnected(QStringLiteral("the MQTT library could not start"));
        return;
    }
    m_context = context;
    // The thread keeps the context alive as long as it runs.
    context->thread = std::thread([context] { context->run(); });
}

void MqttConnection::stop()
{
    const std::shared_ptr<ConnectionContext> context = std::move(m_context);
    if (!context)
        return;
    {
        std::lock_guard lock(context->mutex);
        context->stopping = true;
        context->owner = nullptr;
    }
    context->wake.notify_all();
    if (context->done.get_future().wait_for(std::chrono::seconds(1)) == std::future_status::ready) {
        context->thread.join();
        mosquitto_destroy(context->mosq);
    } else {
        // Stuck in a blocking connect: it ends by itself, and the process may end first.
        context->thread.detach();
    }
}

bool MqttConnection::publish(
    const QString &topic, const QByteArray &payload, int qos, bool retain, int *mid)
{
    if (!m_context || !m_context->connected)
        return false;
    return mosquitto_publish(m_context->mosq, mid, topic.toUtf8().constData(), int(payload.size()),
               payload.constData(), qos, retain)
        == MOSQ_ERR_SUCCESS;
}

QString MqttConnection::probe(const ConnectionParams &params, std::chrono::milliseconds limit)
{
    ConnectionContext context;
    context.params = params;
    context.params.statusTopic.clear(); // a probe says nothing and leaves no will
    // Nor may it take the running connection's identity: the broker would drop that.
    context.params.clientId.clear();
    context.params.subscribeTopic.clear();
    context.mosq = makeClient(&context);
    if (!context.mosq)
        return QStringLiteral("the MQTT library could not start");
    QString reason;
    int rc = mosquitto_connect(
        context.mosq, params.host.toUtf8().constData(), params.port, params.keepalive);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (rc == MOSQ_ERR_SUCCESS && !context.connected && context.refusal.isEmpty()
        && std::chrono::steady_clock::now() < deadline)
        rc = mosquitto_loop(context.mosq, 100, 1);
    if (context.connected)
        mosquitto_disconnect(context.mosq);
    else if (!context.refusal.isEmpty())
        reason = context.refusal;
    else if (rc != MOSQ_ERR_SUCCESS)
        reason = reasonFor(rc);
    else
        reason
            = QStringLiteral("the broker did not answer within %1 s").arg(limit.count() / 1000.0);
    mosquitto_destroy(context.mosq);
    return reason;
}

} // namespace tarv::publish
