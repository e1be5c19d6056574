#include "core/acquisitionstate.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "ui/config/frmconfig.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using tarv::core::AcquisitionState;
using tarv::testsupport::ScriptedPrompts;
using tarv::ui::config::FrmConfig;

namespace {

// The window under test with its controls looked up by name, as the operator
// would find them.
struct ConfigWindow
{
    ScriptedPrompts prompts;
    FrmConfig window;

    explicit ConfigWindow(AcquisitionState &state)
        : window(state, prompts)
    { }

    template<typename T> T *child(const char *name, int index = -1) const
    {
        return tarv::testsupport::namedChild<T>(window, name, index);
    }
    QRadioButton *input(int n) const { return child<QRadioButton>("optDIOInput", n); }
    QRadioButton *output(int n) const { return child<QRadioButton>("optDIOOutput", n); }
    QComboBox *type(int c) const { return child<QComboBox>("cmbInputType", c); }
    QLineEdit *range(int c) const { return child<QLineEdit>("txtInputRange", c); }
    void click(const char *button) const
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
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
};

AcquisitionState defaultState()
{
    AcquisitionState state;
    tarv::core::applyDefaults(state);
    return state;
}

QByteArray configBytes(
    const QByteArray &mask, const QByteArray &types, const QByteArrayList &ranges)
{
    return mask + "\r\n" + types + "\r\n" + ranges.join("\r\n") + "\r\n";
}

const QByteArrayList OneToEight {"1", "2", "3", "4", "5", "6", "7", "8"};

} // namespace

class TstFrmConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void showsStoredState();
    void saveWritesControls_data();
    void saveWritesControls();
    void loadFillsControlsUntilAFault_data();
    void loadFillsControlsUntilAFault();
    void nothingReachesStateWithoutSave();
};

void TstFrmConfig::showsStoredState()
{
    AcquisitionState state = defaultState();
    state.dioDirection[0] = state.dioDirection[9] = tarv::core::True;
    state.inputType[4] = 6; // the last entry
    state.inputType[5] = 7;
    state.inputType[6] = -2;
    state.inputRange[2] = 12.7;
    ConfigWindow w(state);
    QCOMPARE(w.shownInputs(), 0xFFFF & ~(1 << 0) & ~(1 << 9));
    QCOMPARE(w.range(2)->text(), QStringLiteral("12.7"));

    // A type the list cannot show is no selection rather than a type it is not,
    // and Save stores it as no list position.
    QCOMPARE(w.type(4)->currentIndex(), 6);
    for (const int c : {5, 6}) {
        QCOMPARE(w.type(c)->currentIndex(), -1);
        QVERIFY2(w.type(c)->currentText().isEmpty(), "no selection shows no text");
    }
    w.click("cmdSave0");
    QCOMPARE(int(state.inputType[4]), 6);
    QCOMPARE(int(state.inputType[5]), -1);
    QCOMPARE(int(state.inputType[6]), -1);
}

