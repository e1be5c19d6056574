#pragma once

#include "support/fakeclock.h"
#include "support/feeddevice.h"
#include "support/scriptedprompts.h"
#include "ui/main/frmstatus.h"
#include "ui/main/mdidaq.h"

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace tarv::testsupport {

// Deletes what deleteLater() queued: closed windows are discarded that way.
inline void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A main window on a fresh state with the defaults, its settings directory a
// temporary one, no port to find (COM255: no COM entry in appPath and no adapter
// with this number) and no splash. `line` is a serial line the test may attach to
// the window's link. The window goes first when the rig goes, and whatever it
// discarded with it.
class MainWindowRig
{
public:
    MainWindowRig()
    {
        core::applyDefaults(state);
        state.appPath = dir.path();
        state.comPort = 255;
    }
    ~MainWindowRig()
    {
        window.reset();
        processDeferredDeletes();
    }

    ui::MdiDaq &make(
        core::Prompts &answers, std::chrono::milliseconds splash = std::chrono::milliseconds(0))
    {
        window = std::make_unique<ui::MdiDaq>(state, answers, clock, ui::MdiDaqOptions {splash});
        return *window;
    }
    ui::MdiDaq &make() { return make(prompts); }

    // The status window, when it is open.
    ui::FrmStatus *statusWindow() const
    {
        QMdiSubWindow *frame = window ? window->childWindow(QStringLiteral("ViewStatus")) : nullptr;
        return frame ? qobject_cast<ui::FrmStatus *>(frame->widget()) : nullptr;
    }

    QString filePath(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    core::AcquisitionState state;
    ScriptedPrompts prompts;
    FakeClock clock;
    FeedDevice line;
    std::unique_ptr<ui::MdiDaq> window;
};

} // namespace tarv::testsupport
