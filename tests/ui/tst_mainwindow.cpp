#include "link/cardlink.h"
#include "support/mainwindowrig.h"
#include "ui/main/frmstatus.h"
#include "ui/main/mdidaq.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using tarv::testsupport::MainWindowRig;
using tarv::testsupport::processDeferredDeletes;
using tarv::ui::FrmStatus;
using tarv::ui::MdiDaq;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void frame();
    void childWindowsOneAtATime();
    void taskItemsFollowTheCard();
    void fileSaveCheckMarkShowsLogging();
};

void TestMainWindow::frame()
{
    MainWindowRig rig;
    MdiDaq &window = rig.make();
    QCOMPARE(window.windowTitle(), QStringLiteral("Tarvane 2020 ~ Data Acquisition Solution"));
    QStringList actual;
    for (QAction *top : window.menuBar()->actions()) {
        QVERIFY2(top->menu(), "every menu bar entry is a menu");
        QStringList items;
        for (QAction *item : top->menu()->actions()) {
            items.append(item->isSeparator() ? QStringLiteral("-") : item->text());
            if (!item->isEnabled())
                items.last() += QStringLiteral(" (disabled)");
        }
        actual.append(top->text() + QStringLiteral(": ") + items.join(QStringLiteral(", ")));
    }
    // Stop is offered only once a task runs.
    QCOMPARE(actual,
        (QStringList {
            "File: Save, Exit",
            "View: Analog Data, Digital Data, -, Trend, History, -, Status",
            "Task: Start, Stop (disabled), -, Task Manager",
            "Options: Card Configuration, Card Communication, -, Settings, Calibration",
            "Help: Contents, About",
        }));

    // History, Settings and Contents do nothing: no window, no box.
    const auto topLevels = QApplication::topLevelWidgets().size();
    for (const char *item : {"ViewHistory", "OptionsSettings", "HelpContents"})
        window.action(QString::fromLatin1(item))->trigger();
    QCoreApplication::processEvents();
    QVERIFY(window.mdiArea()->subWindowList().isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().size(), topLevels);
    QVERIFY(rig.prompts.shown.isEmpty());

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
    MainWindowRig rig;
    MdiDaq &window = rig.make();
    window.show();
    QAction *viewStatus = window.action(QStringLiteral("ViewStatus"));
    viewStatus->trigger();
    QPointer<FrmStatus> first = rig.statusWindow();
    QVERIFY(first);
    window.action(QStringLiteral("OptionsCardComm"))->trigger();

    // Chosen again, the open one comes to the front.
    viewStatus->trigger();
    QCOMPARE(window.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(rig.statusWindow(), first.data());
    QCOMPARE(window.mdiArea()->activeSubWindow(), first->parentWidget());

    // Closed, it is discarded; the next choice builds one whose load step runs again.
    rig.state.comPort = 7;
    first->parentWidget()->close();
    QVERIFY(!window.childWindow(QStringLiteral("ViewStatus")));
    processDeferredDeletes();
    QVERIFY2(!first, "a closed child window is discarded");
    viewStatus->trigger();
    QVERIFY(rig.statusWindow());
    QCOMPARE(rig.statusWindow()->findChild<QLabel *>(QStringLiteral("lblUSB"))->text(),
        QStringLiteral("USB : COM7"));

    // The configuration and calibration windows can only be closed, not shrunk.
    for (const char *item : {"ViewStatus", "OptionsCardConfig", "OptionsCalibrate"}) {
        const Qt::WindowFlags flags = window.openChild(QLatin1String(item))->windowFlags();
        const bool resizable
            = flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
        QVERIFY2(resizable == (item == std::string_view("ViewStatus")), item);
        QVERIFY2(flags & Qt::WindowCloseButtonHint, item);
    }
}

void TestMainWindow::taskItemsFollowTheCard()
{
    MainWindowRig rig;
    MdiDaq &window = rig.make();
    QAction *start = window.action(QStringLiteral("TaskStart"));
    QAction *stop = window.action(QStringLiteral("TaskStop"));
    window.link().attachDevice(&rig.line);

    // The card has not answered: the task cannot start.
    start->trigger();
    QVERIFY(start->isEnabled() && !stop->isEnabled());

    rig.line.feed("V1.02\r");
    start->trigger();
    QVERIFY2(!start->isEnabled() && stop->isEnabled(), "a started task can only be stopped");
    QVERIFY(rig.line.written.startsWith("@TA00\r"));

    stop->trigger();
    QVERIFY2(start->isEnabled() && !stop->isEnabled(), "a stopped task can only be started");
    QVERIFY(rig.line.written.endsWith("@F\r"));
}

void TestMainWindow::fileSaveCheckMarkShowsLogging()
{
    MainWindowRig rig;
    MdiDaq &window = rig.make();
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
        window.setSaveDialog([&rig, logging] { rig.state.savingActive = logging; });
        fileSave->trigger();
        QCOMPARE(fileSave->isChecked(), logging == tarv::core::True);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
