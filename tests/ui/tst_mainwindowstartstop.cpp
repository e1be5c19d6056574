#include "link/cardlink.h"
#include "support/mainwindowrig.h"
#include "support/ptypair.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmstatus.h"
#include "ui/main/mdidaq.h"
#include "ui/uitexts.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <memory>

using tarv::core::PromptIcon;
using tarv::testsupport::MainWindowRig;
using tarv::testsupport::processDeferredDeletes;
using tarv::testsupport::PtyPair;
using tarv::testsupport::ScriptedPrompts;
using tarv::ui::FrmAbout;
using tarv::ui::FrmStatus;
using tarv::ui::MdiDaq;

namespace {

QList<FrmAbout *> visibleAboutWindows()
{
    QList<FrmAbout *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<FrmAbout *>(w); about && about->isVisible())
            found.append(about);
    }
    return found;
}

} // namespace

class TestMainWindowStartStop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void splashShowsBeforeTheWindow();
    void startWithoutPort();
    void startAndCloseOnTheWire();
    void closeReportsSettingsThatCannotBeWritten();
    void closeDuringTheStartPause();
    void cardUnpluggedAndPluggedBack();
    void aboutOpensWithoutBlockingOnce();

private:
    std::unique_ptr<MainWindowRig> m_rig;
};

void TestMainWindowStartStop::init()
{
    m_rig = std::make_unique<MainWindowRig>();
    QVERIFY(m_rig->dir.isValid());
}

void TestMainWindowStartStop::cleanup()
{
    m_rig.reset();
}

void TestMainWindowStartStop::splashShowsBeforeTheWindow()
{
    MdiDaq &window = m_rig->make(m_rig->prompts, std::chrono::minutes(1));
    bool sawSplash = false;
    bool splashModal = false;
    bool mainVisible = true;
    int splashInterval = 0;
    // Runs inside the splash's own event loop; its tick ends the wait at once.
    QTimer::singleShot(0, this, [&] {
        const QList<FrmAbout *> about = visibleAboutWindows();
        sawSplash = about.size() == 1;
        if (!sawSplash)
            return;
        splashModal = about.first()->isModal();
        splashInterval = about.first()->findChild<QTimer *>(QStringLiteral("Timer1"))->interval();
        mainVisible = window.isVisible();
        about.first()->tick();
    });
    window.load();
    QVERIFY2(sawSplash, "the splash shows while the window loads");
    QVERIFY(splashModal);
    QCOMPARE(splashInterval, 60000);
    QVERIFY2(!mainVisible, "the main window waits for the splash");
    QVERIFY(window.isVisible());
    processDeferredDeletes();
    QVERIFY(visibleAboutWindows().isEmpty());
}

void TestMainWindowStartStop::startWithoutPort()
{
    MdiDaq &window = m_rig->make();
    window.load();
    QVERIFY(window.isVisible());
    QCOMPARE(m_rig->state.portOpened, tarv::core::False);
    QVERIFY(!window.link().isPortOpen());
    FrmStatus *status = m_rig->statusWindow();
    QVERIFY2(status, "the status window opens at start-up");
    status->tick();
    QCOMPARE(status->findChild<QLabel *>(QStringLiteral("lblFault"))->text(),
        QStringLiteral("COM not found"));
    QCOMPARE(status->findChild<QLabel *>(QStringLiteral("lblStatus"))->text(),
        QStringLiteral("Card Disconnected"));
    QVERIFY(m_rig->prompts.shown.isEmpty());
}

