#include "core/startup.h"

#include "core/settingsfiles.h"

#include <QDir>

namespace tarv::core {

namespace {

void resetLinkState(AcquisitionState &s)
{
    s.comPort = 1;
    s.cardConnected = s.portOpened = s.taskRunning = s.savingActive = False;
    s.analogFrame = DefaultAnalogFrame;
}

// Restores comPort and the card settings after a settings file let us down. The
// port goes back to COM 1 because the value read may be the very thing that broke.
void takeFallback(
    AcquisitionState &s, StartupResult &result, const ReadResult &failure, bool rewrite)
{
    result.fallbackTaken = true;
    result.fallbackReason
        = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failure.path), failure.error);
    s.comPort = 1;
    if (!rewrite)
        return;
    for (const WriteResult &written : {writeComPortFile(s), SaveCardSettings(s)}) {
        if (!written.ok)
            result.fallbackWriteErrors
                << QStringLiteral("Cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(written.path), written.error);
    }
}

} // namespace

StartupResult Main(AcquisitionState &state, const StartupOptions &options,
    const std::function<void()> &loadMainWindow)
{
    StartupResult result;
    resetLinkState(state);
    // Made absolute once, so a later change of working directory cannot move the
    // settings files.
    state.appPath = QDir(options.appPath).absolutePath();

    const auto loadTable = [&](const char *fileName, int needed, TcTable &table) {
        const TableLoad load = findAndLoadThermocoupleTable(
            QString::fromLatin1(fileName), state.appPath, options.tableDirs, needed, table);
        result.errorMessage = load.message;
        return load.ok;
    };
    if (!loadTable("j.tc", JTableCount, state.jTable)
        || !loadTable("k.tc", KTableCount, state.kTable))
        return result;

    applyDefaults(state);

    if (const ReadResult r = readSettingsFiles(state); !r.ok)
        takeFallback(state, result, r, options.rewriteOnFallback);

    result.ok = true;
    if (loadMainWindow)
        loadMainWindow();
    return result;
}

ReadResult readSettingsFiles(AcquisitionState &state)
{
    // Each reader stores what it has read before it fails; the later files are not
    // read once one has failed.
    for (const auto read : {readComPortFile, readCardSettings, readLogSettings}) {
        if (const ReadResult r = read(state); !r.ok)
            return r;
    }
    return {true, {}, {}};
}

} // namespace tarv::core
