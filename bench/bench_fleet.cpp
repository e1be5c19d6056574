// A plant of rigs on one machine: N services (default 20), each with its own simulated
// card at the line rate on its own pseudo-terminal, logging, and publishing at QoS 1 to
// one local broker; one subscriber takes everything. It checks that every rig's analog
// messages arrived in order and without a gap, and prints each service's CPU and
// resident memory, the broker's messages a second, and the latency from a frame's
// arrival at its service (the message's "time") to the message at the subscriber.
//
// Usage: bench_fleet [N] [seconds]   (default 20 rigs, 60 s after a 5 s warm-up)

#include "core/settingsfiles.h"
#include "processstats.h"
#include "support/broker.h"
#include "support/endtoend.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

using namespace tarv;
using namespace std::chrono_literals;

namespace {

struct Rig
{
    QTemporaryDir dir;
    QProcess card;
    QString cardSaid;
    QProcess service;
};

// Everything the broker delivers, on libmosquitto's own thread: per rig the arrival
// stamps of its analog messages, and the latencies.
struct Subscriber
{
    mosquitto *mosq = nullptr;
    QMutex mutex;
    quint64 messages = 0;
    bool counting = false;
    std::map<QString, std::vector<qint64>> analog; // rig -> message times, in arrival order
    std::vector<double> latencyMs;

    bool start(int port)
    {
        mosq = mosquitto_new("fleet-subscriber", true, this);
        mosquitto_message_callback_set(
            mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
                static_cast<Subscriber *>(self)->take(m);
            });
        return mosq && mosquitto_connect(mosq, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS
            && mosquitto_subscribe(mosq, nullptr, "fleet/#", 1) == MOSQ_ERR_SUCCESS
            && mosquitto_loop_start(mosq) == MOSQ_ERR_SUCCESS;
    }
    void take(const mosquitto_message *m)
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const QString topic = QString::fromUtf8(m->topic);
        QMutexLocker lock(&mutex);
        if (!counting)
            return;
        ++messages;
        if (!topic.endsWith(QStringLiteral("/analog")))
            return;
        const QByteArray payload(static_cast<const char *>(m->payload), m->payloadlen);
        const QDateTime time = QDateTime::fromString(
            QJsonDocument::fromJson(payload).object()[u"time"].toString(), Qt::ISODateWithMs);
        analog[topic.section(u'/', 1, 1)].push_back(time.toMSecsSinceEpoch());
        latencyMs.push_back(double(now - time.toMSecsSinceEpoch()));
    }
    ~Subscriber()
    {
        if (mosq) {
            mosquitto_disconnect(mosq);
            mosquitto_loop_stop(mosq, false);
            mosquitto_destroy(mosq);
        }
    }
};

bool prepare(Rig &rig, int n, int brokerPort)
{
    core::AcquisitionState state;
    testsupport::prepareState(state, rig.dir.path());
    for (int c = 0; c < core::ChannelCount; ++c)
        state.saveEnable[c] = core::toFlag(c < 4);
    state.saveFileName = rig.dir.filePath(QStringLiteral("rig.csv"));
    state.saveInterval = 1;
    bench::writeServiceDir(state, rig.dir.path());
    testsupport::putFile(rig.dir.filePath("tarvane.ini"),
        QStringLiteral("[mqtt]\nenabled=true\nhost=127.0.0.1\nport=%1\nqos=1\nrig_id=rig%2\n"
                       "topic_prefix=fleet/rig%2\n")
            .arg(brokerPort)
            .arg(n)
            .toUtf8());
    return testsupport::startSimulatedCard(
        rig.card, rig.cardSaid, {"--dir", rig.dir.path(), "--line-rate"}, 20ms);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 20;
    const int seconds = argc > 2 ? QByteArray(argv[2]).toInt() : 60;
    mosquitto_lib_init();

    testsupport::TestBroker broker;
    if (!broker.start({false, false, false, "max_queued_messages 100000\n"})) {
        std::fprintf(stderr, "mosquitto did not start\n");
        return 1;
    }
    Subscriber subscriber;
    if (!subscriber.start(broker.port())) {
        std::fprintf(stderr, "the subscriber did not connect\n");
        return 1;
    }
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int n = 0; n < count; ++n) {
        rigs.push_back(std::make_unique<Rig>());
        Rig &rig = *rigs.back();
        if (!prepare(rig, n, broker.port())) {
            std::fprintf(stderr, "rig %d did not start: %s\n", n, qPrintable(rig.cardSaid));
            return 1;
        }
        rig.service.setStandardErrorFile(rig.dir.filePath("journal"));
        rig.service.start(QStringLiteral(TARV_SERVICE_PATH), {"--dir", rig.dir.path()});
    }
    testsupport::runUntil([] { return false; }, 5s, 200ms); // warm-up
    std::vector<double> cpu0;
    for (auto &rig : rigs)
        cpu0.push_back(bench::processCpuSeconds(rig->service.processId()));
    const double brokerCpu0 = bench::processCpuSeconds(broker.processId());
    {
        QMutexLocker lock(&subscriber.mutex);
        subscriber.counting = true;
    }
    const auto begin = std::chrono::steady_clock::now();
    testsupport::runUntil([] { return false; }, std::chrono::seconds(seconds), 200ms);
    const double wall
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    {
        QMutexLocker lock(&subscriber.mutex);
        subscriber.counting = false;
    }

    std::vector<double> cpu, rss;
    for (std::size_t n = 0; n < rigs.size(); ++n) {
        cpu.push_back(
            100.0 * (bench::processCpuSeconds(rigs[n]->service.processId()) - cpu0[n]) / wall);
        rss.push_back(double(bench::processResidentKb(rigs[n]->service.processId())) / 1024.0);
    }
    const double brokerCpu
        = 100.0 * (bench::processCpuSeconds(broker.processId()) - brokerCpu0) / wall;
    // Every rig's analog messages in order, one about every second, none missing.
    int complete = 0;
    qint64 worstGap = 0;
    QMutexLocker lock(&subscriber.mutex);
    for (const auto &[rig, times] : subscriber.analog) {
        bool ordered = true;
        for (std::size_t i = 1; i < times.size(); ++i) {
            ordered = ordered && times[i] > times[i - 1];
            worstGap = std::max(worstGap, times[i] - times[i - 1]);
        }
        complete += ordered && double(times.size()) >= wall * 0.9;
    }
    std::printf("%d rigs for %.0f s: %d of them delivered every analog message in order; "
                "the longest gap between two of one rig's messages %lld ms\n",
        count, wall, complete, static_cast<long long>(worstGap));
    std::printf("broker: %.0f messages a second delivered to the subscriber, %.2f %% of one core\n",
        double(subscriber.messages) / wall, brokerCpu);
    std::printf("per service: CPU median %.3f %%, highest %.3f %% of one core; resident memory "
                "median %.1f MB, highest %.1f MB\n",
        percentile(cpu, 0.5), percentile(cpu, 1.0), percentile(rss, 0.5), percentile(rss, 1.0));
    std::printf("latency, frame's arrival at its service to the subscriber: median %.1f ms, "
                "99th percentile %.1f ms (%zu messages)\n",
        percentile(subscriber.latencyMs, 0.5), percentile(subscriber.latencyMs, 0.99),
        subscriber.latencyMs.size());
    for (auto &rig : rigs) {
        rig->service.terminate();
        rig->card.terminate();
    }
    for (auto &rig : rigs) {
        rig->service.waitForFinished(5000);
        rig->card.waitForFinished(5000);
    }
    return complete == count ? 0 : 1;
}
