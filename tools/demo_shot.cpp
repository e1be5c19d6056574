// Screenshot driver for the demo on a machine without a display: starts the
// program's main window in the working directory (next to a running simulated
// card), waits for the card to answer, starts its task, opens every View window,
// lets live frames arrive for a few seconds and saves a picture of the screen as
// screenshot.png in the working directory, whose path it prints.
#include "core/clock.h"
#include "core/startup.h"
#include "link/cardlink.h"
#include "ui/designfonts.h"
#include "ui/main/mdidaq.h"
#include "ui/main/qtprompts.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using namespace std::chrono_literals;

constexpr auto CardAnswerLimit = 10s;
constexpr auto LiveFrames = 6s;
constexpr auto PollInterval = 100ms;

// Chooses each menu item of the View menu (the history item has no window), so
// views added to the program later appear in the picture too.
void openViews(tarv::ui::MdiDaq &window)
{
    const auto items = window.findChildren<QAction *>();
    for (QAction *item : items) {
        const QString name = item->objectName();
        if (name.startsWith(QStringLiteral("View")) && name != QStringLiteral("ViewHistory"))
            item->trigger();
    }
}

// Fills the screen with the main window and lays its child windows out in rows,
// in the order they were opened, so none hides another in the picture.
void arrange(tarv::ui::MdiDaq &window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    QCoreApplication::processEvents();
    const int width = window.mdiArea()->viewport()->width();
    QPoint at(0, 0);
    int rowHeight = 0;
    for (QMdiSubWindow *frame : window.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        if (at.x() > 0 && at.x() + frame->width() > width) {
            at = QPoint(0, at.y() + rowHeight);
            rowHeight = 0;
        }
        frame->move(at);
        at.rx() += frame->width();
        rowHeight = std::max(rowHeight, frame->height());
    }
}

// Saves the whole screen; modal boxes the run put up are part of the picture.
bool saveScreen(const QString &path)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(path);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvane 2020"));
    tarv::ui::useDesignFonts();

    tarv::core::AcquisitionState state;
    tarv::ui::QtPrompts prompts;
    tarv::core::SystemClock clock;
    std::unique_ptr<tarv::ui::MdiDaq> window;

    const auto started = tarv::core::Main(state, {}, [&] {
        window = std::make_unique<tarv::ui::MdiDaq>(state, prompts, clock);
        prompts.setParentWindow(window.get());
        window->load();
    });
    if (!started.ok || !window) {
        std::fprintf(stderr, "demo_shot: %s\n", qPrintable(started.errorMessage));
        return 1;
    }

    const QString path = QDir::current().absoluteFilePath(QStringLiteral("screenshot.png"));
    int exitCode = 0;
    auto finish = [&] {
        if (!saveScreen(path)) {
            std::fprintf(stderr, "demo_shot: could not save %s\n", qPrintable(path));
            exitCode = 1;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
        // A box still open would hold the close up in its own loop.
        for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i)
            QApplication::activeModalWidget()->close();
        window->close();
        QApplication::exit(exitCode);
    };

    // Timer-driven rather than a blocking wait: a box the program raises runs its own
    // event loop, and these steps still happen inside it.
    const QDeadlineTimer answerDeadline(CardAnswerLimit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (state.cardConnected != tarv::core::True && !answerDeadline.hasExpired())
            return;
        poll.stop();
        if (state.cardConnected != tarv::core::True) {
            std::fprintf(stderr, "demo_shot: the card did not answer; the picture shows why\n");
            exitCode = 1;
        }
        window->action(QStringLiteral("TaskStart"))->trigger();
        openViews(*window);
        arrange(*window);
        QTimer::singleShot(LiveFrames, finish);
    });
    poll.start(PollInterval);
    return app.exec();
}
