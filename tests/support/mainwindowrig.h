#pragma once

#include "core/acquisitionstate.h"
#include "support/fakeclock.h"
#include "support/feeddevice.h"
#include "support/scriptedprompts.h"
#include "ui/main/frmstatus.h"
#include "ui/main/mdidaq.h"

#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace tarv::testsupport {

// A main window on a fresh state with the defaults, its settings directory a
// temporary one, no port to find (COM255) and no splash. `line` is a serial line
// the test may attach to the window's link. The window goes first when the rig
// goes, and whatever it discarded with it.
class MainWindowRig
{
public:
    MainWindowRig();
    ~MainWindowRig();
    MainWindowRig(const MainWindowRig &) = delete;
    MainWindowRig &operator=(const MainWindowRig &) = delete;

    ui::MdiDaq &make(
        core::Prompts &answers, std::chrono::milliseconds splash = std::chrono::milliseconds(0));
    ui::MdiDaq &make() { return make(prompts); }

    // The status window, when it is open.
    ui::FrmStatus *statusWindow() const;

    QString filePath(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    core::AcquisitionState state;
    ScriptedPrompts prompts;
    FakeClock clock;
    FeedDevice line;
    std::unique_ptr<ui::MdiDaq> window;
};

// Deletes what deleteLater() queued: closed windows are discarded that way.
void processDeferredDeletes();

} // namespace tarv::testsupport
