#include "core/acquisitionstate.h"
#include "ui/main/frmstatus.h"
#include "ui/twips.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

using tarv::core::AcquisitionState;
using tarv::core::False;
using tarv::core::Flag;
using tarv::core::True;
using tarv::ui::FrmStatus;

namespace {

struct Texts
{
    QString status, usb, fault, task, save;
};

Texts textsOf(const FrmStatus &window)
{
    auto text = [&window](const char *name) {
        const auto *label = window.findChild<QLabel *>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    };
    return {text("lblStatus"), text("lblUSB"), text("lblFault"), text("lblTask"), text("lblSave")};
}

} // namespace

class TestStatusWindow : public QObject
{
    Q_OBJECT

private slots:
    void designTextsUntilTheFirstTick_data();
    void designTextsUntilTheFirstTick();
    void tickTexts_data();
    void tickTexts();
    void portNumberFollowsAtOnce();
    void saveProblemReplacesSaveText();
    void labelsAsDesigned_data();
    void labelsAsDesigned();
    void refreshesFourTimesASecond();
};

void TestStatusWindow::designTextsUntilTheFirstTick_data()
{
    QTest::addColumn<Flag>("portOpened");
    QTest::addColumn<QString>("fault");
    QTest::newRow("no port") << False << "COM not found";
    QTest::newRow("port open") << True << "Fault";
}

void TestStatusWindow::designTextsUntilTheFirstTick()
{
    QFETCH(Flag, portOpened);
    QFETCH(QString, fault);
    AcquisitionState state;
    state.portOpened = portOpened;
    state.cardConnected = True;
    state.cardVersion = QStringLiteral("1.02");
    state.taskRunning = True;
    state.savingActive = True;
    state.comPort = 4;
    const FrmStatus window(state);
    const Texts t = textsOf(window);
    QCOMPARE(window.windowTitle(), QStringLiteral("Card Status"));
    QCOMPARE(t.status, QStringLiteral("Card Disconnected"));
    QCOMPARE(t.usb, QStringLiteral("USB : COM4"));
    QCOMPARE(t.fault, fault);
    QCOMPARE(t.task, QStringLiteral("No Task Running "));
    QCOMPARE(t.save, QStringLiteral("Save"));
}

void TestStatusWindow::tickTexts_data()
{
    QTest::addColumn<Flag>("portOpened");
    QTest::addColumn<Flag>("cardConnected");
    QTest::addColumn<Flag>("taskRunning");
    QTest::addColumn<Flag>("savingActive");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("task");
    QTest::addColumn<QString>("save");

    QTest::newRow("no port") << False << False << False << False << "Card Disconnected"
                             << "COM not found"
                             << " No Task Running"
                             << "Not Saving";
    QTest::newRow("card silent") << True << False << False << False << "Card Disconnected"
                                 << "Card not found"
                                 << " No Task Running"
                                 << "Not Saving";
    QTest::newRow("card answered") << True << True << False << False << "Card Connected. Ver.1.02"
                                   << "No Faults"
                                   << " No Task Running"
                                   << "Not Saving";
    QTest::newRow("task and logging") << True << True << True << True << "Card Connected. Ver.1.02"
                                      << "No Faults"
                                      << "Task Running"
                                      << "Saving";
    QTest::newRow("logging, card silent") << True << False << False << True << "Card Disconnected"
                                          << "Card not found"
                                          << " No Task Running"
                                          << "Not Saving";
    // Without a port the card line keeps its text; logging still needs the card.
    QTest::newRow("no port, answered") << False << True << True << True << "Card Disconnected"
                                       << "COM not found"
                                       << "Task Running"
                                       << "Saving";
}

void TestStatusWindow::tickTexts()
{
    QFETCH(Flag, portOpened);
    QFETCH(Flag, cardConnected);
    QFETCH(Flag, taskRunning);
    QFETCH(Flag, savingActive);
    AcquisitionState state;
    state.comPort = 1;
    FrmStatus window(state);
    state.portOpened = portOpened;
    state.cardConnected = cardConnected;
    state.cardVersion = QStringLiteral("1.02");
    state.taskRunning = taskRunning;
    state.savingActive = savingActive;

    window.tick();
    const Texts t = textsOf(window);
    QTEST(t.status, "status");
    QTEST(t.fault, "fault");
    QTEST(t.task, "task");
    QTEST(t.save, "save");
    QCOMPARE(t.usb, QStringLiteral("USB : COM1"));
}

void TestStatusWindow::portNumberFollowsAtOnce()
{
    AcquisitionState state;
    state.comPort = 3;
    FrmStatus window(state);
    state.comPort = 12;
    window.tick();
    QCOMPARE(textsOf(window).usb, QStringLiteral("USB : COM12"));
    state.comPort = 0;
    window.tick();
    QCOMPARE(textsOf(window).usb, QStringLiteral("USB : COM0"));
}

void TestStatusWindow::saveProblemReplacesSaveText()
{
    AcquisitionState state;
    state.portOpened = state.cardConnected = state.savingActive = True;
    FrmStatus window(state);
    QString problem = QStringLiteral("Save error");
    window.setSaveProblemProvider([&problem] { return problem; });
    window.tick();
    QCOMPARE(textsOf(window).save, QStringLiteral("Save error"));
    problem.clear();
    window.tick();
    QCOMPARE(textsOf(window).save, QStringLiteral("Saving"));
}

void TestStatusWindow::labelsAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twipsBox");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text"); // invalid: the default text colour

    QTest::newRow("lblStatus") << "lblStatus" << QRect(120, 120, 2895, 255) << QColor(224, 224, 224)
                               << QColor();
    QTest::newRow("lblUSB") << "lblUSB" << QRect(120, 480, 1335, 255) << QColor(128, 128, 255)
                            << QColor(255, 255, 255);
    QTest::newRow("lblFault") << "lblFault" << QRect(1560, 480, 1455, 255) << QColor(128, 255, 128)
                              << QColor(0, 0, 255);
    QTest::newRow("lblTask") << "lblTask" << QRect(120, 840, 2895, 255) << QColor(255, 255, 0)
                             << QColor(255, 0, 0);
    QTest::newRow("lblSave") << "lblSave" << QRect(120, 1200, 2895, 255) << QColor(192, 255, 255)
                             << QColor();
}

void TestStatusWindow::labelsAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, twipsBox);
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    AcquisitionState state;
    FrmStatus window(state);
    QCOMPARE(window.size(), QSize(tarv::ui::twips(3210), tarv::ui::twips(1560)));
    const auto *label = window.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->geometry(),
        tarv::ui::twipsRect(twipsBox.x(), twipsBox.y(), twipsBox.width(), twipsBox.height()));
    QVERIFY2(label->autoFillBackground(), "the background colour is painted");
    QCOMPARE(label->palette().color(QPalette::Window), background);
    const QColor expectedText
        = text.isValid() ? text : window.palette().color(QPalette::WindowText);
    QCOMPARE(label->palette().color(QPalette::WindowText), expectedText);
}

void TestStatusWindow::refreshesFourTimesASecond()
{
    AcquisitionState state;
    FrmStatus window(state);
    auto *timer = window.findChild<QTimer *>(QStringLiteral("tmrStatus"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 250);
    QVERIFY(timer->isActive());
    // Its ticks do the window's tick.
    timer->start(0);
    QTRY_COMPARE_WITH_TIMEOUT(textsOf(window).save, QStringLiteral("Not Saving"), 5000);
}

QTEST_MAIN(TestStatusWindow)
#include "tst_statuswindow.moc"
