// Publishing's throughput and cost: the unthrottled simulated card, every analog
// frame published at QoS 1 (the analog object and eight channel topics) to a local
// broker, a subscriber counting what arrives. First the same run without publishing,
// so the CPU the publishing adds can be told per message.
//
// Usage: bench_publish [seconds]   (default 10 per phase)

#include "core/clock.h"
#include "link/cardlink.h"
#include "link/portresolver.h"
#include "publish/publisher.h"
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
    core::SystemClock clock;
    link::CardLink link(state);
    publish::Publisher publisher(state, link, clock);
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
    publish::PublishSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.topicPrefix = QStringLiteral("bench");
    settings.qos = 1;
    publisher.setEveryFrame(true);
    publisher.configure(settings, {});
    if (!testsupport::runUntil([&] { return publisher.isConnected(); }, 10s)) {
        std::fprintf(stderr, "publisher did not connect: %s\n", qPrintable(publisher.reason()));
        return 1;
    }
    const quint64 sent0 = publisher.sent(), received0 = counter.received;
    const Phase pub = measure(link, seconds);
    link.taskStop();
    // Whatever is still queued or unacknowledged goes out before counting.
    testsupport::runUntil([&] { return publisher.pending() == 0; }, 30s, 10ms);
    // Everything since the connection, the connection's own "online" included.
    const auto allArrived = [&] { return counter.received >= publisher.sent() + 1; };
    testsupport::runUntil(allArrived, 10s, 10ms);
    const bool noneLost = counter.received == publisher.sent() + 1 && publisher.dropped() == 0;
    const quint64 sent = publisher.sent() - sent0, received = counter.received - received0;

    const double baseCpuPerFrame = base.frames ? base.cpu / double(base.frames) : 0;
    const double publishCpu = pub.cpu - baseCpuPerFrame * double(pub.frames);
    std::printf("without publishing: %llu frames in %.1f s (%.0f /s), CPU %.2f s\n",
        static_cast<unsigned long long>(base.frames), base.wall, base.frames / base.wall, base.cpu);
    std::printf("publishing every frame at QoS 1: %llu frames in %.1f s, CPU %.2f s\n",
        static_cast<unsigned long long>(pub.frames), pub.wall, pub.cpu);
    std::printf("messages published %llu = %.0f /s; received %llu; dropped %llu; %s\n",
        static_cast<unsigned long long>(sent), sent / pub.wall,
        static_cast<unsigned long long>(received),
        static_cast<unsigned long long>(publisher.dropped()), noneLost ? "none lost" : "SOME LOST");
    std::printf("frames skipped while 100 messages awaited acknowledgement: %llu\n",
        static_cast<unsigned long long>(publisher.framesSkipped()));
    std::printf("CPU per message published: %.1f us\n", sent ? 1e6 * publishCpu / double(sent) : 0);
    publisher.stop();
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
