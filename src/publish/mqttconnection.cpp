#include "publish/mqttconnection.h"

#include <QFile>
#include <QMetaObject>
#include <QPointer>

#include <mosquitto.h>

#include <netdb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace tarv::publish {

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// One loop's wait for the network: how soon a thread notices it was told to stop.
constexpr int LoopMs = 100;

bool libraryReady()
{
    static const int rc = mosquitto_lib_init();
    return rc == MOSQ_ERR_SUCCESS;
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

QString refused(const QString &what, int rc)
{
    return QStringLiteral("the MQTT library refused %1: %2").arg(what, reasonFor(rc));
}

// libmosquitto says no more than "invalid" for a TLS file it cannot open.
QString unreadable(const char *key, const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || file.open(QIODevice::ReadOnly))
        return {};
    return QStringLiteral("%1 %2 cannot be read: %3")
        .arg(QLatin1String(key), path, file.errorString());
}

// Every setting, or the reason one was refused, when no connect may be made: a TLS
// setting dropped silently would send the password in clear. Safe to repeat.
QString setUp(mosquitto *mosq, const ConnectionParams &p)
{
    if (const int rc = mosquitto_threaded_set(mosq, true))
        return refused(QStringLiteral("use from two threads"), rc);
    if (const int rc = mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311))
        return refused(QStringLiteral("MQTT 3.1.1"), rc);
    const QByteArray status = p.statusTopic.toUtf8();
    if (!status.isEmpty())
        if (const int rc = mosquitto_will_set(mosq, status.constData(), 7, "offline", 1, true))
            return refused(QStringLiteral("the will on %1").arg(p.statusTopic), rc);
    if (!p.username.isEmpty()) {
        const QByteArray user = p.username.toUtf8(), password = p.password.toUtf8();
        if (const int rc = mosquitto_username_pw_set(
                mosq, user.constData(), password.isEmpty() ? nullptr : password.constData()))
            return refused(QStringLiteral("the user name or password"), rc);
    }
    if (p.caFile.isEmpty())
        return {};
    for (const auto &[key, path] : {std::pair {"ca_file", p.caFile},
             std::pair {"cert_file", p.certFile}, std::pair {"key_file", p.keyFile}})
        if (QString reason = unreadable(key, path); !reason.isEmpty())
            return reason;
    const QByteArray ca = p.caFile.toLocal8Bit(), cert = p.certFile.toLocal8Bit(),
                     key = p.keyFile.toLocal8Bit();
    if (const int rc = mosquitto_tls_set(mosq, ca.constData(), nullptr,
            cert.isEmpty() ? nullptr : cert.constData(), key.isEmpty() ? nullptr : key.constData(),
            nullptr))
        return refused(QStringLiteral("the TLS files"), rc);
    return {};
}

// A connect that does not wait takes the host's first address that starts connecting,
// so a name with an IPv6 address that refuses would never reach its IPv4 one. With both
// families, each is tried in the resolver's order, chosen by the local address bound
// ("::" or "0.0.0.0"); otherwise the library chooses (nullptr).
std::vector<const char *> families(const QByteArray &host)
{
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0)
        return {nullptr}; // the connect reports the lookup's failure
    std::vector<const char *> order;
    for (const addrinfo *a = found; a; a = a->ai_next) {
        const char *any = a->ai_family == AF_INET6 ? "::"
            : a->ai_family == AF_INET              ? "0.0.0.0"
                                                   : nullptr;
        if (any && std::find(order.begin(), order.end(), any) == order.end())
            order.push_back(any);
    }
    freeaddrinfo(found);
    return order.size() > 1 ? order : std::vector<const char *> {nullptr};
}

struct Ending
{
    QString reason; // empty after a clean stop
    bool lasted = false; // connected for at least stableAfter
};

} // namespace

// Shared by the owner and the thread. The owner makes the client; the thread destroys it
// as it ends, which it does only when told to stop.
struct ConnectionContext
{
    ConnectionParams params;
    std::optional<milliseconds> probeLimit; // set: one probe, then idle until stopped
    mosquitto *mosq = nullptr;
    std::thread thread;
    std::shared_future<void> predecessor;
    std::mutex mutex; // guards owner and stopping
    std::condition_variable wake;
    QPointer<MqttConnection> owner;
    bool stopping = false;
    std::atomic<bool> connected {false};
    // Written by the callbacks, which run in the thread's own loop.
    Clock::time_point connectedAt;
    QString refusal; // why the broker or the library ended this connection
    std::promise<void> done;
    std::shared_future<void> ended = done.get_future().share();

