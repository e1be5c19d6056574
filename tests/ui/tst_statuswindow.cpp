#include "core/acquisitionstate.h"
#include "ui/main/frmstatus.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

using tarv::core::AcquisitionState;
using tarv::core::toFlag;
using tarv::ui::FrmStatus;

namespace {

// The five lines top to bottom: card, port, fault, task, logging.
QStringList textsOf(const FrmStatus &window)
{
    QStringList texts;
    for (const char *name : {"lblStatus", "lblUSB", "lblFault", "lblTask", "lblSave"}) {
        const auto *label = window.findChild<QLabel *>(QString::fromLatin1(name));
        texts.append(label ? label->text() : QStringLiteral("<missing %1>").arg(name));
    }
    return texts;
}

} // namespace

class TestStatusWindow : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void refreshesItself();
};

void TestStatusWindow::texts_data()
{
    QTest::addColumn<QString>("flags"); // the state's flags that are true
    QTest::addColumn<QString>("saveProblem");
    QTest::addColumn<QString>("faultAtLoad");
    QTest::addColumn<QStringList>("afterTick"); // card, fault, task, logging
    const auto row = [](const char *name, const char *flags, const char *problem,
                         const char *faultAtLoad, const QStringList &afterTick) {
        QTest::newRow(name) << QString::fromLatin1(flags) << QString::fromLatin1(problem)
                            << QString::fromLatin1(faultAtLoad) << afterTick;
    };
    const QString connected = QStringLiteral("Card Connected. Ver.1.02");
    const QString disconnected = QStringLiteral("Card Disconnected");

    row("no port", "", "", "COM not found",
        {disconnected, "COM not found", " No Task Running", "Not Saving"});
    // Logging needs the card as well as the switch.
    row("card silent, logging on", "port saving", "", "Fault",
        {disconnected, "Card not found", " No Task Running", "Not Saving"});
    row("running and logging", "port card task saving", "", "Fault",
        {connected, "No Faults", "Task Running", "Saving"});
    // Without a port nothing is known about the card: its line keeps what it showed.
    row("no port, answered", "card task saving", "", "COM not found",
        {disconnected, "COM not found", "Task Running", "Saving"});
    row("port lost", "port lost saving", "", "COM lost",
        {disconnected, "COM lost", " No Task Running", "Not Saving"});
    // A log that cannot be written shows only while lines are due.
    row("save problem", "port card saving", "Disk full", "Fault",
        {connected, "No Faults", " No Task Running", "Saving Error"});
    row("save problem, logging off", "port card", "Disk full", "Fault",
        {connected, "No Faults", " No Task Running", "Not Saving"});
    row("save problem, port lost", "port lost saving", "Disk full", "COM lost",
        {disconnected, "COM lost", " No Task Running", "Not Saving"});
}

void TestStatusWindow::texts()
{
    QFETCH(QString, flags);
    QFETCH(QString, saveProblem);
    QFETCH(QString, faultAtLoad);
    QFETCH(QStringList, afterTick);
    const QStringList set = flags.split(u' ');
    AcquisitionState state;
    state.portOpened = toFlag(set.contains(QStringLiteral("port")));
    state.portLost = toFlag(set.contains(QStringLiteral("lost")));
    state.cardConnected = toFlag(set.contains(QStringLiteral("card")));
    state.taskRunning = toFlag(set.contains(QStringLiteral("task")));
    state.savingActive = toFlag(set.contains(QStringLiteral("saving")));
    state.cardVersion = QStringLiteral("1.02");
    state.comPort = 3;
    FrmStatus window(state);
    window.setSaveProblemProvider([saveProblem] { return saveProblem; });

    // Until the first tick only the port's fate is known; nothing claims a card.
    QCOMPARE(textsOf(window),
        (QStringList {"Card Disconnected", "USB : COM3", faultAtLoad, "No Task Running ", "Save"}));

    // A port chosen meanwhile shows on the next tick.
    state.comPort = 12;
    window.tick();
    afterTick.insert(1, QStringLiteral("USB : COM12"));
    QCOMPARE(textsOf(window), afterTick);
    const bool showsProblem = afterTick.last() == QStringLiteral("Saving Error");
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblSave"))->toolTip(),
        showsProblem ? saveProblem : QString());
}

void TestStatusWindow::refreshesItself()
{
    AcquisitionState state;
    FrmStatus window(state);
    auto *timer = window.findChild<QTimer *>(QStringLiteral("tmrStatus"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 250);
    // Due at once: what its tick does is the point, not the wait.
    timer->start(0);
    QTRY_COMPARE_WITH_TIMEOUT(textsOf(window).last(), QStringLiteral("Not Saving"), 5000);
}

QTEST_MAIN(TestStatusWindow)
#include "tst_statuswindow.moc"
