// The program: the shared state, the operator's prompts and the clock, then the
// start-up sequence, which loads the main window.
#include "core/clock.h"
#include "core/startup.h"
#include "ui/designfonts.h"
#include "ui/main/artwork.h"
#include "ui/main/mdidaq.h"
#include "ui/main/qtprompts.h"
#include "ui/uitexts.h"

#include <QApplication>
#include <QDir>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvane 2020"));
    QApplication::setWindowIcon(tarv::ui::programIcon());
    tarv::ui::useDesignFonts();

    tarv::core::AcquisitionState state;
    tarv::ui::QtPrompts prompts;
    tarv::core::SystemClock clock;
    std::unique_ptr<tarv::ui::MdiDaq> window;

    const tarv::core::StartupResult started
        = tarv::core::Main(state, {QDir::currentPath(), tarv::core::installedDataDirs()}, [&] {
              window = std::make_unique<tarv::ui::MdiDaq>(state, prompts, clock);
              prompts.setParentWindow(window.get());
              window->load();
          });
    if (!started.ok) {
        prompts.message(
            started.errorMessage, tarv::ui::ApplicationTitle, tarv::core::PromptIcon::Error);
        return 1;
    }
    if (!started.fallbackWriteErrors.isEmpty()) {
        prompts.message(QStringLiteral("The settings files were unreadable and could not be "
                                       "reset; the port choice and card settings may be lost.\n")
                + started.fallbackWriteErrors.join(u'\n'),
            tarv::ui::ApplicationTitle, tarv::core::PromptIcon::Warning);
    }
    return app.exec();
}
