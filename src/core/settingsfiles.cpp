#include "core/settingsfiles.h"

#include "core/settingsfile.h"

#include <QDir>
#include <QFile>

namespace tarv::core {

namespace {

QString settingsPath(const AcquisitionState &state, const char *fileName)
{
    return QDir(state.appPath).filePath(QString::fromLatin1(fileName));
}

bool readBytes(const QString &path, QByteArray &bytes, ReadResult &result)
{
    result.path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return false;
    }
    bytes = file.read(MaxSettingsFileSize);
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return false;
    }
    return true;
}

ReadResult finish(ReadResult result, const SettingsReader &reader, bool ok)
{
    result.ok = ok;
    if (!ok)
        result.error = reader.error();
    return result;
}

} // namespace

WriteResult writeComPortFile(const AcquisitionState &state)
{
    // Printed text rather than the quoted form: the sign's place (a blank for a
    // positive number), the digits and one trailing blank.
    QByteArray line = QByteArray::number(state.comPort);
    if (state.comPort >= 0)
        line.prepend(' ');
    line += " \r\n";
    return replaceFile(settingsPath(state, ComPortFileName), line);
}

WriteResult SaveCardSettings(const AcquisitionState &s)
{
    SettingsWriter w;
    for (int n = 0; n < LineCount; ++n)
        w.writeFlag(s.dioDirection[n]);
    // Within each channel the zero counts come before the span counts.
    for (int c = 0; c < ChannelCount; ++c) {
        w.writeInteger(s.inputType[c]);
        w.writeDouble(s.inputRange[c]);
        w.writeInteger(s.zero10V[c]);
        w.writeInteger(s.zero200mV[c]);
        w.writeInteger(s.span10V[c]);
        w.writeInteger(s.span200mV[c]);
        w.writeInteger(s.rtdCal[c]);
        w.writeFlag(s.plotEnable[c]);
        w.writeFlag(s.saveEnable[c]);
    }
    return replaceFile(settingsPath(s, CardSettingsFileName), w.data());
}

WriteResult SaveLogSettings(const AcquisitionState &s)
{
    SettingsWriter w;
    w.writeString(s.saveFileName);
    w.writeFlag(s.useChannelHeaders);
    w.writeInteger(s.separatorMode);
    w.writeInteger(s.saveIntervalUnit);
    w.writeInteger(s.saveInterval);
    w.writeInteger(s.stampMode);
    for (int c = 0; c < ChannelCount; ++c)
        w.writeString(s.channelNames[c]);
    return replaceFile(settingsPath(s, LogSettingsFileName), w.data());
}

ReadResult readComPortFile(AcquisitionState &s)
{
    ReadResult result;
    QByteArray bytes;
    if (!readBytes(settingsPath(s, ComPortFileName), bytes, result))
        return result;
    SettingsReader r(bytes);
    return finish(result, r, r.readInteger(s.comPort));
}

ReadResult readCardSettings(AcquisitionState &s)
{
    ReadResult result;
    QByteArray bytes;
    if (!readBytes(settingsPath(s, CardSettingsFileName), bytes, result))
        return result;
    SettingsReader r(bytes);
    for (int n = 0; n < LineCount; ++n) {
        if (!r.readFlag(s.dioDirection[n]))
            return finish(result, r, false);
    }
    for (int c = 0; c < ChannelCount; ++c) {
        const bool ok = r.readInteger(s.inputType[c]) && r.readDouble(s.inputRange[c])
            && r.readInteger(s.zero10V[c]) && r.readInteger(s.zero200mV[c])
            && r.readInteger(s.span10V[c]) && r.readInteger(s.span200mV[c])
            && r.readInteger(s.rtdCal[c]) && r.readFlag(s.plotEnable[c])
            && r.readFlag(s.saveEnable[c]);
        if (!ok)
            return finish(result, r, false);
    }
    return finish(result, r, true);
}

ReadResult readLogSettings(AcquisitionState &s)
{
    ReadResult result;
    QByteArray bytes;
    if (!readBytes(settingsPath(s, LogSettingsFileName), bytes, result))
        return result;
    SettingsReader r(bytes);
    bool ok = r.readString(s.saveFileName) && r.readFlag(s.useChannelHeaders)
        && r.readInteger(s.separatorMode) && r.readInteger(s.saveIntervalUnit)
        && r.readInteger(s.saveInterval) && r.readInteger(s.stampMode);
    for (int c = 0; ok && c < ChannelCount; ++c)
        ok = r.readString(s.channelNames[c]);
    return finish(result, r, ok);
}

} // namespace tarv::core
