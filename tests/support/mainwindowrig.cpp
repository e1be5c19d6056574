#include "support/mainwindowrig.h"

#include <QCoreApplication>
#include <QMdiSubWindow>

namespace tarv::testsupport {

MainWindowRig::MainWindowRig()
{
    core::applyDefaults(state);
    state.appPath = dir.path();
    // No COM entry in appPath and no adapter with this number: no port.
    state.comPort = 255;
}

MainWindowRig::~MainWindowRig()
{
    window.reset();
    processDeferredDeletes();
}

ui::MdiDaq &MainWindowRig::make(core::Prompts &answers, std::chrono::milliseconds splash)
{
    window = std::make_unique<ui::MdiDaq>(state, answers, clock, ui::MdiDaqOptions {splash});
    return *window;
}

ui::FrmStatus *MainWindowRig::statusWindow() const
{
    QMdiSubWindow *frame = window ? window->childWindow(QStringLiteral("ViewStatus")) : nullptr;
    return frame ? qobject_cast<ui::FrmStatus *>(frame->widget()) : nullptr;
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace tarv::testsupport
