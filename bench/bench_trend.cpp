// Times one full redraw of the trend chart at its largest load: eight plotted
// channels of 500 segments each, with moving values, onto an image the size of
// the chart surface. Prints the mean and median wall time per redraw, and the mean
// CPU time of this thread, which a busy machine does not inflate. Then the same
// for a paused chart stepped back one wheel notch at a time over a full day of
// memory, and what that day costs a window in resident memory.

#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "ui/trend/frmtrend.h"
#include "ui/trend/trendchart.h"
#include "ui/trend/trendmemory.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include <time.h>

using namespace tarv;
using Clock = std::chrono::steady_clock;

namespace {

// A wave with jitter, so every segment has some height to draw.
float valueAt(qint64 second, int c)
{
    return float(
        50 + 45 * std::sin(0.05 * double(second) + c) + (second * 7919 + c * 104729) % 13 - 6);
}

ui::TrendModel fullChart()
{
    ui::TrendModel m;
    m.pointCount = 500;
    m.trendRange = 100;
    for (int c = 0; c < 8; ++c) {
        for (int j = 0; j < ui::TrendModel::SlotCount; ++j)
            m.history[c][j] = valueAt(j, c);
        m.colors[c] = QColor::fromHsv(c * 45, 255, 255);
        m.plotted[c] = true;
    }
    m.endTime = QStringLiteral("18:11:43");
    m.startTime = QStringLiteral("18:03:23");
    m.bottomLabel = QStringLiteral("  0");
    m.topLabel = QStringLiteral("100");
    return m;
}

double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

const QSize ChartSize(1321, 449); // the chart surface: 19815 x 6735 twips

// Times `redraws` calls of draw(image, i) after a warm-up of glyph caches and the
// stroker, and prints one line of figures.
template<typename Draw> void time(QImage::Format format, const char *name, int redraws, Draw draw)
{
    QImage image(ChartSize, format);
    for (int i = 0; i < 20; ++i)
        draw(image, i);
    std::vector<double> ms;
    ms.reserve(redraws);
    const double cpuStart = threadCpuMs();
    for (int i = 0; i < redraws; ++i) {
        const auto start = Clock::now();
        draw(image, i);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const double cpu = (threadCpuMs() - cpuStart) / redraws;
    double sum = 0;
    for (double t : ms)
        sum += t;
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%-22s mean %6.3f ms   median %6.3f ms   min %6.3f ms   cpu %6.3f ms   (%d redraws)\n",
        name, sum / redraws, ms[ms.size() / 2], ms.front(), cpu, redraws);
}

void redraw(QImage::Format format, const char *name, int redraws)
{
    const ui::TrendModel model = fullChart();
    time(format, name, redraws, [&model](QImage &image, int) {
        QPainter painter(&image);
        ui::paintTrend(painter, ChartSize, model);
    });
}

core::ChannelArray<core::Single> sample(qint64 second)
{
    core::ChannelArray<core::Single> values {};
    for (int c = 0; c < 8; ++c)
        values[c] = valueAt(second, c);
    return values;
}

// A paused chart moved back one notch (a tenth of the span) per repaint: the
// span's seconds are gathered from the day of memory and drawn.
void lookBack(int redraws)
{
    ui::TrendMemory memory;
    const QDateTime start = QDateTime::currentDateTime();
    for (qint64 s = 0; s < ui::TrendMemory::Capacity; ++s)
        memory.append(start.addSecs(s), sample(s));
    const ui::TrendModel shape = fullChart();
    time(QImage::Format_RGB32, "look-back repaint", redraws, [&](QImage &image, int i) {
        const qint64 newest = memory.newest() - qint64(i) * (shape.pointCount / 10);
        QPainter painter(&image);
        ui::paintTrend(painter, ChartSize, ui::lookBackModel(memory, newest, shape));
    });
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() * 1024 / 1e6;
    return 0;
}

// A window ticked through a whole day of seconds, against the same window after
// its first tick: the resident memory the day adds.
void dayOfHistory()
{
    core::AcquisitionState state;
    testsupport::FakeClock clock;
    testsupport::ScriptedPrompts prompts;
    ui::FrmTrend window(state, clock, prompts);
    state.plotEnable.fill(core::True);
    window.tick();
    const double empty = residentMb();
    for (qint64 s = 1; s < ui::TrendMemory::Capacity; ++s) {
        clock.advance(1);
        state.channelValues = sample(s);
        window.tick();
    }
    const double full = residentMb();
    std::printf("24 h history           %6.2f MB   more resident than an empty window; "
                "%.2f MB held (86400 s x 8 channels)\n",
        full - empty, double(ui::TrendMemory::Capacity * sizeof(ui::TrendMemory::Second)) / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Measured first, before the other runs leave freed memory for it to reuse.
    dayOfHistory();
    std::printf("full trend redraw: 8 channels x 500 segments, 1321 x 449 pixels\n");
    redraw(QImage::Format_RGB32, "RGB32", 200);
    redraw(QImage::Format_ARGB32_Premultiplied, "ARGB32 premultiplied", 200);
    lookBack(200);
    return 0;
}
