#include "core/acquisitionstate.h"

namespace tarv::core {

const std::array<QString, InputTypeCount> &inputTypeCaptions()
{
    static const std::array<QString, InputTypeCount> captions {
        QStringLiteral("+/- 10V"),
        QStringLiteral("0 ~ 20 mA"),
        QStringLiteral("4 ~ 20 mA"),
        QStringLiteral("0 ~ 200 mV"),
        QStringLiteral("PT-100"),
        QStringLiteral("T/C - J"),
        QStringLiteral("T/C - K"),
    };
    return captions;
}

void applyDefaults(AcquisitionState &s)
{
    s.comPort = 1;
    s.cardConnected = s.portOpened = s.taskRunning = s.savingActive = False;
    s.analogFrame = DefaultAnalogFrame;

    for (int n = 0; n < LineCount; ++n)
        s.dioDirection[n] = s.diStates[n] = s.doStates[n] = s.doCommand[n] = False;

    for (int c = 0; c < ChannelCount; ++c) {
        s.inputType[c] = 0;
        s.inputRange[c] = 10;
        s.span10V[c] = s.span200mV[c] = s.zero10V[c] = s.zero200mV[c] = 32000;
        s.rtdCal[c] = 13000;
        s.plotEnable[c] = s.saveEnable[c] = False;
    }

    s.saveFileName = QStringLiteral("D:\\test.csv");
    s.useChannelHeaders = True;
    s.separatorMode = 1;
    s.saveIntervalUnit = 1;
    s.saveInterval = 5;
    s.stampMode = 3;
    for (int c = 0; c < ChannelCount; ++c)
        s.channelNames[c] = QStringLiteral("Channel %1").arg(c);
}

void copySettings(const AcquisitionState &from, AcquisitionState &to)
{
    to.comPort = from.comPort;
    to.dioDirection = from.dioDirection;
    to.inputType = from.inputType;
    to.inputRange = from.inputRange;
    to.rtdCal = from.rtdCal;
    to.zero10V = from.zero10V;
    to.span10V = from.span10V;
    to.zero200mV = from.zero200mV;
    to.span200mV = from.span200mV;
    to.plotEnable = from.plotEnable;
    to.saveEnable = from.saveEnable;
    to.saveFileName = from.saveFileName;
    to.useChannelHeaders = from.useChannelHeaders;
    to.separatorMode = from.separatorMode;
    to.saveIntervalUnit = from.saveIntervalUnit;
    to.saveInterval = from.saveInterval;
    to.stampMode = from.stampMode;
    to.channelNames = from.channelNames;
}

} // namespace tarv::core
