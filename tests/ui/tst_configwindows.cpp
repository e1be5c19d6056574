// The Options windows (configuration, calibration, port): what they decide, and the
// files their buttons write and read, whose field rules are the settings files'.
#include "support/mainwindowrig.h"
#include "support/testfiles.h"
#include "ui/config/calibrationfile.h"
#include "ui/config/configfile.h"
#include "ui/config/frmcalib.h"
#include "ui/config/frmconfig.h"
#include "ui/filledshape.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarv;
using namespace tarv::ui::config;
using core::AcquisitionState;
using core::Integer;
using testsupport::namedChild;

// The port at opening, the list position picked or text typed, the button, the result.
struct PortCase
{
    int comPort;
    int pick;
    const char *typed;
    const char *button;
    int stored;
};
Q_DECLARE_METATYPE(PortCase)

namespace {

AcquisitionState defaults()
{
    AcquisitionState state;
    core::applyDefaults(state);
    return state;
}

// The calibration counts in file order: per channel zero10V, zero200mV, span10V,
// span200mV, rtdCal.
QList<int> counts(const AcquisitionState &s)
{
    QList<int> all;
    for (int c = 0; c < 8; ++c)
        all << s.zero10V[c] << s.zero200mV[c] << s.span10V[c] << s.span200mV[c] << s.rtdCal[c];
    return all;
}

// Forty distinct counts, none a default; -1 and 2 can also be written #TRUE# and 2.5.
const QList<int> Sample = [] {
    QList<int> all {-32768, -1, 2};
    for (int i = 3; i < 39; ++i)
        all << (i % 2 ? -1 : 1) * (i * 811 + 7);
    return all << 32767;
}();

QByteArray lines(const QList<int> &values, const char *separator = "\r\n")
{
    QByteArrayList out;
    for (int value : values)
        out << QByteArray::number(value);
    return out.join(separator);
}

QByteArray cfg(const QByteArray &mask, const QByteArray &types, const QByteArrayList &ranges)
{
    return mask + "\r\n" + types + "\r\n" + ranges.join("\r\n") + "\r\n";
}

void click(const QObject &window, const char *button)
{
    QTest::mouseClick(namedChild<QPushButton>(window, button), Qt::LeftButton);
}

// The configuration as shown: the Input lines' mask, list positions, range texts.
QString controls(const QWidget &w)
{
    int mask = 0;
    QStringList types, ranges;
    for (int n = 0; n < 16; ++n)
        mask |= namedChild<QRadioButton>(w, "optDIOInput", n)->isChecked() ? 1 << n : 0;
    for (int c = 0; c < 8; ++c) {
        types << QString::number(namedChild<QComboBox>(w, "cmbInputType", c)->currentIndex());
        ranges << namedChild<QLineEdit>(w, "txtInputRange", c)->text();
    }
    return QStringLiteral("%1 %2 %3")
        .arg(mask, 4, 16, QLatin1Char('0'))
        .arg(types.join(u','), ranges.join(u','));
}

// The calibration window's lit indicators, as "shpZero0 #0000ff"; ticking channels.
QString lit(const QWidget &calib)
{
    QStringList on;
    for (const char *shape : {"shpZero", "shpSpan"})
        for (int i = 0; i < 8; ++i)
            if (const QColor c = namedChild<ui::FilledShape>(calib, shape, i)->fillColor();
                c != Qt::black)
                on << QStringLiteral("%1%2 %3").arg(QLatin1String(shape)).arg(i).arg(c.name());
    return on.join(u',');
}
void tickOnly(const QWidget &calib, const QList<int> &channels)
{
    for (int i = 0; i < 8; ++i)
        namedChild<QCheckBox>(calib, "chkSel", i)->setChecked(channels.contains(i));
}

const QByteArray Id = "\"Tarvane2020 ver.1.1 Calib File\"\r\n";
const QString Stored = QStringLiteral("Calibration: Calibration value stored I");
const QString TooHigh = QStringLiteral("Calibration: Analog Value too high E");
const QString TooLow = QStringLiteral("Calibration: Analog Value too low E");

} // namespace

