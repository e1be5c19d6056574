#pragma once

#include "core/acquisitionstate.h"
#include "core/settingsfiles.h"
#include "core/thermotables.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <functional>

namespace tarv::core {

struct StartupOptions
{
    // The directory of the settings files and the first place to look for the
    // tables: the working directory when the options are made.
    QString appPath = QDir::currentPath();
    // Where else to look for a table that appPath lacks.
    QStringList tableDirs = installedDataDirs();
    // Whether a settings file that cannot be read makes tarv.con and tarvo.con be
    // written afresh. The unattended service never writes the operator's files.
    bool rewriteOnFallback = true;
};

struct StartupResult
{
    bool ok = false; // false: a table is missing or damaged and start-up must stop
    QString errorMessage; // for the operator when !ok
    bool fallbackTaken = false; // a settings file was missing or unreadable
    QString fallbackReason; // which file and what was wrong; never shown at start-up
    // tarv.con or tarvo.con could not be rewritten on the fallback path; the
    // program tells the operator once its window is up.
    QStringList fallbackWriteErrors;
};

// The start-up sequence: resets the link state, fixes appPath, loads the two
// thermocouple tables, gives every shared variable its default, reads tarv.con,
// tarvo.con and tarvs.con over the defaults and calls loadMainWindow.
//
// A missing or short table stops here: nothing else is set, no settings file is
// touched and loadMainWindow is not called. Any problem with a settings file is
// silent: comPort goes back to 1, tarv.con and tarvo.con are rewritten from memory
// (whatever had been read before the problem over the defaults), tarvs.con is
// left alone, and the program carries on to its window.
StartupResult Main(AcquisitionState &state, const StartupOptions &options,
    const std::function<void()> &loadMainWindow);

// Reads tarv.con, tarvo.con and tarvs.con in that order over what the state holds,
// stopping at the first that fails; that one's result, or an ok one.
ReadResult readSettingsFiles(AcquisitionState &state);

} // namespace tarv::core
