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

ReadResult finish(const SettingsReader &reader, bool ok)
{
    ReadResult result;
    result.ok = ok;
    if (!ok)
        result.error = reader.error();
    return result;
}

using BytesReader = ReadResult (*)(const QByteArray &, AcquisitionState &);

ReadResult readFile(const QString &path, AcquisitionState &state, BytesReader readFrom)
{
    QFile file(path);
    ReadResult failed;
    failed.path = path;
    if (!file.open(QIODevice::ReadOnly)) {
        failed.error = file.errorString();
        return failed;
    }
    const QByteArray bytes = file.read(MaxSettingsFileSize);
    if (file.error() != QFileDevice::NoError) {
        failed.error = file.errorString();
        return failed;
    }
    ReadResult result = readFrom(bytes, state);
    result.path = path;
    return result;
}

} // namespace

QByteArray comPortFileBytes(const AcquisitionState &state)
{
    // Printed text rather than the quoted form: the sign's place (a blank for a
    // positive number), the digits and one trailing blank.
    QByteArray line = QByteArray::number(state.comPort);
    if (state.comPort >= 0)
        line.prepend(' ');
    line += " \r\n";
    return line;
}

QByteArray cardSettingsBytes(const AcquisitionState &s)
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
    return w.data();
}

QByteArray logSettingsBytes(const AcquisitionState &s)
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
    return w.data();
}

WriteResult writeComPortFile(const AcquisitionState &state)
{
    return replaceFile(settingsPath(state, ComPortFileName), comPortFileBytes(state));
}

WriteResult SaveCardSettings(const AcquisitionState &state)
{
    return replaceFile(settingsPath(state, CardSettingsFileName), cardSettingsBytes(state));
}

WriteResult SaveLogSettings(const AcquisitionState &state)
{
    return replaceFile(settingsPath(state, LogSettingsFileName), logSettingsBytes(state));
}

ReadResult readComPortFrom(const QByteArray &bytes, AcquisitionState &s)
{
    SettingsReader r(bytes);
    return finish(r, r.readInteger(s.comPort));
}

ReadResult readCardSettingsFrom(const QByteArray &bytes, AcquisitionState &s)
{
    SettingsReader r(bytes);
    for (int n = 0; n < LineCount; ++n) {
        if (!r.readFlag(s.dioDirection[n]))
            return finish(r, false);
    }
    for (int c = 0; c < ChannelCount; ++c) {
        const bool ok = r.readInteger(s.inputType[c]) && r.readDouble(s.inputRange[c])
            && r.readInteger(s.zero10V[c]) && r.readInteger(s.zero200mV[c])
            && r.readInteger(s.span10V[c]) && r.readInteger(s.span200mV[c])
            && r.readInteger(s.rtdCal[c]) && r.readFlag(s.plotEnable[c])
            && r.readFlag(s.saveEnable[c]);
        if (!ok)
            return finish(r, false);
    }
    return finish(r, true);
}

ReadResult readLogSettingsFrom(const QByteArray &bytes, AcquisitionState &s)
{
    SettingsReader r(bytes);
    bool ok = r.readString(s.saveFileName) && r.readFlag(s.useChannelHeaders)
        && r.readInteger(s.separatorMode) && r.readInteger(s.saveIntervalUnit)
        && r.readInteger(s.saveInterval) && r.readInteger(s.stampMode);
    for (int c = 0; ok && c < ChannelCount; ++c)
        ok = r.readString(s.channelNames[c]);
    return finish(r, ok);
}

ReadResult readComPortFile(AcquisitionState &s)
{
    return readFile(settingsPath(s, ComPortFileName), s, readComPortFrom);
}

ReadResult readCardSettings(AcquisitionState &s)
{
    return readFile(settingsPath(s, CardSettingsFileName), s, readCardSettingsFrom);
}

ReadResult readLogSettings(AcquisitionState &s)
{
    return readFile(settingsPath(s, LogSettingsFileName), s, readLogSettingsFrom);
}

} // namespace tarv::core
