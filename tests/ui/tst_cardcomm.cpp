#include "support/mainwindowrig.h"
#include "support/testfiles.h"
#include "ui/main/mdidaq.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

using tarv::core::Integer;
using tarv::testsupport::MainWindowRig;

namespace {

const QString Item = QStringLiteral("OptionsCardComm");

QComboBox *listOf(QMdiSubWindow *frame)
{
    return frame->findChild<QComboBox *>(QStringLiteral("cmbComm"));
}

void click(QMdiSubWindow *frame, const QString &button)
{
    QTest::mouseClick(frame->findChild<QPushButton *>(button), Qt::LeftButton);
}

} // namespace

class TestCardComm : public QObject
{
    Q_OBJECT

private slots:
    void choices_data();
    void choices();
    void unwritableFileIsReported();
};

void TestCardComm::choices_data()
{
    QTest::addColumn<Integer>("comPort"); // when the window opens
    QTest::addColumn<int>("pick"); // the list position picked, -1 for none
    QTest::addColumn<QString>("typed"); // or what is typed instead
    QTest::addColumn<QString>("button");
    QTest::addColumn<Integer>("stored");
    QTest::addColumn<QByteArray>("file"); // tarv.con afterwards, empty for none
    QTest::addColumn<bool>("closes");
    const auto row = [](const char *name, Integer comPort, int pick, const char *typed,
                         const char *button, Integer stored, const char *file, bool closes) {
        QTest::newRow(name) << comPort << pick << QString::fromLatin1(typed)
                            << QString::fromLatin1(button) << stored << QByteArray(file) << closes;
    };
    // The list opens on the current port, so OK alone keeps it.
    row("first, kept", 1, -1, "", "cmdOK", 1, " 1 \r\n", true);
    row("last, kept", 255, -1, "", "cmdOK", 255, " 255 \r\n", true);
    // Only a hand-edited tarv.con names these: nothing is chosen.
    row("below the list", 0, -1, "", "cmdOK", 0, " 0 \r\n", true);
    row("beyond the list", 256, -1, "", "cmdOK", 0, " 0 \r\n", true);
    row("picked", 3, 11, "", "cmdOK", 12, " 12 \r\n", true);
    // Typed text is the operator's own, even when it reads like an entry.
    row("free text", 3, -1, "USB adapter", "cmdOK", 0, " 0 \r\n", true);
    row("typed, entry-like", 3, -1, "COM 7", "cmdOK", 0, " 0 \r\n", true);
    row("cancelled", 3, 11, "", "cmdCancel", 3, "", true);
    // A new port is used from the next start: there is nothing to connect now.
    row("connect", 3, 11, "", "cmdConnect", 3, "", false);
}

void TestCardComm::choices()
{
    QFETCH(Integer, comPort);
    QFETCH(int, pick);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(bool, closes);
    MainWindowRig rig;
    rig.state.comPort = comPort;
    QMdiSubWindow *frame = rig.make().openChild(Item);
    QVERIFY(frame);
    QComboBox *list = listOf(frame);
    QCOMPARE(list->count(), 255);
    QCOMPARE(list->itemText(254), QStringLiteral("COM 255"));
    if (pick >= 0)
        list->setCurrentIndex(pick);
    if (!typed.isEmpty()) {
        list->lineEdit()->selectAll();
        QTest::keyClicks(list->lineEdit(), typed);
    }
    click(frame, button);
    QTEST(rig.state.comPort, "stored");
    QTEST(tarv::testsupport::fileBytes(rig.filePath(QStringLiteral("tarv.con"))), "file");
    QCOMPARE(!rig.window->childWindow(Item), closes);
    QVERIFY(rig.prompts.shown.isEmpty());
}

void TestCardComm::unwritableFileIsReported()
{
    MainWindowRig rig;
    rig.state.appPath = rig.filePath(QStringLiteral("missing"));
    QMdiSubWindow *frame = rig.make().openChild(Item);
    QVERIFY(frame);
    listOf(frame)->setCurrentIndex(4);
    click(frame, QStringLiteral("cmdOK"));
    // The choice holds for this run even though it will not survive a restart.
    QCOMPARE(rig.state.comPort, Integer(5));
    QCOMPARE(rig.prompts.shown.size(), 1);
    const auto &shown = rig.prompts.shown.first();
    QVERIFY2(shown.text.startsWith(QStringLiteral("The port choice could not be saved to ")
                 + rig.state.appPath + QStringLiteral("/tarv.con:\n")),
        qPrintable(shown.text));
    QCOMPARE(shown.title, QStringLiteral("Card Communication"));
    QCOMPARE(shown.icon, tarv::core::PromptIcon::Error);
    QVERIFY(shown.modal);
    QVERIFY2(!rig.window->childWindow(Item), "the window closes after telling");
}

QTEST_MAIN(TestCardComm)
#include "tst_cardcomm.moc"
