#include "link/cardlink.h"
#include "support/mainwindowrig.h"
#include "ui/main/frmstatus.h"
#include "ui/main/mdidaq.h"
#include "ui/twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using tarv::testsupport::MainWindowRig;
using tarv::testsupport::processDeferredDeletes;
using tarv::ui::FrmStatus;
using tarv::ui::MdiDaq;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuBarAsDesigned();
    void windowAndItsParts();
    void childWindowsOneAtATime();
    void itemsWithoutActionDoNothing_data();
    void itemsWithoutActionDoNothing();
    void taskItemsFollowTheCard();
    void fileSaveCheckMarkShowsLogging();
    void portChoiceShowsInStatus();

private:
    std::unique_ptr<MainWindowRig> m_rig;
};

void TestMainWindow::init()
{
    m_rig = std::make_unique<MainWindowRig>();
    QVERIFY(m_rig->dir.isValid());
}

void TestMainWindow::cleanup()
{
    m_rig.reset();
}

void TestMainWindow::menuBarAsDesigned()
{
    MdiDaq &window = m_rig->make();
    // name:caption per item; separators as name:-; disabled items marked.
    const QStringList expected {
        "File:File",
        "  FileSave:Save",
        "  FileExit:Exit",
        "View:View",
        "  ViewAnalogData:Analog Data",
        "  ViewDigitalData:Digital Data",
        "  sv2:-",
        "  ViewTrend:Trend",
        "  ViewHistory:History",
        "  sv1:-",
        "  ViewStatus:Status",
        "Task:Task",
        "  TaskStart:Start",
        "  TaskStop:Stop (disabled)",
        "  st1:-",
        "  TaskManager:Task Manager",
        "Options:Options",
        "  OptionsCardConfig:Card Configuration",
        "  OptionsCardComm:Card Communication",
        "  so1:-",
        "  OptionsSettings:Settings",
        "  OptionsCalibrate:Calibration",
        "Help:Help",
        "  HelpContents:Contents",
        "  HelpAbout:About",
    };
    QStringList actual;
    for (QAction *top : window.menuBar()->actions()) {
        QMenu *menu = top->menu();
        QVERIFY2(menu, "every menu bar entry is a menu");
        actual.append(menu->objectName() + u':' + top->text());
        for (QAction *item : menu->actions()) {
            QString line = QStringLiteral("  ") + item->objectName() + u':'
                + (item->isSeparator() ? QStringLiteral("-") : item->text());
            if (!item->isEnabled())
                line += QStringLiteral(" (disabled)");
            actual.append(line);
            QVERIFY2(item->isVisible(), qPrintable(item->objectName() + " is hidden"));
            QVERIFY2(!item->isChecked(), qPrintable(item->objectName() + " starts checked"));
            QVERIFY2(
                item->shortcut().isEmpty(), qPrintable(item->objectName() + " has a shortcut"));
        }
    }
    QCOMPARE(actual, expected);
    QVERIFY2(!actual.join(QString()).contains(u'&'), "no caption carries an access key");
    QVERIFY(window.action(QStringLiteral("FileSave"))->isCheckable());
}

void TestMainWindow::windowAndItsParts()
{
    MdiDaq &window = m_rig->make();
    QCOMPARE(window.windowTitle(), QStringLiteral("Tarvane 2020 ~ Data Acquisition Solution"));
    QCOMPARE(window.centralWidget(), window.mdiArea());
    QVERIFY(!window.windowIcon().isNull());
    window.show();
    QCOMPARE(window.mdiArea()->size(), QSize(tarv::ui::twips(13035), tarv::ui::twips(6855)));

    auto *cm = window.findChild<tarv::link::CardLink *>(QStringLiteral("cm"));
    QCOMPARE(cm, &window.link());
    QVERIFY2(
        cm->findChild<QTimer *>(QStringLiteral("tmrDelay")), "the task pause lives in the link");

    auto *tmrSave = window.findChild<QTimer *>(QStringLiteral("tmrSave"));
    QVERIFY(tmrSave);
    QCOMPARE(tmrSave->interval(), 1000);
    QVERIFY2(tmrSave->isActive(), "the logger's timer runs from the start");
    QSignalSpy ticks(&window, &MdiDaq::saveTick);
    tmrSave->start(0);
    QTRY_VERIFY_WITH_TIMEOUT(!ticks.isEmpty(), 5000);
}

