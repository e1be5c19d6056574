// Publishing's throughput and cost: the unthrottled simulated card, every analog
// frame published at QoS 1 (the analog object and eight channel topics) to a local
// broker, a subscriber counting what arrives. First the same run without publishing,
// so the CPU the publishing adds can be told per message.
//
// Usage: bench_publish [seconds]   (default 10 per phase)

#include "link/cardlink.h"
#include "link/portresolver.h"
#include "publish/messagequeue.h"
#include "publish/mqttconnection.h"
#include "publish/payloads.h"
#include "support/broker.h"
#include "support/endtoend.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <mosquitto.h>

#include <atomic>
#include <chrono>
#include <cstdio>

using namespace tarv;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Counts what the broker delivers, on libmosquitto's own thread. It subscribes at
// QoS 0: the broker holds at most 1000 QoS 1 messages for a subscriber, which would
// measure the subscriber rather than the publisher.
struct Counter
{
    std::atomic<quint64> received {0};
    mosquitto *mosq = nullptr;

    bool start(int port, const char *topic)
    {
        mosq = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(
            mosq, [](mosquitto *, void *self, const mosquitto_message *) {
                ++static_cast<Counter *>(self)->received;
            });
        return mosq && mosquitto_connect(mosq, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS
            && mosquitto_subscribe(mosq, nullptr, topic, 0) == MOSQ_ERR_SUCCESS
            && mosquitto_loop_start(mosq) == MOSQ_ERR_SUCCESS;
    }
    ~Counter()
    {
        if (mosq) {
            mosquitto_disconnect(mosq);
            mosquitto_loop_stop(mosq, false);
            mosquitto_destroy(mosq);
        }
    }
};

struct Phase
{
    double cpu = 0, wall = 0;
    quint64 frames = 0;
};

Phase measure(const link::CardLink &link, int seconds)
{
    const double cpu0 = testsupport::cpuSeconds();
    const quint64 frames0 = link.counters().analogAccepted;
    const auto wall0 = Clock::now();
    const auto end = wall0 + std::chrono::seconds(seconds);
    testsupport::runUntil(
        [&] { return Clock::now() >= end; }, std::chrono::seconds(seconds + 1), 20ms);
    return {testsupport::cpuSeconds() - cpu0,
        std::chrono::duration<double>(Clock::now() - wall0).count(),
        link.counters().analogAccepted - frames0};
}

// The publisher's parts driven directly: every analog frame as it is accepted, as
// fast as the broker acknowledges. A frame that finds a full window of
// unacknowledged messages is skipped and counted, so the measure is the rate with
// nothing dropped.
struct EveryFrame
{
    explicit EveryFrame(const core::AcquisitionState &s)
        : state(s)
    { }

    const core::AcquisitionState &state;
    publish::MqttConnection connection;
    publish::MessageQueue queue;
    bool connected = false;
    quint64 skipped = 0;

    void pump()
    {
        if (!connected)
            return;
        queue.pump([this](const publish::Message &m) -> std::optional<int> {
            int mid = 0;
            if (!connection.publish(m.topic, m.payload, 1, m.retain, &mid))
                return std::nullopt;
            return mid;
        });
    }
    void frame()
    {
        if (!connected || queue.pending() >= publish::MessageQueue::InFlightLimit) {
            ++skipped;
            return;
        }
        queue.push({QStringLiteral("bench/analog"),
            publish::analogPayload(state, QDateTime::currentDateTime(), {}), false});
        for (int c = 0; c < core::ChannelCount; ++c)
            queue.push({QStringLiteral("bench/channel/%1").arg(c),
                publish::channelPayload(state, c), true});
        pump();
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    mosquitto_lib_init();

    testsupport::TestBroker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    core::AcquisitionState state;
    testsupport::prepareState(state, dir.path());
    QProcess sim;
    QString simOut;
    if (!testsupport::startSimulatedCard(sim, simOut, {"--dir", dir.path(), "--unthrottled"})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(simOut));
        return 1;
    }
    link::CardLink link(state);
    if (!link.openPort(link::resolvePortDevice(1, dir.path()))
        || !testsupport::runUntil([&] { return state.cardConnected == core::True; }, 10s)) {
        std::fprintf(stderr, "card did not answer\n");
        return 1;
    }
    link.taskStart();
    Phase base = measure(link, 1); // warm-up
    base = measure(link, seconds);

    Counter counter;
    if (!counter.start(broker.port(), "bench/#")) {
        std::fprintf(stderr, "subscriber did not connect\n");
        return 1;
    }
    EveryFrame publisher(state);
    QObject::connect(&publisher.connection, &publish::MqttConnection::connected,
        &publisher.connection, [&] { publisher.connected = true; });
    QObject::connect(&publisher.connection, &publish::MqttConnection::delivered,
        &publisher.connection, [&](int mid) {
            if (publisher.queue.acknowledged(mid))
                publisher.pump();
        });
    QObject::connect(
        &link, &link::CardLink::analogFrameAccepted, &link, [&] { publisher.frame(); });
    publish::ConnectionParams params;
    params.host = QStringLiteral("127.0.0.1");
    params.port = broker.port();
    params.statusTopic = QStringLiteral("bench/status");
    publisher.connection.start(params);
    if (!testsupport::runUntil([&] { return publisher.connected; }, 10s)) {
        std::fprintf(stderr, "publisher did not connect\n");
        return 1;
    }
    publisher.skipped = 0;
    const quint64 sent0 = publisher.queue.sent(), received0 = counter.received;
    const Phase pub = measure(link, seconds);
    link.taskStop();
    // Whatever is still queued or unacknowledged goes out before counting.
    testsupport::runUntil([&] { return publisher.queue.pending() == 0; }, 30s, 10ms);
    // Everything since the connection, the connection's own "online" included.
    const auto allArrived = [&] { return counter.received >= publisher.queue.sent() + 1; };
    testsupport::runUntil(allArrived, 10s, 10ms);
    const bool noneLost
        = counter.received == publisher.queue.sent() + 1 && publisher.queue.dropped() == 0;
    const quint64 sent = publisher.queue.sent() - sent0, received = counter.received - received0;

    const double baseCpuPerFrame = base.frames ? base.cpu / double(base.frames) : 0;
    const double publishCpu = pub.cpu - baseCpuPerFrame * double(pub.frames);
    std::printf("without publishing: %llu frames in %.1f s (%.0f /s), CPU %.2f s\n",
        static_cast<unsigned long long>(base.frames), base.wall, base.frames / base.wall, base.cpu);
    std::printf("publishing every frame at QoS 1: %llu frames in %.1f s, CPU %.2f s\n",
        static_cast<unsigned long long>(pub.frames), pub.wall, pub.cpu);
    std::printf("messages published %llu = %.0f /s; received %llu; dropped %llu; %s\n",
        static_cast<unsigned long long>(sent), sent / pub.wall,
        static_cast<unsigned long long>(received),
        static_cast<unsigned long long>(publisher.queue.dropped()),
        noneLost ? "none lost" : "SOME LOST");
    std::printf("frames skipped while 100 messages awaited acknowledgement: %llu\n",
        static_cast<unsigned long long>(publisher.skipped));
    std::printf("CPU per message published: %.1f us\n", sent ? 1e6 * publishCpu / double(sent) : 0);
    publisher.connection.stop();
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