void TestMainWindowStartStop::startAndCloseOnTheWire()
{
    PtyPair pty;
    QVERIFY2(pty.isValid(), qPrintable(pty.errorString()));
    QVERIFY(QFile::link(pty.slavePath(), m_rig->filePath(QStringLiteral("COM1"))));
    m_rig->state.comPort = 1;

    MdiDaq &window = m_rig->make();
    window.load();
    QCOMPARE(pty.waitForBytes(2), QByteArray("?\r"));
    QCOMPARE(m_rig->state.portOpened, tarv::core::True);
    QVERIFY(m_rig->statusWindow());

    // The card stays silent; closing still stops it, then saves the settings.
    window.action(QStringLiteral("FileExit"))->trigger();
    QCOMPARE(pty.waitForBytes(3), QByteArray("@F\r"));
    QVERIFY(!window.isVisible());
    QVERIFY(m_rig->prompts.shown.isEmpty());

    auto lineCount = [this](const char *name) {
        QFile file(m_rig->filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().count("\r\n") : -1;
    };
    QCOMPARE(lineCount("tarvo.con"), 88);
    QCOMPARE(lineCount("tarvs.con"), 14);
    QVERIFY2(!QFile::exists(m_rig->filePath(QStringLiteral("tarv.con"))),
        "closing leaves the port choice alone");
}

void TestMainWindowStartStop::cardUnpluggedAndPluggedBack()
{
    auto before = std::make_unique<PtyPair>();
    QVERIFY2(before->isValid(), qPrintable(before->errorString()));
    const QString entry = m_rig->filePath(QStringLiteral("COM1"));
    QVERIFY(QFile::link(before->slavePath(), entry));
    m_rig->state.comPort = 1;
    m_rig->state.saveEnable[0] = tarv::core::True;
    m_rig->state.saveFileName = m_rig->filePath(QStringLiteral("log.csv"));
    m_rig->state.savePeriodTicks = 1;

    MdiDaq &window = m_rig->make();
    window.load();
    QCOMPARE(before->waitForBytes(2), QByteArray("?\r"));
    QVERIFY(before->writeToProgram("V1.23\r"));
    QTRY_COMPARE(m_rig->state.cardConnected, tarv::core::True);
    window.action(QStringLiteral("TaskStart"))->trigger();
    QCOMPARE(before->waitForBytes(9), QByteArray("@TA00\r@N\r"));
    m_rig->state.savingActive = tarv::core::True;

    FrmStatus *status = m_rig->statusWindow();
    QVERIFY(status);
    auto label = [status](const char *name) {
        return status->findChild<QLabel *>(QString::fromLatin1(name))->text();
    };
    auto logLines = [this] {
        QFile file(m_rig->state.saveFileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count("\r\n") : 0;
    };
    auto tickSeconds = [&window](int n) {
        for (int i = 0; i < n; ++i)
            emit window.saveTick();
    };
    tickSeconds(2);
    QCOMPARE(logLines(), 2);

    // The cable comes out: the device and its name go away.
    before->closeMaster();
    QVERIFY(QFile::remove(entry));
    QTRY_COMPARE(m_rig->state.portLost, tarv::core::True);
    QVERIFY(!window.link().isPortOpen());
    QCOMPARE(m_rig->state.cardConnected, tarv::core::False);
    status->tick();
    QCOMPARE(label("lblFault"), QStringLiteral("COM lost"));
    QCOMPARE(label("lblStatus"), QStringLiteral("Card Disconnected"));
    QCOMPARE(label("lblSave"), QStringLiteral("Not Saving"));
    tickSeconds(3);
    QCOMPARE(logLines(), 2); // no stale values written as if live

    auto *reconnect = window.link().findChild<QTimer *>(QStringLiteral("tmrReconnect"));
    QVERIFY(reconnect);
    QVERIFY(reconnect->isActive());
    QCOMPARE(reconnect->interval(), 2000);
    QVERIFY2(!window.link().retryOpen(), "nothing to open while the device is away");
    QVERIFY(reconnect->isActive());
    status->tick();
    QCOMPARE(label("lblFault"), QStringLiteral("COM lost"));

    // It comes back as another device under the same port number.
    PtyPair after;
    QVERIFY2(after.isValid(), qPrintable(after.errorString()));
    QVERIFY(QFile::link(after.slavePath(), entry));
    QVERIFY(window.link().retryOpen());
    QVERIFY(!reconnect->isActive());
    QCOMPARE(after.waitForBytes(2), QByteArray("?\r"));
    status->tick();
    QCOMPARE(label("lblFault"), QStringLiteral("Card not found"));
    tickSeconds(1);
    QCOMPARE(logLines(), 2);

    // Once it answers, the task it forgot is started again and logging goes on.
    QVERIFY(after.writeToProgram("V1.24\r"));
    QCOMPARE(after.waitForBytes(9), QByteArray("@TA00\r@N\r"));
    status->tick();
    QCOMPARE(label("lblFault"), QStringLiteral("No Faults"));
    QCOMPARE(label("lblStatus"), QStringLiteral("Card Connected. Ver.1.24"));
    QCOMPARE(label("lblTask"), QStringLiteral("Task Running"));
    tickSeconds(1);
    QCOMPARE(logLines(), 3);
    QVERIFY(m_rig->prompts.shown.isEmpty());
}

void TestMainWindowStartStop::closeReportsSettingsThatCannotBeWritten()
{
    m_rig->state.appPath = m_rig->filePath(QStringLiteral("gone/away"));
    MdiDaq &window = m_rig->make();
    window.show();
    QVERIFY(window.close());
    QVERIFY2(!window.isVisible(), "the program ends anyway");
    QCOMPARE(m_rig->prompts.shown.size(), 1);
    const ScriptedPrompts::Shown &shown = m_rig->prompts.shown.first();
    QVERIFY2(shown.text.contains(m_rig->state.appPath + QStringLiteral("/tarvo.con")),
        qPrintable(shown.text));
    QVERIFY2(shown.text.contains(m_rig->state.appPath + QStringLiteral("/tarvs.con")),
        qPrintable(shown.text));
    QCOMPARE(shown.title, tarv::ui::ApplicationTitle);
    QCOMPARE(shown.icon, PromptIcon::Error);
    QVERIFY(shown.modal);
}

// The settings box of a close runs its own event loop for longer than the pause;
// the card must not be told to run after it was told to stop.
void TestMainWindowStartStop::closeDuringTheStartPause()
{
    m_rig->state.appPath = m_rig->filePath(QStringLiteral("gone/away"));
    m_rig->prompts.whileModal = [] {
        QEventLoop loop;
        QTimer::singleShot(150, &loop, &QEventLoop::quit);
        loop.exec();
    };
    MdiDaq &window = m_rig->make();
    window.link().attachDevice(&m_rig->line);
    m_rig->line.feed("V1.02\r");
    window.action(QStringLiteral("TaskStart"))->trigger();
    QVERIFY(window.close());
    QCOMPARE(m_rig->prompts.shown.size(), 1);
    QCOMPARE(m_rig->line.written, QByteArray("@TA00\r@F\r"));
}

void TestMainWindowStartStop::aboutOpensWithoutBlockingOnce()
{
    MdiDaq &window = m_rig->make();
    window.show();
    window.action(QStringLiteral("HelpAbout"))->trigger();
    const QList<FrmAbout *> opened = visibleAboutWindows();
    QCOMPARE(opened.size(), 1);
    FrmAbout *about = opened.first();
    QVERIFY2(
        about->isWindow() && !about->isModal(), "About is a top-level window that does not block");
    auto *timer1 = about->findChild<QTimer *>(QStringLiteral("Timer1"));
    QCOMPARE(timer1->interval(), 2000);
    const int remaining = timer1->remainingTime();

    window.action(QStringLiteral("HelpAbout"))->trigger();
    QCOMPARE(visibleAboutWindows(), opened);
    QVERIFY2(timer1->isActive() && timer1->remainingTime() <= remaining,
        "choosing About again keeps the first timer running");

    // Closing the main window takes it along.
    window.close();
    processDeferredDeletes();
    QVERIFY(visibleAboutWindows().isEmpty());
}

QTEST_MAIN(TestMainWindowStartStop)
#include "tst_mainwindowstartstop.moc"
