#include "core/acquisitionstate.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "ui/config/frmconfig.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using tarv::core::AcquisitionState;
using tarv::testsupport::ScriptedPrompts;
using tarv::ui::config::FrmConfig;

namespace {

// The window under test with its controls looked up by name, as the operator
// would find them.
struct ConfigWindow
{
    AcquisitionState &state;
    ScriptedPrompts prompts;
    std::unique_ptr<FrmConfig> window;

    explicit ConfigWindow(AcquisitionState &s)
        : state(s)
        , window(std::make_unique<FrmConfig>(s, prompts))
    { }

    template<typename T> T *child(const QString &name) const
    {
        auto *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QRadioButton *input(int n) const
    {
        return child<QRadioButton>(QStringLiteral("optDIOInput%1").arg(n));
    }
    QRadioButton *output(int n) const
    {
        return child<QRadioButton>(QStringLiteral("optDIOOutput%1").arg(n));
    }
    QComboBox *type(int c) const
    {
        return child<QComboBox>(QStringLiteral("cmbInputType%1").arg(c));
    }
    QLineEdit *range(int c) const
    {
        return child<QLineEdit>(QStringLiteral("txtInputRange%1").arg(c));
    }
    void click(const char *button) const
    {
        QTest::mouseClick(child<QPushButton>(QLatin1String(button)), Qt::LeftButton);
    }

    // Lines shown as Input, as a bit mask (bit n = line n).
    int shownInputs() const
    {
        int mask = 0;
        for (int n = 0; n < 16; ++n) {
            if (input(n)->isChecked() == output(n)->isChecked())
                qFatal("line %d shows both or neither", n);
            mask |= input(n)->isChecked() ? 1 << n : 0;
        }
        return mask;
    }
    QStringList shownRanges() const
    {
        QStringList texts;
        for (int c = 0; c < 8; ++c)
            texts << range(c)->text();
        return texts;
    }
    QList<int> shownTypes() const
    {
        QList<int> types;
        for (int c = 0; c < 8; ++c)
            types << type(c)->currentIndex();
        return types;
    }
};

AcquisitionState defaultState()
{
    AcquisitionState state;
    tarv::core::applyDefaults(state);
    return state;
}

using tarv::testsupport::fileBytes;

QByteArray configBytes(
    const QByteArray &mask, const QByteArray &types, const QByteArrayList &ranges)
{
    return mask + "\r\n" + types + "\r\n" + ranges.join("\r\n") + "\r\n";
}

const QByteArrayList TenEightTimes(8, "10");

} // namespace

class TstFrmConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString fileWith(const QByteArray &bytes)
    {
        return tarv::testsupport::scratchFile(m_dir, bytes, QStringLiteral(".cfg"));
    }

    QByteArray savedToDisk(ConfigWindow &w)
    {
        static int serial = 0;
        const QString path = m_dir.filePath(QStringLiteral("out%1.cfg").arg(++serial));
        w.prompts.queueFile(path);
        w.click("cmdSaveToDisk");
        return fileBytes(path);
    }

private slots:
    void showsDefaultsAndSavesThem();
    void showsStoredState();
    void maskFollowsDirections_data();
    void maskFollowsDirections();
    void typesLineHasOneDigitPerChannel();
    void saveCopiesControlsIntoState_data();
    void saveCopiesControlsIntoState();
    void disabledSaveToCardDoesNothing();
    void savedDirectionShowsOnReopening();
    void typeOutsideListShowsNoSelection_data();
    void typeOutsideListShowsNoSelection();
    void rangesRoundTripAndCommaShifts();
    void loadFillsControlsButNotState();
    void failedLoadKeepsWhatWasDone_data();
    void failedLoadKeepsWhatWasDone();
    void cancelledDialogsChangeNothing();
};

void TstFrmConfig::showsDefaultsAndSavesThem()
{
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Card Configuration"));
    QCOMPARE(w.child<QGroupBox>(QStringLiteral("FrameDIO15"))->title(),
        QStringLiteral("Digital Input/Output 15"));
    QCOMPARE(w.child<QGroupBox>(QStringLiteral("FrameAnalog3"))->title(),
        QStringLiteral("Analog Input 3"));
    QCOMPARE(w.shownInputs(), 0xFFFF);
    for (int c = 0; c < 8; ++c)
        QCOMPARE(w.type(c)->currentText(), QStringLiteral("+/- 10V"));
    QCOMPARE(w.shownRanges(), QStringList(8, QStringLiteral("10")));

    QCOMPARE(savedToDisk(w), configBytes("FFFF", "00000000", TenEightTimes));
    QCOMPARE(w.prompts.fileRequests.size(), 1);
    QCOMPARE(w.prompts.fileRequests[0].filter, QStringLiteral("Config Files (*.cfg)"));
    QCOMPARE(w.prompts.fileRequests[0].defaultSuffix, QStringLiteral("cfg"));
    QVERIFY2(w.prompts.shown.isEmpty(), "a successful save shows nothing");
}

