// Times one full redraw of the trend chart at its largest load: eight plotted
// channels of 500 segments each, with moving values, onto an image the size of
// the chart surface. Prints the mean and median wall time per redraw, and the mean
// CPU time of this thread, which a busy machine does not inflate.

#include "ui/trend/trendchart.h"

#include <QGuiApplication>
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

ui::TrendModel fullChart()
{
    ui::TrendModel m;
    m.pointCount = 500;
    m.trendRange = 100;
    for (int c = 0; c < 8; ++c) {
        for (int j = 0; j < ui::TrendModel::SlotCount; ++j)
            m.history[c][j]
                = float(50 + 45 * std::sin(0.05 * j + c) + (j * 7919 + c * 104729) % 13 - 6);
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

void run(QImage::Format format, const char *name, int redraws)
{
    const QSize size(1321, 449); // the chart surface: 19815 x 6735 twips
    QImage image(size, format);
    const ui::TrendModel model = fullChart();
    for (int i = 0; i < 20; ++i) { // warm up glyph caches and the stroker
        QPainter painter(&image);
        ui::paintTrend(painter, size, model);
    }
    std::vector<double> ms;
    ms.reserve(redraws);
    const double cpuStart = threadCpuMs();
    for (int i = 0; i < redraws; ++i) {
        const auto start = Clock::now();
        QPainter painter(&image);
        ui::paintTrend(painter, size, model);
        painter.end();
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

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::printf("full trend redraw: 8 channels x 500 segments, 1321 x 449 pixels\n");
    run(QImage::Format_RGB32, "RGB32", 200);
    run(QImage::Format_ARGB32_Premultiplied, "ARGB32 premultiplied", 200);
    return 0;
}
