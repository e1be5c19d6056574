// Times decode + convert of one analog frame in the two heaviest configurations
// (eight PT-100 channels, eight type K channels) with the shipped solvers, then the
// same with each channel's quality assessed, and the same work with the plain upward
// scans, and prints them with the speed-up.

#include "core/numeric.h"
#include "link/channelconverter.h"
#include "link/framedecoder.h"
#include "link/quality.h"
#include "support/referencescan.h"
#include "support/tablefixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace tarv;
using Clock = std::chrono::steady_clock;

namespace {

// Frames whose counts move, so nothing is answered from a warm branch history alone.
QString frameFor(int n)
{
    QString frame;
    for (int c = 0; c < 8; ++c)
        frame += QStringLiteral("+%1,").arg(
            13000 + (n * 37 + c * 911) % 9000, 5, 10, QLatin1Char('0'));
    frame += QStringLiteral("+24.5\r");
    return frame;
}

double nsPerFrame(const std::function<void(int)> &work, int frames)
{
    for (int i = 0; i < frames / 10; ++i)
        work(i); // warm up
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i)
        work(i);
    const auto ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    return ns / frames;
}

volatile double g_sink = 0; // keeps the reference scans from being optimised away

void run(const char *name, core::AcquisitionState &s, int type, int frames, int referenceFrames)
{
    for (int c = 0; c < 8; ++c) {
        s.inputType[c] = core::Integer(type);
        s.zero200mV[c] = 80;
        s.span200mV[c] = 24080;
        s.rtdCal[c] = 13000;
    }
    std::vector<QString> inputs;
    for (int i = 0; i < 256; ++i)
        inputs.push_back(frameFor(i));

    const auto convert = [&](int i) {
        s.analogFrame = inputs[i & 255];
        link::DecodeAnalogFrame(s);
        link::ConvertChannels(s);
    };
    const auto assess = [&](int i) {
        s.analogFrame = inputs[i & 255];
        link::DecodeAnalogFrame(s);
        link::AssessChannels(s, link::ConvertChannels(s));
    };
    // Taken in turns, the best of fifteen each, so a busy moment of the machine counts
    // against neither.
    double shipped = 1e30, assessed = 1e30;
    for (int round = 0; round < 15; ++round) {
        shipped = std::min(shipped, nsPerFrame(convert, frames));
        assessed = std::min(assessed, nsPerFrame(assess, frames));
    }

    const double reference = nsPerFrame(
        [&](int i) {
            s.analogFrame = inputs[i & 255];
            link::DecodeAnalogFrame(s);
            double sum = 0;
            for (int c = 0; c < 8; ++c) {
                if (type == 4) {
                    sum += *testsupport::referencePt100(s.rawCounts[c], s.rtdCal[c]);
                } else {
                    const int cj = int(core::roundHalfEven(s.ambientTemp));
                    const double emf = s.kTable[cj + 200]
                        + double(s.rawCounts[c] - s.zero200mV[c])
                            * (200.0 / (s.span200mV[c] - s.zero200mV[c]));
                    sum += testsupport::referenceTableScan(s.kTable, 1569, emf) - 200;
                }
            }
            g_sink = g_sink + sum;
        },
        referenceFrames);

    std::printf("%-24s shipped %6.0f ns/frame, with quality %6.0f (+%.1f %%)   plain scan %9.0f "
                "ns/frame   speed-up x%.0f\n",
        name, shipped, assessed, 100.0 * (assessed - shipped) / shipped, reference,
        reference / shipped);
}

} // namespace

// bench_conversion [frames]: fewer frames (and a hundredth as many plain scans) for a
// run under valgrind --tool=callgrind, whose instruction counts per function do not
// depend on what else the machine is doing.
int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::max(100, std::atoi(argv[1])) : 200000;
    core::AcquisitionState s;
    QString error;
    if (!testsupport::loadShippedTables(s, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    core::applyDefaults(s);
    std::printf("decode + convert of one analog frame, all eight channels of one type\n");
    run("8 x PT-100", s, 4, frames, frames / 100);
    run("8 x type K thermocouple", s, 6, frames, frames / 10);
    return 0;
}