void TestMainWindow::childWindowsOneAtATime()
{
    MdiDaq &window = m_rig->make();
    window.show();
    QAction *viewStatus = window.action(QStringLiteral("ViewStatus"));

    viewStatus->trigger();
    QPointer<FrmStatus> first = m_rig->statusWindow();
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), QStringLiteral("Card Status"));

    window.action(QStringLiteral("OptionsCardComm"))->trigger();
    QCOMPARE(window.mdiArea()->subWindowList().size(), 2);
    QVERIFY(window.mdiArea()->activeSubWindow() != first->parentWidget());

    viewStatus->trigger();
    QCOMPARE(window.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(m_rig->statusWindow(), first.data());
    QCOMPARE(window.mdiArea()->activeSubWindow(), first->parentWidget());

    // Closed, it is discarded; the next choice builds one whose load step runs again.
    m_rig->state.comPort = 7;
    first->parentWidget()->close();
    QVERIFY(!window.childWindow(QStringLiteral("ViewStatus")));
    processDeferredDeletes();
    QVERIFY2(!first, "a closed child window is discarded");
    viewStatus->trigger();
    FrmStatus *second = m_rig->statusWindow();
    QVERIFY(second);
    QCOMPARE(second->findChild<QLabel *>(QStringLiteral("lblUSB"))->text(),
        QStringLiteral("USB : COM7"));
    QCOMPARE(window.mdiArea()->subWindowList().size(), 2);
}

void TestMainWindow::itemsWithoutActionDoNothing_data()
{
    QTest::addColumn<QString>("item");
    QTest::newRow("history") << "ViewHistory";
    QTest::newRow("settings") << "OptionsSettings";
    QTest::newRow("contents") << "HelpContents";
}

void TestMainWindow::itemsWithoutActionDoNothing()
{
    QFETCH(QString, item);
    MdiDaq &window = m_rig->make();
    window.show();
    window.link().attachDevice(&m_rig->line);
    m_rig->line.feed("V1.02\r");
    const auto topLevels = QApplication::topLevelWidgets().size();

    window.action(item)->trigger();
    QCoreApplication::processEvents();

    QVERIFY(window.mdiArea()->subWindowList().isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().size(), topLevels);
    QVERIFY(m_rig->prompts.shown.isEmpty());
    QVERIFY2(m_rig->line.written.isEmpty(), m_rig->line.written.constData());
    QVERIFY(window.isVisible());
}

void TestMainWindow::taskItemsFollowTheCard()
{
    MdiDaq &window = m_rig->make();
    QAction *start = window.action(QStringLiteral("TaskStart"));
    QAction *stop = window.action(QStringLiteral("TaskStop"));
    window.link().attachDevice(&m_rig->line);

    // The card has not answered: nothing is sent and nothing changes.
    start->trigger();
    QVERIFY(start->isEnabled());
    QVERIFY(!stop->isEnabled());
    QCOMPARE(m_rig->state.taskRunning, tarv::core::False);
    QCOMPARE(m_rig->line.written, QByteArray());

    m_rig->line.feed("V1.02\r");
    start->trigger();
    QVERIFY2(!start->isEnabled() && stop->isEnabled(), "a started task can only be stopped");
    QCOMPARE(m_rig->state.taskRunning, tarv::core::True);
    QVERIFY(m_rig->line.written.startsWith("@TA00\r"));

    stop->trigger();
    QVERIFY2(start->isEnabled() && !stop->isEnabled(), "a stopped task can only be started");
    QCOMPARE(m_rig->state.taskRunning, tarv::core::False);
    QVERIFY(m_rig->line.written.endsWith("@F\r"));
}

void TestMainWindow::fileSaveCheckMarkShowsLogging()
{
    MdiDaq &window = m_rig->make();
    QAction *fileSave = window.action(QStringLiteral("FileSave"));

    // The item opens the logging dialog modally; cancelling it leaves logging off.
    QString shownCaption;
    QTimer::singleShot(0, [&shownCaption] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            shownCaption = dialog->windowTitle();
            dialog->reject();
        }
    });
    fileSave->trigger();
    QCOMPARE(shownCaption, QStringLiteral("Save"));
    QVERIFY2(!fileSave->isChecked(), "a cancelled dialog does not check the item");

    for (const auto logging : {tarv::core::True, tarv::core::False}) {
        window.setSaveDialog([this, logging] { m_rig->state.savingActive = logging; });
        fileSave->trigger();
        QCOMPARE(fileSave->isChecked(), logging == tarv::core::True);
    }
}

void TestMainWindow::portChoiceShowsInStatus()
{
    m_rig->state.comPort = 3;
    MdiDaq &window = m_rig->make();
    window.load();
    QMdiSubWindow *comm = window.openChild(QStringLiteral("OptionsCardComm"));
    QVERIFY(comm);
    auto *list = comm->findChild<QComboBox *>(QStringLiteral("cmbComm"));
    QCOMPARE(list->currentText(), QStringLiteral("COM 3"));
    list->setCurrentIndex(11);
    QTest::mouseClick(comm->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);

    QCOMPARE(m_rig->state.comPort, tarv::core::Integer(12));
    QVERIFY2(!window.childWindow(QStringLiteral("OptionsCardComm")), "OK closes the dialog");
    m_rig->statusWindow()->tick();
    QCOMPARE(m_rig->statusWindow()->findChild<QLabel *>(QStringLiteral("lblUSB"))->text(),
        QStringLiteral("USB : COM12"));
    QVERIFY2(!window.link().isPortOpen(), "the new port is used from the next start");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