void TstFrmConfig::showsStoredState()
{
    AcquisitionState state = defaultState();
    state.dioDirection[0] = state.dioDirection[9] = tarv::core::True;
    state.inputType[2] = 6;
    state.inputRange[2] = 12.7;
    state.inputRange[5] = -0.001;
    ConfigWindow w(state);
    QCOMPARE(w.shownInputs(), 0xFFFF & ~(1 << 0) & ~(1 << 9));
    QCOMPARE(w.type(2)->currentText(), QStringLiteral("T/C - K"));
    QCOMPARE(w.range(2)->text(), QStringLiteral("12.7"));
    QCOMPARE(w.range(5)->text(), QStringLiteral("-0.001"));
}

void TstFrmConfig::maskFollowsDirections_data()
{
    QTest::addColumn<QList<int>>("outputs");
    QTest::addColumn<QByteArray>("mask");
    QTest::newRow("lines 0-7 output") << QList<int> {0, 1, 2, 3, 4, 5, 6, 7} << QByteArray("FF00");
    QTest::newRow("lines 0 and 15 output") << QList<int> {0, 15} << QByteArray("7FFE");
    QTest::newRow("only line 0 input")
        << QList<int> {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << QByteArray("0001");
    QList<int> all;
    for (int n = 0; n < 16; ++n)
        all << n;
    QTest::newRow("all output") << all << QByteArray("0000");
}

void TstFrmConfig::maskFollowsDirections()
{
    QFETCH(QList<int>, outputs);
    QFETCH(QByteArray, mask);
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    for (int n : outputs)
        w.output(n)->click();
    QCOMPARE(savedToDisk(w), configBytes(mask, "00000000", TenEightTimes));
}

void TstFrmConfig::typesLineHasOneDigitPerChannel()
{
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    w.type(3)->setCurrentIndex(5);
    w.type(7)->setCurrentIndex(4);
    QCOMPARE(savedToDisk(w), configBytes("FFFF", "00050004", TenEightTimes));

    // A typed text has no list position: "-1" makes the line longer.
    QTest::keyClicks(w.type(1)->lineEdit(), QStringLiteral("x"));
    QCOMPARE(savedToDisk(w), configBytes("FFFF", "0-1050004", TenEightTimes));
}

void TstFrmConfig::saveCopiesControlsIntoState_data()
{
    QTest::addColumn<QString>("rangeText");
    QTest::addColumn<double>("range");
    QTest::newRow("plain") << "100" << 100.0;
    QTest::newRow("fraction") << "12.7" << 12.7;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("leading number") << " -2.5e1V" << -25.0;
    QTest::newRow("comma ends the number") << "1,5" << 1.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TstFrmConfig::saveCopiesControlsIntoState()
{
    QFETCH(QString, rangeText);
    QFETCH(double, range);
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    w.output(3)->click();
    w.output(15)->click();
    w.type(0)->setCurrentIndex(6);
    w.range(4)->setText(rangeText);
    QTest::keyClicks(w.type(2)->lineEdit(), QStringLiteral("typed"));
    w.click("cmdSave0");

    for (int n = 0; n < 16; ++n)
        QCOMPARE(int(state.dioDirection[n]), n == 3 || n == 15 ? -1 : 0);
    QCOMPARE(int(state.inputType[0]), 6);
    QCOMPARE(int(state.inputType[1]), 0);
    QCOMPARE(int(state.inputType[2]), -1);
    QCOMPARE(state.inputRange[4], range);
    QCOMPARE(state.inputRange[5], 10.0);
    QVERIFY(w.prompts.shown.isEmpty());
}

void TstFrmConfig::disabledSaveToCardDoesNothing()
{
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    auto *toCard = w.child<QPushButton>(QStringLiteral("cmdSave1"));
    QCOMPARE(toCard->text(), QStringLiteral("Save Configuration to DAQ"));
    QCOMPARE(toCard->toolTip(), QStringLiteral("Hard"));
    QCOMPARE(w.child<QPushButton>(QStringLiteral("cmdSave0"))->toolTip(),
        QStringLiteral("Saves Configuraton"));
    QVERIFY(!toCard->isEnabled());

    w.output(0)->click();
    w.click("cmdSave1");
    QCOMPARE(int(state.dioDirection[0]), 0);
}

void TstFrmConfig::savedDirectionShowsOnReopening()
{
    AcquisitionState state = defaultState();
    {
        ConfigWindow w(state);
        w.output(3)->click();
        w.output(4)->click(); // changed but not saved before closing
        w.click("cmdSave0");
        w.input(4)->click();
    }
    ConfigWindow again(state);
    QCOMPARE(again.shownInputs(), 0xFFFF & ~(1 << 3) & ~(1 << 4));
}

void TstFrmConfig::typeOutsideListShowsNoSelection_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("saved");
    QTest::newRow("no selection") << -1 << -1 << -1;
    QTest::newRow("below the list") << -2 << -1 << -1;
    QTest::newRow("above the list") << 7 << -1 << -1;
    QTest::newRow("far above") << 32767 << -1 << -1;
    QTest::newRow("last entry") << 6 << 6 << 6;
}

void TstFrmConfig::typeOutsideListShowsNoSelection()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    QFETCH(int, saved);
    AcquisitionState state = defaultState();
    state.inputType[5] = tarv::core::Integer(stored);
    ConfigWindow w(state);
    QCOMPARE(w.type(5)->currentIndex(), shown);
    if (shown < 0)
        QVERIFY2(w.type(5)->currentText().isEmpty(), "no selection shows no text");
    w.click("cmdSave0");
    QCOMPARE(int(state.inputType[5]), saved);
}