    // Runs call(owner) on the owner's thread, unless the owner has let go.
    template<typename F> void toOwner(F call)
    {
        std::lock_guard lock(mutex);
        if (MqttConnection *o = owner.data(); o && !stopping)
            QMetaObject::invokeMethod(
                o, [o, call] { call(o); }, Qt::QueuedConnection);
    }

    bool waitOrStop(milliseconds delay)
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, delay, [this] { return stopping; });
    }

    bool isStopping()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    QString makeClient();
    QString announce();
    void run();
    void serve();
    int connectAndRun(Clock::time_point deadline);
    Ending connectAndServe();
    QString probe();
    void drain(milliseconds limit);
};

namespace {

void onConnect(mosquitto *mosq, void *obj, int rc)
{
    auto *context = static_cast<ConnectionContext *>(obj);
    context->refusal = rc ? refusalFor(rc) : context->announce();
    // A connection without its commands or its "online" is none: the reason says why.
    if (!rc && !context->refusal.isEmpty() && mosquitto_disconnect(mosq) != MOSQ_ERR_SUCCESS)
        context->refusal += QStringLiteral(" (and the connection did not close cleanly)");
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

// Threads told to stop. Each ends by itself within a loop's wait (a host name lookup
// excepted); those still running are joined as the program ends, so none outlives it.
class StoppedThreads
{
public:
    static void add(std::shared_ptr<ConnectionContext> context)
    {
        // Made after the library was set up, so joined before the library's own clean-up
        // at exit.
        static StoppedThreads list;
        std::lock_guard lock(list.m_mutex);
        std::erase_if(list.m_contexts, [](const auto &c) {
            if (c->ended.wait_for(milliseconds(0)) != std::future_status::ready)
                return false;
            c->thread.join();
            return true;
        });
        list.m_contexts.push_back(std::move(context));
    }
    ~StoppedThreads()
    {
        for (const auto &context : m_contexts)
            context->thread.join();
    }

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<ConnectionContext>> m_contexts;
};

} // namespace

QString ConnectionContext::makeClient()
{
    if (!libraryReady())
        return QStringLiteral("the MQTT library could not start");
    const QByteArray id = params.clientId.toUtf8();
    mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!mosq)
        return QStringLiteral("the MQTT library could not start: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    mosquitto_connect_callback_set(mosq, onConnect);
    mosquitto_publish_callback_set(mosq, onPublish);
    mosquitto_message_callback_set(mosq, onMessage);
    return {};
}

// The commands, then "online" before anything else goes out, so a dashboard sees it
// first, and a failure leaves nothing said. Under the mutex, so a stop comes either
// before it (nothing is said) or after (and "offline" follows).
QString ConnectionContext::announce()
{
    {
        std::lock_guard lock(mutex);
        if (stopping)
            return {};
        const QByteArray status = params.statusTopic.toUtf8();
        for (const QString &topic : params.subscribeTopics)
            if (const int rc = mosquitto_subscribe(mosq, nullptr, topic.toUtf8().constData(), 1))
                return QStringLiteral("%1 could not be subscribed to: %2")
                    .arg(topic, reasonFor(rc));
        if (!status.isEmpty())
            if (const int rc
                = mosquitto_publish(mosq, nullptr, status.constData(), 6, "online", 1, true))
                return QStringLiteral("\"online\" could not be published on %1: %2")
                    .arg(params.statusTopic, reasonFor(rc));
    }
    connected = true;
    connectedAt = Clock::now();
    toOwner([](MqttConnection *owner) { emit owner->connected(); });
    return {};
}

// Lets the network write what is queued, for at most `limit`.
void ConnectionContext::drain(milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (mosquitto_loop(mosq, 50, 1) == MOSQ_ERR_SUCCESS && Clock::now() < deadline) { }
}

// Connects and runs the network until the connection ends, fails or is refused, the
// owner stops it, or (for a probe) it is made or the deadline passes. The connect does
// not wait for the network, so a stop is seen within a loop's wait even while the host
// does not answer.
int ConnectionContext::connectAndRun(Clock::time_point deadline)
{
    const QByteArray host = params.host.toUtf8();
    int rc = MOSQ_ERR_SUCCESS;
    for (const char *family : families(host)) {
        refusal.clear();
        rc = mosquitto_connect_bind_async(
            mosq, host.constData(), params.port, params.keepalive, family);
        while (rc == MOSQ_ERR_SUCCESS && refusal.isEmpty() && !isStopping()
            && !(probeLimit && connected) && Clock::now() < deadline)
            rc = mosquitto_loop(mosq, LoopMs, 1);
        // Only a host that never answered is tried at its other family.
        if (rc == MOSQ_ERR_SUCCESS || connected || !refusal.isEmpty() || isStopping())
            break;
    }
    return rc;
}

Ending ConnectionContext::connectAndServe()
{
    const int rc = connectAndRun(Clock::time_point::max());
    const QString why = reasonFor(rc);
    const bool hadConnected = connected.exchange(false);
    if (isStopping()) {
        // A clean stop: "offline", then goodbye. When either cannot be queued the socket
        // just closes, and the broker says "offline" by the will.
        const QByteArray topic = params.statusTopic.toUtf8();
        if (hadConnected
            && (topic.isEmpty()
                || mosquitto_publish(mosq, nullptr, topic.constData(), 7, "offline", 1, true)
                    == MOSQ_ERR_SUCCESS)
            && mosquitto_disconnect(mosq) == MOSQ_ERR_SUCCESS)
            drain(milliseconds(500));
        return {};
    }
    if (!refusal.isEmpty()) {
        drain(milliseconds(LoopMs)); // the goodbye, or the broker's closing
        return {refusal};
    }
    if (!hadConnected)
        return {why};
    QString reason = QStringLiteral("the connection was lost (%1)").arg(why);
    const bool lasted = Clock::now() - connectedAt >= params.stableAfter;
    if (!lasted && !params.clientId.isEmpty())
        reason += QStringLiteral("; so soon after connecting, another client may be using "
                                 "client id %1")
                      .arg(params.clientId);
    return {reason, lasted};
}

void ConnectionContext::serve()
{
    auto retry = params.firstRetry;
    while (true) {
        // Set up again each time, so a TLS file made readable is taken without a reload.
        const QString unusable = setUp(mosq, params);
        const Ending ending = unusable.isEmpty() ? connectAndServe() : Ending {unusable};
        if (isStopping())
            return;
        toOwner(
            [reason = ending.reason](MqttConnection *owner) { emit owner->disconnected(reason); });
        if (ending.lasted)
            retry = params.firstRetry;
        if (waitOrStop(retry))
            return;
        retry = std::min(retry * 2, params.longestRetry);
    }
}

QString ConnectionContext::probe()
{
    if (QString unusable = setUp(mosq, params); !unusable.isEmpty())
        return unusable;
    const int rc = connectAndRun(Clock::now() + *probeLimit);
    if (connected) {
        if (mosquitto_disconnect(mosq) == MOSQ_ERR_SUCCESS)
            drain(milliseconds(LoopMs));
        return {};
    }
    if (!refusal.isEmpty())
        return refusal;
    if (rc != MOSQ_ERR_SUCCESS)
        return reasonFor(rc);
    return QStringLiteral("the broker did not answer within %1 s")
        .arg(double(probeLimit->count()) / 1000);
}

void ConnectionContext::run()
{
    while (predecessor.valid()
        && predecessor.wait_for(milliseconds(LoopMs)) != std::future_status::ready
        && !isStopping()) { }
    if (!isStopping() && !probeLimit) {
        serve();
    } else if (!isStopping()) {
        toOwner([reason = probe()](MqttConnection *owner) { emit owner->probed(reason); });
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stopping; });
    }
    mosquitto_destroy(mosq);
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
    launch(params, std::nullopt);
}

