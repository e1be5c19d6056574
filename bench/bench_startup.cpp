// Start-up latency, both including the 2 s About splash the program shows first:
//  - of the real program: from starting its process (offscreen, in a fresh
//    directory with the two tables and the simulated card's COM1 link, no settings
//    files) to its version query "?" arriving at the card;
//  - to the main window shown: this benchmark starts itself again as a child that
//    runs the program's own start-up sequence (tables, settings files, splash, main
//    window) and reports the moment the main window receives its show event.
//
// Usage: bench_startup [runs] [program]   (default 5, <build>/app/tarvane2020)

#include "core/clock.h"
#include "core/startup.h"
#include "support/endtoend.h"
#include "ui/main/mdidaq.h"
#include "ui/main/qtprompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

using tarv::testsupport::runUntil;

// A fresh working directory has nothing but the two tables.
void copyTables(const QTemporaryDir &dir)
{
    for (const char *table : {"j.tc", "k.tc"})
        QFile::copy(QStringLiteral(TARV_SOURCE_DIR "/data/") + QLatin1String(table),
            dir.filePath(QLatin1String(table)));
}

// The program as a desktop would start it, but offscreen and in `dir`.
void runOffscreenIn(QProcess &process, const QTemporaryDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

// Milliseconds from starting the program to "?" at the card, or -1.
double oneRun(const QString &program)
{
    QTemporaryDir dir;
    copyTables(dir);

    QProcess sim;
    QString simOut;
    if (!tarv::testsupport::startSimulatedCard(sim, simOut, {"--dir", dir.path()}, 1ms))
        return -1;

    QProcess app;
    runOffscreenIn(app, dir);
    const auto start = Clock::now();
    app.start(program, {});
    const bool asked = runUntil([&] { return simOut.contains("rx: ?"); }, 20s, 1ms);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    app.kill();
    app.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
    return asked ? ms : -1;
}

qint64 monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The child: the program's start-up in the working directory; prints the steady
// clock (the same clock in every process here) when the main window is shown.
int windowChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    tarv::core::AcquisitionState state;
    tarv::ui::QtPrompts prompts;
    tarv::core::SystemClock clock;
    std::unique_ptr<tarv::ui::MdiDaq> window;
    struct ShowWatcher : QObject
    {
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show) {
                std::printf("shown %lld\n", static_cast<long long>(monotonicNs()));
                std::fflush(stdout);
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
            return QObject::eventFilter(watched, event);
        }
    } watcher;
    const auto started = tarv::core::Main(state, {QDir::currentPath(), {}}, [&] {
        window = std::make_unique<tarv::ui::MdiDaq>(state, prompts, clock);
        window->installEventFilter(&watcher);
        window->load();
    });
    if (!started.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(started.errorMessage));
        return 1;
    }
    return app.exec();
}

// Milliseconds from starting the child to its main window shown, or -1.
double oneWindowRun(const QString &self)
{
    QTemporaryDir dir;
    copyTables(dir);
    QProcess child;
    runOffscreenIn(child, dir);
    const qint64 start = monotonicNs();
    child.start(self, {QStringLiteral("--window-child")});
    if (!child.waitForFinished(30000))
        return -1;
    const QByteArray out = child.readAllStandardOutput();
    const qsizetype at = out.indexOf("shown ");
    if (at < 0)
        return -1;
    const qint64 shown = out.mid(at + 6).trimmed().toLongLong();
    return double(shown - start) / 1e6;
}

void report(const char *what, std::vector<double> times)
{
    if (times.empty()) {
        std::printf("%s: no run succeeded\n", what);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: median %.1f ms, min %.1f ms, max %.1f ms (%zu runs)\n", what,
        times[times.size() / 2], times.front(), times.back(), times.size());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--window-child")
        return windowChild(argc, argv);
    QCoreApplication core(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    const QString program = argc > 2
        ? QString::fromLocal8Bit(argv[2])
        : QFileInfo(QStringLiteral(TARV_SIM_PATH)).dir().filePath("../app/tarvane2020");
    std::vector<double> asked;
    std::vector<double> shown;
    for (int i = 0; i < runs; ++i) {
        const double ms = oneRun(program);
        const double windowMs = oneWindowRun(QCoreApplication::applicationFilePath());
        std::printf("run %d: process start to \"?\" at the card %.1f ms, to the main window "
                    "shown %.1f ms\n",
            i + 1, ms, windowMs);
        if (ms >= 0)
            asked.push_back(ms);
        if (windowMs >= 0)
            shown.push_back(windowMs);
    }
    report("start to \"?\" at the card", asked);
    report("start to main window shown", shown);
    return asked.empty() || shown.empty() ? 1 : 0;
}
