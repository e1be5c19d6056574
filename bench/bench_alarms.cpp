// How soon an alarm switches its line: tarvane2020d as the unit runs it, one rule on
// channel 0 (high 5 V, on_delay 0, line 3), the card played on a pseudo-terminal. Each
// crossing is one analog frame written to the service, the time taken until its "#D"
// arrives back; crossings alternate up and down, 60 ms apart (past the output
// writer's 50 ms hold).
//
// Usage: bench_alarms [crossings]   (default 1000)

#include "core/settingsfiles.h"
#include "processstats.h"
#include "support/endtoend.h"
#include "support/ptypair.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace tarv;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int crossings = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;

    QTemporaryDir dir;
    testsupport::PtyPair pty;
    core::AcquisitionState state;
    testsupport::prepareState(state, dir.path());
    state.dioDirection[3] = core::True;
    bench::writeServiceDir(state, dir.path());
    testsupport::putFile(
        dir.filePath("tarvane.ini"), "[alarm.1]\nname=Bench\nchannel=0\nhigh=5\noutput=3\n");
    QFile::link(pty.slavePath(), dir.filePath("COM1"));

    QProcess service;
    service.setStandardErrorFile(QProcess::nullDevice()); // a line per crossing
    service.start(QStringLiteral(TARV_SERVICE_PATH), {"--dir", dir.path(), "--no-log"});
    if (pty.waitForBytes(2) != "?\r" || !pty.writeToProgram("V1.02\r")
        || pty.waitForBytes(16).size() != 16) {
        std::fprintf(stderr, "the service did not start the task\n");
        return 1;
    }
    // Channel 0 reads (count - 100) / 2700 V: 6 V is over the limit, 0 V under it.
    const QByteArray rest = QByteArray(",+04880,+12080,+00000,+13350,+00500,+00400,-01000,+24.5\r");
    std::vector<double> ms;
    for (int n = 0; n < crossings; ++n) {
        const QByteArray frame = (n % 2 == 0 ? "+16300" : "+00100") + rest;
        const auto start = Clock::now();
        if (!pty.writeToProgram(frame))
            break;
        const QByteArray word = pty.waitForBytes(7, 2s, testsupport::PtyPair::Events::Hold);
        if (word != (n % 2 == 0 ? "#D0008\r" : "#D0000\r")) {
            std::fprintf(stderr, "crossing %d: got \"%s\"\n", n, word.constData());
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        QThread::msleep(60);
    }
    service.terminate();
    service.waitForFinished(5000);
    std::sort(ms.begin(), ms.end());
    std::printf("%zu crossings, frame written to \"#D\" read: median %.2f ms, 99th percentile "
                "%.2f ms, worst %.2f ms\n",
        ms.size(), ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
    return 0;
}