void TstFrmConfig::saveWritesControls_data()
{
    QTest::addColumn<QList<int>>("outputs");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<QString>("rangeText");
    QTest::addColumn<double>("range");
    QTest::newRow("all input, fraction") << QList<int>() << QByteArray("FFFF") << "12.7" << 12.7;
    QTest::newRow("lines 0-7 output, no number")
        << QList<int> {0, 1, 2, 3, 4, 5, 6, 7} << QByteArray("FF00") << "abc" << 0.0;
    QTest::newRow("only line 0 input, too large keeps the old range")
        << QList<int> {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << QByteArray("0001")
        << "1e400" << 10.0;
}

void TstFrmConfig::saveWritesControls()
{
    QFETCH(QList<int>, outputs);
    QFETCH(QByteArray, mask);
    QFETCH(QString, rangeText);
    QFETCH(double, range);
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    for (int n : outputs)
        w.output(n)->click();
    w.type(3)->setCurrentIndex(5);
    w.type(7)->setCurrentIndex(6);
    // A typed text has no list position: its "-1" makes the types line longer.
    QTest::keyClicks(w.type(1)->lineEdit(), QStringLiteral("x"));
    w.range(2)->setText(QStringLiteral("1,5"));
    w.range(4)->setText(rangeText);
    w.range(6)->clear();

    // The disk gets the texts as typed, the state their values.
    const QString path = m_dir.filePath(QStringLiteral("%1.cfg").arg(QTest::currentDataTag()));
    w.prompts.queueFile(path);
    w.click("cmdSaveToDisk");
    QCOMPARE(tarv::testsupport::fileBytes(path),
        configBytes(
            mask, "0-1050006", {"10", "10", "1,5", "10", rangeText.toLatin1(), "10", "", "10"}));
    QCOMPARE(w.prompts.fileRequests.size(), 1);
    QCOMPARE(w.prompts.fileRequests[0].filter, QStringLiteral("Config Files (*.cfg)"));
    QCOMPARE(w.prompts.fileRequests[0].defaultSuffix, QStringLiteral("cfg"));

    w.click("cmdSave0");
    for (int n = 0; n < 16; ++n)
        QCOMPARE(int(state.dioDirection[n]), outputs.contains(n) ? -1 : 0);
    const QList<int> types {0, -1, 0, 5, 0, 0, 0, 6};
    for (int c = 0; c < 8; ++c)
        QCOMPARE(int(state.inputType[c]), types[c]);
    QCOMPARE(state.inputRange[2], 1.0);
    QCOMPARE(state.inputRange[4], range);
    QCOMPARE(state.inputRange[6], 0.0);
    QVERIFY2(w.prompts.shown.isEmpty(), "saving shows nothing");
}

void TstFrmConfig::loadFillsControlsUntilAFault_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("filled"); // channels that took the file's type and range
    QTest::addColumn<QList<int>>("types");
    const QList<int> untouched(8, 0);
    QTest::newRow("minus, letter, blank and a missing eighth digit read as 0") << configBytes(
        "00FF", "6-x 210", OneToEight) << 0x00FF << 8 << QList<int> {6, 0, 0, 0, 2, 1, 0, 0};
    // What Save to Disk writes for a typed-in type must load back in place.
    QTest::newRow("typed type's -1 keeps the later channels in place") << configBytes(
        "00FF", "0-1050006", OneToEight) << 0x00FF << 8 << QList<int> {0, -1, 0, 5, 0, 0, 0, 6};
    QTest::newRow("type digit without entry at channel 3") << configBytes(
        "00FF", "11171111", OneToEight) << 0x00FF << 3 << QList<int> {1, 1, 1, 0, 0, 0, 0, 0};
    QTest::newRow("mask not hex") << configBytes("00FG", "11111111", OneToEight) << 0xFFFF << 0
                                  << untouched;
    QTest::newRow("short file") << QByteArray("00FF\r\n11111111\r\n1\r\n2\r\n") << 0xFFFF << 0
                                << untouched;
}

void TstFrmConfig::loadFillsControlsUntilAFault()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, inputs);
    QFETCH(int, filled);
    QFETCH(QList<int>, types);
    AcquisitionState state = defaultState();
    const AcquisitionState before = state;
    ConfigWindow w(state);
    w.prompts.queueFile(tarv::testsupport::scratchFile(m_dir, bytes, QStringLiteral(".cfg")));
    w.click("cmdLoadFromDisk");

    QCOMPARE(w.shownInputs(), inputs);
    for (int c = 0; c < 8; ++c) {
        QCOMPARE(w.type(c)->currentIndex(), types[c]);
        QCOMPARE(w.range(c)->text(), c < filled ? QString::number(c + 1) : QStringLiteral("10"));
    }
    QVERIFY2(w.prompts.shown.isEmpty(), "a load, failed or not, ends silently");
    // Only Save puts what was loaded into the state.
    QCOMPARE(state.dioDirection, before.dioDirection);
    QCOMPARE(state.inputType, before.inputType);
    QCOMPARE(state.inputRange, before.inputRange);
}

void TstFrmConfig::nothingReachesStateWithoutSave()
{
    AcquisitionState state = defaultState();
    ConfigWindow w(state);
    w.output(2)->click();
    w.prompts.queueFile(std::nullopt);
    w.click("cmdSaveToDisk");
    w.prompts.queueFile(std::nullopt);
    w.click("cmdLoadFromDisk");
    // Writing into the card was never made to work; its button must stay inert.
    QVERIFY(!w.child<QPushButton>("cmdSave1")->isEnabled());
    w.click("cmdSave1");

    QCOMPARE(w.prompts.fileRequests.size(), 2);
    QVERIFY(w.prompts.shown.isEmpty());
    QCOMPARE(w.shownInputs(), 0xFFFF & ~(1 << 2));
    QCOMPARE(int(state.dioDirection[2]), 0);
}

QTEST_MAIN(TstFrmConfig)
#include "tst_frmconfig.moc"