class TestConfigWindows : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // A file holding `bytes`, or none for a null array.
    QString file(const QByteArray &bytes)
    {
        return bytes.isNull() ? m_dir.filePath(QStringLiteral("none"))
                              : testsupport::scratchFile(m_dir, bytes, QStringLiteral(".f"));
    }

private slots:
    // The controls show the state; Save to Disk writes them as they stand, only Save
    // puts them into the state.
    void configShowsAndSaves()
    {
        AcquisitionState state = defaults();
        state.dioDirection[9] = core::True;
        state.inputType[4] = 6; // the last entry; only an edited file holds 7 or -2
        state.inputType[5] = 7;
        state.inputType[6] = -2;
        state.inputRange[2] = 12.7;
        const AcquisitionState before = state;
        testsupport::ScriptedPrompts prompts;
        FrmConfig w(state, prompts);
        // A type the list cannot show is no selection rather than one it is not.
        QCOMPARE(controls(w), QStringLiteral("fdff 0,0,0,0,6,-1,-1,0 10,10,12.7,10,10,10,10,10"));
        for (int n = 0; n < 16; ++n)
            namedChild<QRadioButton>(w, n < 8 ? "optDIOOutput" : "optDIOInput", n)->click();
        const auto type = [&w](int c) { return namedChild<QComboBox>(w, "cmbInputType", c); };
        const auto range = [&w](int c) { return namedChild<QLineEdit>(w, "txtInputRange", c); };
        type(3)->setCurrentIndex(5);
        type(7)->setCurrentIndex(6);
        QTest::keyClicks(type(1)->lineEdit(), QStringLiteral("x")); // typed: no list position
        range(2)->setText(QStringLiteral("1,5"));
        range(4)->setText(QStringLiteral("abc"));
        range(5)->clear();
        range(6)->setText(QStringLiteral("1e400")); // too large: the old range stays
        // A cancelled load changes nothing; writing into the card was never made to work.
        prompts.queueFile(std::nullopt);
        click(w, "cmdLoadFromDisk");
        QVERIFY(!namedChild<QPushButton>(w, "cmdSave1")->isEnabled());
        click(w, "cmdSave1");
        prompts.queueFile(m_dir.filePath(QStringLiteral("saved.cfg")));
        click(w, "cmdSaveToDisk");
        QCOMPARE(testsupport::fileBytes(m_dir.filePath(QStringLiteral("saved.cfg"))),
            cfg("FF00", "0-1056-1-16", {"10", "10", "1,5", "10", "abc", "", "1e400", "10"}));
        for (const core::FileDialogOptions &request : prompts.fileRequests)
            QCOMPARE(request.filter + u'|' + request.defaultSuffix, "Config Files (*.cfg)|cfg");
        QVERIFY(state.dioDirection == before.dioDirection && state.inputType == before.inputType
            && state.inputRange == before.inputRange);
        click(w, "cmdSave0");
        QCOMPARE(controls(FrmConfig(state, prompts)),
            QStringLiteral("ff00 0,-1,0,5,6,-1,-1,6 10,10,1,10,0,0,10,10"));
        QVERIFY2(prompts.shown.isEmpty(), "saving shows nothing");
    }

    // A load fills the controls until a fault, silently, and leaves the state alone.
    void configLoads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QByteArrayList ranges {"1", "2", "3", "4", "5", "6", "7", "8"};
        const QString untouched = QStringLiteral("ffff 0,0,0,0,0,0,0,0 10,10,10,10,10,10,10,10");
        QTest::newRow("lower-case mask; minus, letter, blank, no eighth digit read as 0")
            << cfg("00ff", "6-x 210", ranges) << "00ff 6,0,0,0,2,1,0,0 1,2,3,4,5,6,7,8";
        // What Save to Disk writes for a typed-in type loads back in place.
        QTest::newRow("-1 keeps the later channels in place")
            << cfg("0ABC", "0-1050006", ranges) << "0abc 0,-1,0,5,0,0,0,6 1,2,3,4,5,6,7,8";
        QTest::newRow("type 7 at channel 3")
            << cfg("00FF", "11171111", ranges) << "00ff 1,1,1,0,0,0,0,0 1,2,3,10,10,10,10,10";
        // Bit 31 makes the mask negative, and its remainders read as Output.
        QTest::newRow("bit 31 set")
            << cfg("EDDDDEEF", "66666666", ranges) << "0000 6,6,6,6,6,6,6,6 1,2,3,4,5,6,7,8";
        QTest::newRow("not hex") << cfg("00FG", "11111111", ranges) << untouched;
        QTest::newRow("short file") << QByteArray("00FF\r\n11111111\r\n1\r\n") << untouched;
        QTest::newRow("missing file") << QByteArray() << untouched;
    }
    void configLoads()
    {
        QFETCH(QByteArray, bytes);
        AcquisitionState state = defaults();
        testsupport::ScriptedPrompts prompts;
        FrmConfig w(state, prompts);
        prompts.queueFile(file(bytes));
        click(w, "cmdLoadFromDisk");
        QTEST(controls(w), "shown");
        QVERIFY(prompts.shown.isEmpty());
        QVERIFY(state.dioDirection == defaults().dioDirection
            && state.inputType == defaults().inputType);
    }

    // Zero points are refused above their limit and light the zero indicator, spans
    // below theirs and light the span one; only ticked channels are captured. The
    // counts shown are those of the last complete (62-character) frame.
    void calibCaptureHonoursLimits_data()
    {
        QTest::addColumn<QString>("button"); // cmdCalibrate...
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("target"); // its place among a channel's counts, -1 if refused
        QTest::addColumn<QString>("lit");
        QTest::addColumn<QString>("box");
        QTest::newRow("0V at 150") << "10V1" << 150 << 0 << "shpZero0 #0000ff" << Stored;
        QTest::newRow("0V at 151") << "10V1" << 151 << -1 << "" << TooHigh;
        QTest::newRow("0mV at 150") << "200mV1" << 150 << 1 << "shpZero0 #00ff00" << Stored;
        QTest::newRow("10V at 26000") << "10V0" << 26000 << 2 << "shpSpan0 #0000ff" << Stored;
        QTest::newRow("10V at 25999") << "10V0" << 25999 << -1 << "" << TooLow;
        QTest::newRow("200mV at 23000") << "200mV0" << 23000 << 3 << "shpSpan0 #00ff00" << Stored;
        QTest::newRow("200mV at 22999") << "200mV0" << 22999 << -1 << "" << TooLow;
        QTest::newRow("RTD, any count") << "RTD" << -32768 << 4 << "shpSpan0 #ff0000" << Stored;
    }
    void calibCaptureHonoursLimits()
    {
        QFETCH(QString, button);
        QFETCH(int, count);
        QFETCH(int, target);
        AcquisitionState state = defaults();
        testsupport::ScriptedPrompts prompts;
        FrmCalib w(state, prompts);
        tickOnly(w, {0});
        state.rawCounts.fill(100); // what a zero capture would take from an unticked channel
        state.rawCounts[0] = Integer(count);
        w.tick();
        state.analogFrame.chop(1);
        state.rawCounts[0] = 0;
        w.tick();
        QCOMPARE(namedChild<QLabel>(w, "lblData0")->text(), QString::number(count));
        state.rawCounts[0] = Integer(count);
        click(w, qPrintable("cmdCalibrate" + button));
        QList<int> expected = counts(defaults());
        if (target >= 0)
            expected[target] = count;
        QCOMPARE(counts(state), expected);
        QTEST(lit(w), "lit");
        QTEST(prompts.boxes().join(u'\n'), "box");
    }

    // An import takes counts until a fault and says so only when complete or
    // incompatible; an export writes the quoted identification, then all the counts,
    // one a line, over an older file. Neither lights anything or names a file type.
    void calibFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no such file
        QTest::addColumn<int>("taken");
        QTest::addColumn<QString>("box");
        QTest::newRow("hand-edited: unquoted, #TRUE#, a half, blanks, LF")
            << "  Tarvane2020 ver.1.1 Calib File\n-32768,#TRUE#,  2.5\n"
                + lines(Sample.mid(3), ",  ")
            << 40 << "File Import: Calibration File inported successfully. I";
        QTest::newRow("letter case") << "\"tarvane2020 ver.1.1 calib file\"\r\n" + lines(Sample)
                                     << 0 << "File Import: Incompatible Calibration File! E";
        QTest::newRow("thirty-nine counts") << Id + lines(Sample.mid(0, 39), ",") << 39 << "";
        QTest::newRow("missing file") << QByteArray() << 0 << "";
    }
    void calibFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, taken);
        AcquisitionState state = defaults();
        testsupport::ScriptedPrompts prompts;
        FrmCalib w(state, prompts);
        prompts.queueFile(std::nullopt); // a cancel first, which does nothing
        prompts.queueFile(file(bytes));
        click(w, "cmdImport");
        click(w, "cmdImport");
        QCOMPARE(counts(state), Sample.mid(0, taken) + counts(defaults()).mid(taken));
        QTEST(prompts.boxes().join(u'\n'), "box");
        const QString path = file(QByteArray(2000, '9'));
        tickOnly(w, {});
        prompts.queueFile(path);
        click(w, "cmdExport");
        QCOMPARE(testsupport::fileBytes(path), Id + lines(counts(state)) + "\r\n");
        for (const core::FileDialogOptions &request : prompts.fileRequests)
            QVERIFY(request.filter.isEmpty() && request.defaultSuffix.isEmpty());
        QCOMPARE(lit(w), QString());
    }

    // The list opens on the current port; OK stores the choice and closes. Typed text
    // or a port the list lacks is no choice; a new port is used from the next start.
    void portChoice_data()
    {
        QTest::addColumn<PortCase>("c");
        QTest::newRow("first, kept") << PortCase {1, -1, "", "cmdOK", 1};
        QTest::newRow("last, kept") << PortCase {255, -1, "", "cmdOK", 255};
        QTest::newRow("beyond the list") << PortCase {256, -1, "", "cmdOK", 0};
        QTest::newRow("picked") << PortCase {3, 11, "", "cmdOK", 12};
        QTest::newRow("typed") << PortCase {3, -1, "COM 7", "cmdOK", 0};
        QTest::newRow("cancelled") << PortCase {3, 11, "", "cmdCancel", 3};
        QTest::newRow("connect") << PortCase {3, 11, "", "cmdConnect", 3};
    }
    void portChoice()
    {
        QFETCH(PortCase, c);
        testsupport::MainWindowRig rig;
        rig.state.comPort = Integer(c.comPort);
        QMdiSubWindow *frame = rig.make().openChild(QStringLiteral("OptionsCardComm"));
        auto *list = namedChild<QComboBox>(*frame, "cmbComm");
        QCOMPARE(list->itemText(list->count() - 1), QStringLiteral("COM 255"));
        if (c.pick >= 0)
            list->setCurrentIndex(c.pick);
        if (*c.typed) {
            list->lineEdit()->selectAll();
            QTest::keyClicks(list->lineEdit(), QLatin1String(c.typed));
        }
        click(*frame, c.button);
        QCOMPARE(rig.state.comPort, Integer(c.stored));
        const bool ok = c.button == std::string_view("cmdOK");
        QCOMPARE(testsupport::fileBytes(rig.filePath(QStringLiteral("tarv.con"))),
            ok ? " " + QByteArray::number(c.stored) + " \r\n" : QByteArray());
        QCOMPARE(!rig.window->childWindow(QStringLiteral("OptionsCardComm")),
            c.button != std::string_view("cmdConnect"));
        QVERIFY(rig.prompts.shown.isEmpty());
    }
};

QTEST_MAIN(TestConfigWindows)
#include "tst_configwindows.moc"