void MqttConnection::probe(const ConnectionParams &params, milliseconds limit)
{
    ConnectionParams quiet = params;
    quiet.statusTopic.clear(); // a probe says nothing and leaves no will
    quiet.subscribeTopics.clear();
    // Nor may it take the running connection's identity: the broker would drop that.
    quiet.clientId.clear();
    launch(quiet, limit);
}

void MqttConnection::launch(const ConnectionParams &params, std::optional<milliseconds> probe)
{
    stop();
    auto context = std::make_shared<ConnectionContext>();
    context->params = params;
    context->probeLimit = probe;
    context->owner = this;
    context->predecessor = m_previousEnded;
    if (const QString reason = context->makeClient(); !reason.isEmpty()) {
        if (probe)
            emit probed(reason);
        else
            emit disconnected(reason);
        return;
    }
    m_context = context;
    // Owned here, then by the list of stopped threads until joined.
    context->thread = std::thread([raw = context.get()] { raw->run(); });
}

void MqttConnection::stop()
{
    std::shared_ptr<ConnectionContext> context = std::move(m_context);
    if (!context)
        return;
    {
        std::lock_guard lock(context->mutex);
        context->stopping = true;
        context->owner = nullptr;
    }
    context->wake.notify_all();
    m_previousEnded = context->ended;
    StoppedThreads::add(std::move(context));
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

} // namespace tarv::publish
