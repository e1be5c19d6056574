// The web page's cost to the service at the card's real pace: tarvane2020d as the
// unit runs it, logging four channels every second, fed by the simulated card at
// 9600 baud, with the page open in N clients. Each client is what an open page keeps
// doing: it loads the page and an hour of history once, then reads the WebSocket's
// update every second. Reports the service's share of one core (its own user and
// system time), the bytes a second each page receives, and the service's resident
// memory minute by minute.
//
// Usage: bench_web [seconds] [clients]   (default 60 and 1, after a 3 s warm-up)

#include "processstats.h"
#include "support/endtoend.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebSocket>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace tarv;
using namespace std::chrono_literals;

namespace {

// A working directory calibrated for the simulated card, logging every second, with
// the page on a free loopback port.
bool prepare(const QString &dir)
{
    core::AcquisitionState state;
    testsupport::prepareState(state, dir);
    for (int c = 0; c < core::ChannelCount; ++c)
        state.saveEnable[c] = core::toFlag(c < 4);
    state.saveFileName = QStringLiteral("bench.log");
    state.saveInterval = 1;
    bench::writeServiceDir(state, dir);
    QFile ini(dir + QStringLiteral("/tarvane.ini"));
    return ini.open(QIODevice::WriteOnly)
        && ini.write("[web]\nenabled=true\nlisten=127.0.0.1:0\n") > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const int seconds = args.value(0, QStringLiteral("60")).toInt();
    const int clients = args.value(1, QStringLiteral("1")).toInt();

    QTemporaryDir dir;
    QProcess sim;
    QString simOut;
    if (!prepare(dir.path())
        || !testsupport::startSimulatedCard(sim, simOut, {"--dir", dir.path(), "--line-rate"})) {
        std::fprintf(stderr, "no working directory or no simulated card: %s\n", qPrintable(simOut));
        return 1;
    }
    QProcess service;
    QByteArray journal;
    QObject::connect(&service, &QProcess::readyReadStandardError,
        [&] { journal += service.readAllStandardError(); });
    service.start(QStringLiteral(TARV_SERVICE_PATH), {QStringLiteral("--dir"), dir.path()});
    const QByteArray told = "web page on http://127.0.0.1:";
    if (!testsupport::runUntil([&] { return journal.contains(told); }, 10s)) {
        std::fprintf(stderr, "the service has no web page: %s\n", journal.constData());
        return 1;
    }
    const qsizetype at = journal.indexOf(told) + told.size();
    const QString base = QStringLiteral("127.0.0.1:%1/").arg(journal.mid(at).split('/')[0].toInt());
    const qint64 pid = service.processId();

    QNetworkAccessManager web;
    std::vector<std::unique_ptr<QWebSocket>> pages;
    qint64 received = 0; // the first page's update bytes, each frame's 4-byte head included
    for (int c = 0; c < clients; ++c) {
        for (const char *path :
            {"", "page.js", "page.css", "api/history?seconds=3600", "api/logs"}) {
            QNetworkReply *reply = web.get(QNetworkRequest(QUrl("http://" + base + path)));
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        }
        auto &page = pages.emplace_back(std::make_unique<QWebSocket>());
        if (c == 0)
            QObject::connect(page.get(), &QWebSocket::textMessageReceived,
                [&received](const QString &m) { received += m.toUtf8().size() + 4; });
        page->open(QUrl("ws://" + base + "live"));
    }

    bench::runFor(3s);
    const qint64 received0 = received;
    const bench::Watched run = bench::watchProcess(pid, seconds);
    const double cpu = run.cpu;
    const double wall = run.wall;
    const long rss0 = run.residentAtStart;
    int open = 0;
    for (const auto &page : pages)
        open += page->state() == QAbstractSocket::ConnectedState;
    std::printf(
        "measured %.1f s wall after a 3 s warm-up, %d of %d pages open\n", wall, open, clients);
    std::printf("service CPU %.3f s = %.3f %% of one core\n", cpu, 100.0 * cpu / wall);
    std::printf("one page receives %.0f bytes a second\n", double(received - received0) / wall);
    std::printf("service VmRSS kB: after warm-up %ld, at the end %ld\n", rss0,
        bench::processResidentKb(pid));

    pages.clear();
    service.terminate();
    service.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
