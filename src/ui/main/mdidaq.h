#pragma once

#include "core/acquisitionstate.h"
#include "core/clock.h"
#include "core/prompts.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <map>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;

namespace tarv::acquisition {
class AcquisitionSession;
}
namespace tarv::link {
class CardLink;
}
namespace tarv::logging {
class Logger;
}
namespace tarv::publish {
class Publisher;
}

namespace tarv::ui {

class DesktopReporter;
class FrmAbout;

struct MdiDaqOptions
{
    // How long the About window shows as the splash before the window appears;
    // zero leaves the splash out.
    std::chrono::milliseconds splashDuration {2000};
};

// The frame window: its menus reach every other window and the card's task, it owns
// the acquisition session (with the card link "cm") and the logger's one-second
// timer, and closing it stops the card and saves the settings.
class MdiDaq : public QMainWindow
{
    Q_OBJECT
public:
    // Makes the widget of a child window; it is shown inside the main window's area.
    using ChildFactory = std::function<QWidget *()>;

    MdiDaq(core::AcquisitionState &state, core::Prompts &prompts, const core::Clock &clock,
        QWidget *parent = nullptr);
    MdiDaq(core::AcquisitionState &state, core::Prompts &prompts, const core::Clock &clock,
        const MdiDaqOptions &options, QWidget *parent = nullptr);
    ~MdiDaq() override;

    // The start: splash, show, open the card's port and ask its version, status window.
    void load();

    acquisition::AcquisitionSession &session() { return *m_session; }
    link::CardLink &link();
    logging::Logger &logger();
    publish::Publisher &publisher();
    // Reads tarvane.ini and restarts the outputs with it (publishing as it says).
    void startPublishing();
    QMdiArea *mdiArea() const { return m_mdiArea; }
    core::AcquisitionState &state() { return m_state; }
    core::Prompts &prompts() { return m_prompts; }
    const core::Clock &clock() const { return m_clock; }

    // The menu item of that objectName ("TaskStart", "ViewTrend", ...), or null.
    QAction *action(const QString &name) const;

    // Makes the menu item open the child window the factory builds: one at a time;
    // chosen again while open, it comes to the front; closed, it is discarded and
    // the next choice builds a fresh one.
    void setChildFactory(const QString &actionName, ChildFactory factory);

    // Opens the item's child window as if the item had been chosen; returns its frame.
    QMdiSubWindow *openChild(const QString &actionName);
    // The open child window of the item, or null.
    QMdiSubWindow *childWindow(const QString &actionName) const;

    // File > Save runs this (the logging dialog, modal); afterwards the item's check
    // mark shows whether logging is on.
    void setSaveDialog(std::function<void()> showDialog) { m_saveDialog = std::move(showDialog); }

signals:
    // tmrSave's one-second tick, for the periodic logger.
    void saveTick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    QMenu *addMenu(const QString &name, const QString &caption);
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    void addSeparator(QMenu *menu, const QString &name);
    void registerChildWindows();
    void showAbout();
    void onFileSave();
    void onTaskStateChanged(bool running);
    void saveSettingsAtClose();
    void showPublishingDialog();
    void showAlarmsDialog();

    core::AcquisitionState &m_state;
    core::Prompts &m_prompts;
    const core::Clock &m_clock;
    MdiDaqOptions m_options;
    QMdiArea *m_mdiArea = nullptr;
    DesktopReporter *m_reporter = nullptr;
    acquisition::AcquisitionSession *m_session = nullptr;
    QTimer *m_tmrSave = nullptr; // the session's tick
    std::map<QString, ChildFactory> m_factories;
    std::map<QString, QPointer<QMdiSubWindow>> m_children;
    QPointer<FrmAbout> m_about;
    std::function<void()> m_saveDialog;
    bool m_closed = false;
};

} // namespace tarv::ui
