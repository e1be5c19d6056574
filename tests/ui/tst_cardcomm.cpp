#include "core/settingsfiles.h"
#include "support/scriptedprompts.h"
#include "ui/main/frmcardcomm.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using tarv::core::AcquisitionState;
using tarv::core::Integer;
using tarv::testsupport::ScriptedPrompts;
using tarv::ui::FrmCardComm;

class TestCardComm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listShowsTheCurrentPort_data();
    void listShowsTheCurrentPort();
    void okStoresAndWritesThePort_data();
    void okStoresAndWritesThePort();
    void cancelStoresNothing();
    void connectDoesNothing();
    void unwritableFileIsReported();

private:
    // Opens the dialog the way the main window does: inside an MDI frame.
    FrmCardComm *open();
    QComboBox *list() const { return m_area->findChild<QComboBox *>(QStringLiteral("cmbComm")); }
    void click(const char *button);
    QByteArray portFile() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    AcquisitionState m_state;
    ScriptedPrompts m_prompts;
    std::unique_ptr<QMdiArea> m_area;
    QPointer<QMdiSubWindow> m_frame;
};

void TestCardComm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_state = AcquisitionState();
    m_state.appPath = m_dir->path();
    m_state.comPort = 3;
    m_prompts = ScriptedPrompts();
    m_area = std::make_unique<QMdiArea>();
    m_area->resize(800, 400);
    m_area->show();
}

void TestCardComm::cleanup()
{
    m_area.reset();
    m_dir.reset();
}

FrmCardComm *TestCardComm::open()
{
    auto *window = new FrmCardComm(m_state, m_prompts);
    m_frame = m_area->addSubWindow(window);
    m_frame->setAttribute(Qt::WA_DeleteOnClose);
    m_frame->show();
    return window;
}

void TestCardComm::click(const char *button)
{
    auto *b = m_area->findChild<QPushButton *>(QString::fromLatin1(button));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

QByteArray TestCardComm::portFile() const
{
    QFile file(m_dir->filePath(QStringLiteral("tarv.con")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void TestCardComm::listShowsTheCurrentPort_data()
{
    QTest::addColumn<Integer>("comPort");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << Integer(1) << 0;
    QTest::newRow("COM 3") << Integer(3) << 2;
    QTest::newRow("last") << Integer(255) << 254;
    // Only a hand-edited tarv.con gets here: nothing to select.
    QTest::newRow("none typed") << Integer(0) << -1;
    QTest::newRow("beyond the list") << Integer(300) << -1;
    QTest::newRow("negative") << Integer(-4) << -1;
}

void TestCardComm::listShowsTheCurrentPort()
{
    QFETCH(Integer, comPort);
    QFETCH(int, index);
    m_state.comPort = comPort;
    FrmCardComm *window = open();
    QCOMPARE(window->windowTitle(), QStringLiteral("Card Communication"));
    QCOMPARE(list()->count(), 255);
    QCOMPARE(list()->itemText(0), QStringLiteral("COM 1"));
    QCOMPARE(list()->itemText(254), QStringLiteral("COM 255"));
    QVERIFY(list()->isEditable());
    QCOMPARE(list()->currentIndex(), index);
    QCOMPARE(window->selectedIndex(), index);
    QCOMPARE(list()->currentText(), index < 0 ? QString() : QStringLiteral("COM %1").arg(comPort));
}

void TestCardComm::okStoresAndWritesThePort_data()
{
    QTest::addColumn<int>("pick"); // list position chosen, or -1 to type instead
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Integer>("stored");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("COM 12") << 11 << QString() << Integer(12) << QByteArray(" 12 \r\n");
    QTest::newRow("COM 1") << 0 << QString() << Integer(1) << QByteArray(" 1 \r\n");
    QTest::newRow("COM 255") << 254 << QString() << Integer(255) << QByteArray(" 255 \r\n");
    QTest::newRow("free text") << -1 << "USB adapter" << Integer(0) << QByteArray(" 0 \r\n");
    QTest::newRow("typed, entry-like") << -1 << "COM 7" << Integer(0) << QByteArray(" 0 \r\n");
}

void TestCardComm::okStoresAndWritesThePort()
{
    QFETCH(int, pick);
    QFETCH(QString, typed);
    QFETCH(Integer, stored);
    QFETCH(QByteArray, file);
    open();
    if (pick >= 0) {
        list()->setCurrentIndex(pick);
    } else {
        list()->lineEdit()->selectAll();
        QTest::keyClicks(list()->lineEdit(), typed);
    }
    click("cmdOK");
    QCOMPARE(m_state.comPort, stored);
    QCOMPARE(portFile(), file);
    QVERIFY2(m_frame.isNull() || m_frame->isHidden(), "OK closes the window");
    QVERIFY(m_prompts.shown.isEmpty());
    QCOMPARE(list() ? list()->count() : 255, 255);
}

void TestCardComm::cancelStoresNothing()
{
    open();
    list()->setCurrentIndex(11);
    click("cmdCancel");
    QCOMPARE(m_state.comPort, Integer(3));
    QCOMPARE(portFile(), QByteArray("<none>"));
    QVERIFY2(m_frame.isNull() || m_frame->isHidden(), "Cancel closes the window");
}

void TestCardComm::connectDoesNothing()
{
    open();
    list()->setCurrentIndex(11);
    click("cmdConnect");
    QCOMPARE(m_state.comPort, Integer(3));
    QCOMPARE(portFile(), QByteArray("<none>"));
    QVERIFY(m_frame && m_frame->isVisible());
}

void TestCardComm::unwritableFileIsReported()
{
    m_state.appPath = m_dir->filePath(QStringLiteral("missing"));
    open();
    list()->setCurrentIndex(4);
    click("cmdOK");
    QCOMPARE(m_state.comPort, Integer(5));
    QCOMPARE(m_prompts.shown.size(), 1);
    const auto &shown = m_prompts.shown.first();
    QVERIFY2(
        shown.text.contains(m_state.appPath + QStringLiteral("/tarv.con")), qPrintable(shown.text));
    QCOMPARE(shown.icon, tarv::core::PromptIcon::Error);
    QVERIFY(shown.modal);
    QVERIFY2(m_frame.isNull() || m_frame->isHidden(), "the window closes after telling");
}

QTEST_MAIN(TestCardComm)
#include "tst_cardcomm.moc"