void TstFrmConfig::rangesRoundTripAndCommaShifts()
{
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    const QStringList typed {"100", "101", "1,5", "103", "104", "105", "106", "107"};
    for (int c = 0; c < 8; ++c)
        w.range(c)->setText(typed[c]);
    const QByteArray saved = savedToDisk(w);
    QCOMPARE(saved,
        configBytes("FFFF", "00000000", {"100", "101", "1,5", "103", "104", "105", "106", "107"}));

    AcquisitionState other = defaultState();
    ConfigWindow reader(other);
    reader.prompts.queueFile(fileWith(saved));
    reader.click("cmdLoadFromDisk");
    QCOMPARE(
        reader.shownRanges(), (QStringList {"100", "101", "1", "5", "103", "104", "105", "106"}));
}

void TstFrmConfig::loadFillsControlsButNotState()
{
    AcquisitionState state = defaultState();
    const AcquisitionState before = state;
    ConfigWindow w(state);
    w.prompts.queueFile(
        fileWith(configBytes("00FF", "6543210", {"1", "2", "3", "4", "5", "6", "7", "8"})));
    w.click("cmdLoadFromDisk");

    QCOMPARE(w.shownInputs(), 0x00FF);
    // Seven digits: the missing eighth reads as position 0.
    QCOMPARE(w.shownTypes(), (QList<int> {6, 5, 4, 3, 2, 1, 0, 0}));
    QCOMPARE(w.shownRanges(), (QStringList {"1", "2", "3", "4", "5", "6", "7", "8"}));
    QVERIFY(w.prompts.shown.isEmpty());
    QCOMPARE(state.dioDirection, before.dioDirection);
    QCOMPARE(state.inputType, before.inputType);
    QCOMPARE(state.inputRange, before.inputRange);

    w.click("cmdSave0");
    QCOMPARE(int(state.dioDirection[7]), 0);
    QCOMPARE(int(state.dioDirection[8]), -1);
    QCOMPARE(int(state.inputType[0]), 6);
    QCOMPARE(state.inputRange[7], 8.0);
}

void TstFrmConfig::failedLoadKeepsWhatWasDone_data()
{
    const QByteArrayList ranges {"1", "2", "3", "4", "5", "6", "7", "8"};
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("filled"); // channels that took the file's type and range
    QTest::addColumn<QList<int>>("types");
    const QList<int> untouched(8, 0);
    QTest::newRow("short file") << QByteArray("00FF\r\n11111111\r\n1\r\n2\r\n") << 0xFFFF << 0
                                << untouched;
    QTest::newRow("mask not hex") << configBytes("00FG", "11111111", ranges) << 0xFFFF << 0
                                  << untouched;
    QTest::newRow("type digit without entry at channel 3") << configBytes(
        "00FF", "11171111", ranges) << 0x00FF << 3 << QList<int> {1, 1, 1, 0, 0, 0, 0, 0};
    QTest::newRow("digit 9 at channel 0")
        << configBytes("0001", "9", ranges) << 0x0001 << 0 << untouched;
    QTest::newRow("minus, letter and blank read as 0, no failure") << configBytes(
        "0001", "1-x 1111", ranges) << 0x0001 << 8 << QList<int> {1, 0, 0, 0, 1, 1, 1, 1};
}

void TstFrmConfig::failedLoadKeepsWhatWasDone()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, inputs);
    QFETCH(int, filled);
    QFETCH(QList<int>, types);
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    w.prompts.queueFile(fileWith(bytes));
    w.click("cmdLoadFromDisk");

    QCOMPARE(w.shownInputs(), inputs);
    QCOMPARE(w.shownTypes(), types);
    for (int c = 0; c < 8; ++c)
        QCOMPARE(w.range(c)->text(), c < filled ? QString::number(c + 1) : QStringLiteral("10"));
    QVERIFY2(w.prompts.shown.isEmpty(), "a failed load ends silently");
}

void TstFrmConfig::cancelledDialogsChangeNothing()
{
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    w.output(2)->click();
    w.prompts.queueFile(std::nullopt);
    w.click("cmdSaveToDisk");
    w.prompts.queueFile(std::nullopt);
    w.click("cmdLoadFromDisk");

    QCOMPARE(w.prompts.fileRequests.size(), 2);
    QVERIFY(w.prompts.shown.isEmpty());
    QCOMPARE(w.shownInputs(), 0xFFFF & ~(1 << 2));
    QCOMPARE(int(state.dioDirection[2]), 0);
}

QTEST_MAIN(TstFrmConfig)
#include "tst_frmconfig.moc"
