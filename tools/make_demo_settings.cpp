// Writes the demo's settings files (tarv.con, tarvo.con, tarvs.con) into a
// directory, through the program's own writers so the format cannot drift. The
// channels are calibrated for the simulated card's converter and typed for the
// signals it puts on each input.
//   make_demo_settings DIR
#include "core/acquisitionstate.h"
#include "core/settingsfiles.h"

#include <QCoreApplication>
#include <QDir>

#include <array>
#include <cstdio>

namespace {

using tarv::core::AcquisitionState;

struct DemoChannel
{
    tarv::core::Integer inputType;
    double inputRange;
    bool plot;
    bool save;
    const char *name;
};

// Input types: 0 +/-10 V, 1 0~20 mA, 2 4~20 mA, 3 0~200 mV, 4 PT-100, 5 T/C J, 6 T/C K.
constexpr std::array<DemoChannel, 8> Channels {{
    {0, 10, true, true, "Sine 10V"},
    {2, 20, true, false, "Loop 4-20mA"},
    {1, 20, false, false, "Flow 0-20mA"},
    {3, 200, true, false, "Ramp 200mV"},
    {4, 10, false, true, "Room PT-100"},
    {5, 10, false, true, "Oven TC-J"},
    {6, 10, false, false, "Kiln TC-K"},
    {0, 10, true, false, "Ref 2.5V"},
}};

// The simulated card's converter: 0 V reads 100, +10 V 27100, 0 mV 80, +200 mV
// 24080, and a PT-100 at 0 deg C 13000.
void calibrate(AcquisitionState &state)
{
    for (std::size_t c = 0; c < Channels.size(); ++c) {
        const DemoChannel &channel = Channels[c];
        state.inputType[c] = channel.inputType;
        state.inputRange[c] = channel.inputRange;
        state.zero10V[c] = 100;
        state.span10V[c] = 27100;
        state.zero200mV[c] = 80;
        state.span200mV[c] = 24080;
        state.rtdCal[c] = 13000;
        state.plotEnable[c] = tarv::core::toFlag(channel.plot);
        state.saveEnable[c] = tarv::core::toFlag(channel.save);
        state.channelNames[c] = QString::fromLatin1(channel.name);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_settings DIR\n");
        return 2;
    }
    AcquisitionState state;
    tarv::core::applyDefaults(state);
    state.appPath = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    state.comPort = 1;
    calibrate(state);
    state.saveFileName = QDir(state.appPath).filePath(QStringLiteral("demo-log.csv"));

    for (const auto &write :
        {tarv::core::writeComPortFile, tarv::core::SaveCardSettings, tarv::core::SaveLogSettings}) {
        const tarv::core::WriteResult result = write(state);
        if (!result.ok) {
            std::fprintf(stderr, "make_demo_settings: %s: %s\n", qPrintable(result.path),
                qPrintable(result.error));
            return 1;
        }
    }
    return 0;
}
