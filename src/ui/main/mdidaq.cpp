#include "ui/main/mdidaq.h"

#include "acquisition/acquisitionsession.h"
#include "core/settingsfiles.h"
#include "link/cardlink.h"
#include "logging/logoutput.h"
#include "publish/publisher.h"
#include "ui/config/frmcalib.h"
#include "ui/config/frmconfig.h"
#include "ui/logging/frmsave.h"
#include "ui/main/artwork.h"
#include "ui/main/desktopreporter.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmalarms.h"
#include "ui/main/frmcardcomm.h"
#include "ui/main/frmpublishing.h"
#include "ui/main/frmstatus.h"
#include "ui/main/frmviewanalogdata.h"
#include "ui/main/frmviewdigitaldata.h"
#include "ui/trend/frmtaskmanager.h"
#include "ui/trend/frmtrend.h"
#include "ui/twips.h"
#include "ui/uitexts.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStringList>
#include <QTimer>

namespace tarv::ui {

namespace {

using namespace std::chrono_literals;

constexpr auto SaveInterval = 1000ms;

} // namespace

MdiDaq::MdiDaq(core::AcquisitionState &state, core::Prompts &prompts, const core::Clock &clock,
    QWidget *parent)
    : MdiDaq(state, prompts, clock, MdiDaqOptions {}, parent)
{ }

MdiDaq::MdiDaq(core::AcquisitionState &state, core::Prompts &prompts, const core::Clock &clock,
    const MdiDaqOptions &options, QWidget *parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_prompts(prompts)
    , m_clock(clock)
    , m_options(options)
    , m_mdiArea(new QMdiArea(this))
    , m_reporter(new DesktopReporter(prompts, this))
    , m_session(new acquisition::AcquisitionSession(state, clock, *m_reporter, {}, this))
    , m_tmrSave(new QTimer(this))
{
    setObjectName(QStringLiteral("mdiDaq"));
    setWindowTitle(MainWindowCaption);
    setWindowIcon(programIcon());
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdiArea);
    buildMenus();
    resize(twips(13035), twips(6855) + menuBar()->sizeHint().height());

    link().setObjectName(QStringLiteral("cm"));
    connect(&link(), &link::CardLink::taskStateChanged, this, &MdiDaq::onTaskStateChanged);

    m_tmrSave->setObjectName(QStringLiteral("tmrSave"));
    connect(m_tmrSave, &QTimer::timeout, this, &MdiDaq::saveTick);
    connect(this, &MdiDaq::saveTick, m_session, &acquisition::AcquisitionSession::tick);
    m_tmrSave->start(SaveInterval);

    registerChildWindows();
}

MdiDaq::~MdiDaq() = default;

link::CardLink &MdiDaq::link()
{
    return m_session->link();
}

logging::Logger &MdiDaq::logger()
{
    return m_session->output<logging::LogOutput>()->logger();
}

publish::Publisher &MdiDaq::publisher()
{
    return *m_session->output<publish::Publisher>();
}

void MdiDaq::buildMenus()
{
    QMenu *file = addMenu(QStringLiteral("File"), QStringLiteral("File"));
    QAction *fileSave = addItem(file, QStringLiteral("FileSave"), QStringLiteral("Save"));
    fileSave->setCheckable(true);
    connect(fileSave, &QAction::triggered, this, &MdiDaq::onFileSave);
    connect(addItem(file, QStringLiteral("FileExit"), QStringLiteral("Exit")), &QAction::triggered,
        this, &QWidget::close);

    QMenu *view = addMenu(QStringLiteral("View"), QStringLiteral("View"));
    addItem(view, QStringLiteral("ViewAnalogData"), QStringLiteral("Analog Data"));
    addItem(view, QStringLiteral("ViewDigitalData"), QStringLiteral("Digital Data"));
    addSeparator(view, QStringLiteral("sv2"));
    addItem(view, QStringLiteral("ViewTrend"), QStringLiteral("Trend"));
    addItem(view, QStringLiteral("ViewHistory"), QStringLiteral("History"));
    addSeparator(view, QStringLiteral("sv1"));
    addItem(view, QStringLiteral("ViewStatus"), QStringLiteral("Status"));

    QMenu *task = addMenu(QStringLiteral("Task"), QStringLiteral("Task"));
    connect(addItem(task, QStringLiteral("TaskStart"), QStringLiteral("Start")),
        &QAction::triggered, &link(), &link::CardLink::taskStart);
    QAction *taskStop = addItem(task, QStringLiteral("TaskStop"), QStringLiteral("Stop"));
    taskStop->setEnabled(false);
    connect(taskStop, &QAction::triggered, &link(), &link::CardLink::taskStop);
    addSeparator(task, QStringLiteral("st1"));
    addItem(task, QStringLiteral("TaskManager"), QStringLiteral("Task Manager"));

    QMenu *options = addMenu(QStringLiteral("Options"), QStringLiteral("Options"));
    addItem(options, QStringLiteral("OptionsCardConfig"), QStringLiteral("Card Configuration"));
    addItem(options, QStringLiteral("OptionsCardComm"), QStringLiteral("Card Communication"));
    addSeparator(options, QStringLiteral("so1"));
    addItem(options, QStringLiteral("OptionsSettings"), QStringLiteral("Settings"));
    addItem(options, QStringLiteral("OptionsCalibrate"), QStringLiteral("Calibration"));
    connect(addItem(options, QStringLiteral("OptionsPublishing"), QStringLiteral("Publishing...")),
        &QAction::triggered, this, &MdiDaq::showPublishingDialog);
    connect(addItem(options, QStringLiteral("OptionsAlarms"), QStringLiteral("Alarms...")),
        &QAction::triggered, this, &MdiDaq::showAlarmsDialog);

    QMenu *help = addMenu(QStringLiteral("Help"), QStringLiteral("Help"));
    addItem(help, QStringLiteral("HelpContents"), QStringLiteral("Contents"));
    connect(addItem(help, QStringLiteral("HelpAbout"), QStringLiteral("About")),
        &QAction::triggered, this, &MdiDaq::showAbout);
}

QMenu *MdiDaq::addMenu(const QString &name, const QString &caption)
{
    QMenu *menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    return menu;
}

QAction *MdiDaq::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

void MdiDaq::addSeparator(QMenu *menu, const QString &name)
{
    menu->addSeparator()->setObjectName(name);
}

void MdiDaq::registerChildWindows()
{
    setChildFactory(QStringLiteral("ViewStatus"), [this] {
        auto *status = new FrmStatus(m_state);
        status->setSaveProblemProvider([session = QPointer(m_session)] {
            return session ? session->output<logging::LogOutput>()->logger().writeProblem()
                           : QString();
        });
        status->setOutputLines([session = QPointer(m_session)] {
            return session ? session->statuses() : std::vector<acquisition::OutputStatus> {};
        });
        return status;
    });
    setChildFactory(
        QStringLiteral("OptionsCardComm"), [this] { return new FrmCardComm(m_state, m_prompts); });
    setChildFactory(
        QStringLiteral("ViewAnalogData"), [this] { return new FrmViewAnalogData(m_state); });
    setChildFactory(QStringLiteral("ViewDigitalData"), [this] {
        return new FrmViewDigitalData(m_state, [this](int line) {
            // A click toggles: off becomes on, anything else off. A line an alarm rule
            // drives is not the operator's to switch.
            if (m_session->setOutput(line, m_state.doCommand[std::size_t(line)] == core::False,
                    acquisition::OutputSource::Operator)
                == acquisition::OutputRefusal::OwnedByRule)
                m_prompts.message(QStringLiteral("Output D%1 is driven by the alarm \"%2\".")
                                      .arg(line)
                                      .arg(m_state.lineOwner[std::size_t(line)]),
                    ApplicationTitle, core::PromptIcon::Information);
        });
    });
    setChildFactory(
        QStringLiteral("ViewTrend"), [this] { return new FrmTrend(m_state, m_clock, m_prompts); });
    setChildFactory(QStringLiteral("TaskManager"), [this] { return new FrmTaskManager(m_state); });
    setChildFactory(QStringLiteral("OptionsCardConfig"),
        [this] { return new config::FrmConfig(m_state, m_prompts); });
    setChildFactory(QStringLiteral("OptionsCalibrate"),
        [this] { return new config::FrmCalib(m_state, m_prompts); });
    setSaveDialog([this] {
        FrmSave dialog(m_state, logger(), m_prompts, this);
        dialog.exec();
    });
}

QAction *MdiDaq::action(const QString &name) const
{
    return menuBar()->findChild<QAction *>(name);
}

void MdiDaq::setChildFactory(const QString &actionName, ChildFactory factory)
{
    const bool wired = m_factories.contains(actionName);
    m_factories[actionName] = std::move(factory);
    if (wired)
        return;
    if (QAction *item = action(actionName))
        connect(item, &QAction::triggered, this, [this, actionName] { openChild(actionName); });
}

QMdiSubWindow *MdiDaq::openChild(const QString &actionName)
{
    if (QMdiSubWindow *open = childWindow(actionName)) {
        if (open->isMinimized())
            open->showNormal();
        m_mdiArea->setActiveSubWindow(open);
        open->raise();
        return open;
    }
    const auto factory = m_factories.find(actionName);
    if (factory == m_factories.end() || !factory->second)
        return nullptr;
    QWidget *widget = factory->second();
    if (!widget)
        return nullptr;
    // A window that chose its own frame buttons gets them; the rest the usual ones.
    const Qt::WindowFlags own = widget->windowFlags();
    const Qt::WindowFlags flags = own.testFlag(Qt::CustomizeWindowHint)
        ? (own & ~Qt::WindowType_Mask) | Qt::SubWindow
        : Qt::WindowFlags();
    QMdiSubWindow *frame = m_mdiArea->addSubWindow(widget, flags);
    // Closing discards the window; the next choice of the item builds a fresh one.
    frame->setAttribute(Qt::WA_DeleteOnClose);
    m_children[actionName] = frame;
    frame->show();
    m_mdiArea->setActiveSubWindow(frame);
    return frame;
}

QMdiSubWindow *MdiDaq::childWindow(const QString &actionName) const
{
    const auto it = m_children.find(actionName);
    // A closed frame is hidden at once but deleted only later.
    if (it == m_children.end() || !it->second || it->second->isHidden())
        return nullptr;
    return it->second;
}

void MdiDaq::load()
{
    if (m_options.splashDuration > 0ms) {
        auto *splash = new FrmAbout(this, m_options.splashDuration);
        splash->exec(); // discards itself when its timer closes it
    }
    show();
    // Nothing here stops the start: a missing or refused port shows in the status
    // window as "COM not found", with the reason as its tooltip, and the run goes on
    // without the card.
    m_session->begin();
    openChild(QStringLiteral("ViewStatus"));
}

void MdiDaq::startPublishing()
{
    m_session->startOutputs();
}

void MdiDaq::showPublishingDialog()
{
    FrmPublishing dialog(
        m_state.appPath, m_prompts, [this](const publish::PublishSettings &) { startPublishing(); },
        this);
    dialog.exec();
}

void MdiDaq::showAlarmsDialog()
{
    // The session takes the new rules at once; a running task goes on.
    FrmAlarms dialog(
        m_state, m_prompts, [this](const alarms::AlarmSettings &) { m_session->startOutputs(); },
        this);
    dialog.exec();
}

void MdiDaq::showAbout()
{
    // One at a time: chosen again, it comes to the front and keeps its own timer.
    if (m_about) {
        m_about->raise();
        m_about->activateWindow();
        return;
    }
    m_about = new FrmAbout(this);
    m_about->show();
}

void MdiDaq::onFileSave()
{
    if (m_saveDialog)
        m_saveDialog();
    // The check mark is logging's state, whatever the click did to it.
    action(QStringLiteral("FileSave"))->setChecked(m_state.savingActive == core::True);
}

void MdiDaq::onTaskStateChanged(bool running)
{
    action(QStringLiteral("TaskStart"))->setEnabled(!running);
    action(QStringLiteral("TaskStop"))->setEnabled(running);
}

void MdiDaq::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        m_session->stop();
        saveSettingsAtClose();
        m_mdiArea->closeAllSubWindows();
        if (m_about)
            m_about->close();
    }
    event->accept();
}

void MdiDaq::saveSettingsAtClose()
{
    QStringList problems;
    for (const auto &write : {core::SaveCardSettings, core::SaveLogSettings}) {
        const core::WriteResult result = write(m_state);
        if (!result.ok)
            problems.append(result.path + QStringLiteral(": ") + result.error);
    }
    // The program ends either way; the operator should know the settings are lost.
    if (!problems.isEmpty()) {
        m_prompts.message(
            QStringLiteral("The settings could not be saved.\n") + problems.join(u'\n'),
            ApplicationTitle, core::PromptIcon::Error);
    }
}

} // namespace tarv::ui
