// The Options windows (card configuration, calibration, card communication) and the
// files they read and write. The files' field rules are the settings files' own
// (tst_settingsfiles); the windows are tested for what they decide.
#include "support/mainwindowrig.h"
#include "support/testfiles.h"
#include "ui/config/calibrationfile.h"
#include "ui/config/configfile.h"
#include "ui/config/frmcalib.h"
#include "ui/config/frmconfig.h"
#include "ui/filledshape.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace tarv;
using namespace tarv::ui::config;
using core::AcquisitionState;
using core::Integer;
using testsupport::namedChild;

namespace {

AcquisitionState defaults()
{
    AcquisitionState state;
    core::applyDefaults(state);
    return state;
}

// The forty calibration counts in file order: each channel's zero10V, zero200mV,
// span10V, span200mV and rtdCal.
QList<int> counts(const AcquisitionState &s)
{
    QList<int> all;
    for (int c = 0; c < 8; ++c)
        all << s.zero10V[c] << s.zero200mV[c] << s.span10V[c] << s.span200mV[c] << s.rtdCal[c];
    return all;
}

// Forty distinct counts, none a default; -1 and 2 are also given as #TRUE# and 2.5.
QList<int> sample()
{
    QList<int> all {-32768, -1, 2};
    for (int i = 3; i < 39; ++i)
        all << (i % 2 ? -1 : 1) * (i * 811 + 7);
    return all << 32767;
}

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

// Every box shown: "title: text", its icon (-, I, W, E), and "modeless" if so.
QStringList boxes(const testsupport::ScriptedPrompts &prompts)
{
    QStringList list;
    for (const auto &s : prompts.shown)
        list << QStringLiteral("%1: %2 %3%4")
                    .arg(s.title, s.text, QChar(u"-IWE"[int(s.icon)]),
                        s.modal ? QString() : QStringLiteral(" modeless"));
    return list;
}

// The configuration window as shown: the lines shown as Input as a hex mask (bit n =
// line n), then each channel's input type list position, then its range text.
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

// The calibration window's lit indicators, as "shpZero5 #0000ff".
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

    // A file holding `bytes`; a null array stands for no file at all.
    QString file(const QByteArray &bytes)
    {
        return bytes.isNull() ? m_dir.filePath(QStringLiteral("none"))
                              : testsupport::scratchFile(m_dir, bytes, QStringLiteral(".f"));
    }

private slots:
    void mask_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("written"); // empty: the text is refused
        QTest::newRow("all output") << "0000" << 0 << "0000";
        QTest::newRow("padded to four") << "ABC" << 0xABC << "0ABC";
        QTest::newRow("beyond 16 lines") << "12345" << 0x12345 << "12345";
        // Bit 31 makes the value negative; its eight digits need no padding.
        QTest::newRow("bit 31 set") << "EDDDDEEE" << int(0xEDDDDEEEu) << "EDDDDEEE";
        QTest::newRow("lower case") << "00ff" << 0xFF << "00FF";
        QTest::newRow("nine digits") << "100000000" << 0 << "";
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("not hex") << "12G4" << 0 << "";
    }
    void mask()
    {
        QFETCH(QString, text);
        QFETCH(int, mask);
        QFETCH(QString, written);
        QCOMPARE(parseMask(text), written.isEmpty() ? std::nullopt : std::optional(mask));
        if (!written.isEmpty())
            QCOMPARE(maskText(mask), written);
    }

    // Ten CR LF lines of Latin-1 text as given, replacing an older, longer file whole;
    // read back field by field, and nothing from a file short of ten.
    void configFile()
    {
        const QString path = file(QByteArray(500, 'x'));
        const ConfigFileContents contents {QStringLiteral("7FFE"), QStringLiteral("0-1000000"),
            {"10", "2.5", "abc", " 2 ", "", "100", QStringLiteral("\u00b0C"), "-3.25"}};
        QVERIFY(writeConfigFile(path, contents));
        QCOMPARE(testsupport::fileBytes(path),
            QByteArray("7FFE\r\n0-1000000\r\n10\r\n2.5\r\nabc\r\n 2 \r\n\r\n100\r\n\xb0"
                       "C\r\n-3.25\r\n"));
        const auto read = readConfigFile(path);
        QVERIFY(read);
        QCOMPARE(QStringList({read->dioMaskText, read->inputTypesText})
                + QStringList(read->rangeTexts.begin(), read->rangeTexts.end()),
            (QStringList {"7FFE", "0-1000000", "10", "2.5", "abc", "2", "", "100",
                QStringLiteral("\u00b0C"), "-3.25"}));
        QVERIFY(!readConfigFile(file("F\r\n0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n")));
        QVERIFY(!readConfigFile(file(QByteArray())));
        QVERIFY(!writeConfigFile(m_dir.filePath(QStringLiteral("missing/x.cfg")), contents));
    }

    // The identification in quotes, then each channel's five counts, one a line.
    void calibrationExport()
    {
        AcquisitionState source = defaults();
        QCOMPARE(
            importCalibration(file(Id + lines(sample())), source), CalibrationImport::Complete);
        const QString path = file(QByteArray(2000, '9'));
        QVERIFY(exportCalibration(path, source));
        QCOMPARE(testsupport::fileBytes(path), Id + lines(sample()) + "\r\n");
        QVERIFY(!exportCalibration(m_dir.filePath(QStringLiteral("missing/x.cal")), source));
    }

    // Counts are taken one by one until a fault; the defaults stay after it.
    void calibrationImport_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CalibrationImport>("result");
        QTest::addColumn<int>("taken");
        QTest::newRow("hand-edited: unquoted, #TRUE#, a half, blanks, LF")
            << "  Tarvane2020 ver.1.1 Calib File\n-32768,#TRUE#,  2.5\n"
                + lines(sample().mid(3), ",  ")
            << CalibrationImport::Complete << 40;
        QTest::newRow("letter case") << "\"TARVANE2020 VER.1.1 CALIB FILE\"\r\n" + lines(sample())
                                     << CalibrationImport::Incompatible << 0;
        QTest::newRow("empty file") << QByteArray("") << CalibrationImport::Partial << 0;
        QTest::newRow("thirty-nine counts")
            << Id + lines(sample().mid(0, 39), ",") << CalibrationImport::Partial << 39;
        QTest::newRow("missing file") << QByteArray() << CalibrationImport::NotOpened << 0;
    }
    void calibrationImport()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, taken);
        AcquisitionState state = defaults();
        QTEST(importCalibration(file(bytes), state), "result");
        QCOMPARE(counts(state), sample().mid(0, taken) + counts(defaults()).mid(taken));
    }

    // The controls show the state. Save to Disk writes them as they stand (the mask
    // and the list positions are the window's own); only Save puts them in the state.
    void configShowsAndSaves_data()
    {
        QTest::addColumn<QList<int>>("outputs");
        QTest::addColumn<QByteArray>("mask");
        QTest::addColumn<QString>("rangeText");
        QTest::addColumn<double>("range");
        QTest::newRow("lines 0-7 output, no number")
            << QList<int> {0, 1, 2, 3, 4, 5, 6, 7} << QByteArray("FF00") << "abc" << 0.0;
        QTest::newRow("line 0 input, too large keeps the range")
            << QList<int> {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << QByteArray("0001")
            << "1e400" << 10.0;
    }
    void configShowsAndSaves()
    {
        QFETCH(QList<int>, outputs);
        QFETCH(QByteArray, mask);
        QFETCH(QString, rangeText);
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
            namedChild<QRadioButton>(w, outputs.contains(n) ? "optDIOOutput" : "optDIOInput", n)
                ->click();
        const auto type = [&w](int c) { return namedChild<QComboBox>(w, "cmbInputType", c); };
        type(3)->setCurrentIndex(5);
        type(7)->setCurrentIndex(6);
        QTest::keyClicks(type(1)->lineEdit(), QStringLiteral("x")); // typed: no list position
        namedChild<QLineEdit>(w, "txtInputRange", 2)->setText(QStringLiteral("1,5"));
        namedChild<QLineEdit>(w, "txtInputRange", 4)->setText(rangeText);
        namedChild<QLineEdit>(w, "txtInputRange", 6)->clear();
        // A cancelled load changes nothing; writing into the card was never made to work.
        prompts.queueFile(std::nullopt);
        click(w, "cmdLoadFromDisk");
        QVERIFY(!namedChild<QPushButton>(w, "cmdSave1")->isEnabled());
        click(w, "cmdSave1");
        const QString path = m_dir.filePath(QTest::currentDataTag() + QStringLiteral(".cfg"));
        prompts.queueFile(path);
        click(w, "cmdSaveToDisk");
        QCOMPARE(testsupport::fileBytes(path),
            cfg(mask, "0-1056-1-16",
                {"10", "10", "1,5", "10", rangeText.toLatin1(), "10", "", "10"}));
        for (const core::FileDialogOptions &request : prompts.fileRequests)
            QCOMPARE(request.filter + u'|' + request.defaultSuffix, "Config Files (*.cfg)|cfg");
        QVERIFY(state.dioDirection == before.dioDirection && state.inputType == before.inputType
            && state.inputRange == before.inputRange);

        click(w, "cmdSave0");
        for (int n = 0; n < 16; ++n)
            QCOMPARE(state.dioDirection[n], core::toFlag(outputs.contains(n)));
        QCOMPARE(QList<int>(state.inputType.begin(), state.inputType.begin() + 8),
            (QList<int> {0, -1, 0, 5, 6, -1, -1, 6}));
        QCOMPARE(QList<double>({state.inputRange[2], state.inputRange[6]}), QList<double>({1, 0}));
        QTEST(state.inputRange[4], "range");
        QVERIFY2(prompts.shown.isEmpty(), "saving shows nothing");
    }

    // A load fills the controls channel by channel until a fault, silently, and
    // leaves the state alone.
    void configLoads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        const QByteArrayList ranges {"1", "2", "3", "4", "5", "6", "7", "8"};
        const QString untouched = QStringLiteral("ffff 0,0,0,0,0,0,0,0 10,10,10,10,10,10,10,10");
        QTest::newRow("minus, letter, blank, missing eighth digit: 0")
            << cfg("00FF", "6-x 210", ranges) << "00ff 6,0,0,0,2,1,0,0 1,2,3,4,5,6,7,8";
        // What Save to Disk writes for a typed-in type loads back in place.
        QTest::newRow("-1 keeps the later channels in place")
            << cfg("00FF", "0-1050006", ranges) << "00ff 0,-1,0,5,0,0,0,6 1,2,3,4,5,6,7,8";
        QTest::newRow("type 7 at channel 3")
            << cfg("00FF", "11171111", ranges) << "00ff 1,1,1,0,0,0,0,0 1,2,3,10,10,10,10,10";
        QTest::newRow("mask not hex") << cfg("00FG", "11111111", ranges) << untouched;
        QTest::newRow("short file") << QByteArray("00FF\r\n11111111\r\n1\r\n") << untouched;
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

    // Only a frame of 62 characters has fresh counts; the start-up frame is one.
    void calibRefreshesOnCompleteFrames()
    {
        AcquisitionState state = defaults();
        testsupport::ScriptedPrompts prompts;
        FrmCalib w(state, prompts);
        const auto text = [&w](const char *label, int i = -1) {
            return namedChild<QLabel>(w, label, i)->text();
        };
        state.rawCounts = {-32768, 0, 0, 0, 0, 0, 0, 23000};
        w.tick();
        QCOMPARE(text("lblData", 0) + u' ' + text("lblData", 7) + u' ' + text("lblAmb"),
            QStringLiteral("-32768 23000 Ambient Temperature: 0 deg.C"));
        for (const int length : {61, 62, 63}) {
            state.rawCounts[0] = Integer(length);
            state.ambientTemp = float(length) + 0.25f;
            state.analogFrame = QString(length, u'x');
            w.tick();
        }
        QCOMPARE(text("lblData", 0) + u' ' + text("lblAmb"),
            QStringLiteral("62 Ambient Temperature: 62.25 deg.C"));
    }

    // Zero points are refused above their limit and lit on the zero indicator, spans
    // below theirs and lit on the span one; only ticked channels are captured.
    void calibCaptureHonoursLimits_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("target"); // its place among a channel's counts, -1 if refused
        QTest::addColumn<QString>("lit");
        QTest::addColumn<QString>("box");
        QTest::newRow("0V at 150")
            << "cmdCalibrate10V1" << 150 << 0 << "shpZero5 #0000ff" << Stored;
        QTest::newRow("0V at 151") << "cmdCalibrate10V1" << 151 << -1 << "" << TooHigh;
        QTest::newRow("0mV at 150")
            << "cmdCalibrate200mV1" << 150 << 1 << "shpZero5 #00ff00" << Stored;
        QTest::newRow("0mV at 151") << "cmdCalibrate200mV1" << 151 << -1 << "" << TooHigh;
        QTest::newRow("10V at 26000")
            << "cmdCalibrate10V0" << 26000 << 2 << "shpSpan5 #0000ff" << Stored;
        QTest::newRow("10V at 25999") << "cmdCalibrate10V0" << 25999 << -1 << "" << TooLow;
        QTest::newRow("200mV at 23000")
            << "cmdCalibrate200mV0" << 23000 << 3 << "shpSpan5 #00ff00" << Stored;
        QTest::newRow("200mV at 22999") << "cmdCalibrate200mV0" << 22999 << -1 << "" << TooLow;
        QTest::newRow("RTD, any count")
            << "cmdCalibrateRTD" << -32768 << 4 << "shpSpan5 #ff0000" << Stored;
    }
    void calibCaptureHonoursLimits()
    {
        QFETCH(QString, button);
        QFETCH(int, count);
        QFETCH(int, target);
        AcquisitionState state = defaults();
        testsupport::ScriptedPrompts prompts;
        FrmCalib w(state, prompts);
        tickOnly(w, {5});
        state.rawCounts.fill(100); // what a zero capture would take from an unticked channel
        state.rawCounts[5] = Integer(count);
        click(w, qPrintable(button));
        QList<int> expected = counts(defaults());
        if (target >= 0)
            expected[5 * 5 + target] = count;
        QCOMPARE(counts(state), expected);
        QTEST(lit(w), "lit");
        QTEST(boxes(prompts).join(u'\n'), "box");
    }

    // A refusal does not stop the later channels, each read as the capture reaches it.
    void calibCaptureGoesOnAfterARefusal()
    {
        AcquisitionState state = defaults();
        testsupport::ScriptedPrompts prompts;
        FrmCalib w(state, prompts);
        tickOnly(w, {1, 4, 6});
        state.rawCounts = {0, 26001, 0, 0, 25000, 0, 0, 0};
        prompts.whileModal = [&state] { state.rawCounts[6] = 32000; }; // frames arrive
        click(w, "cmdCalibrate10V0");
        QCOMPARE(boxes(prompts), (QStringList {TooLow, Stored}));
        QCOMPARE(QList<int>(state.span10V.begin(), state.span10V.begin() + 8),
            (QList<int> {32000, 26001, 32000, 32000, 32000, 32000, 32000, 32000}));
        QCOMPARE(lit(w), QStringLiteral("shpSpan1 #0000ff,shpSpan6 #0000ff"));
    }

    // Export covers every channel whatever is ticked, to a file named freely; an
    // import lights nothing, and only a complete or an incompatible one says anything.
    void calibExportAndImport()
    {
        const QString path = m_dir.filePath(QStringLiteral("cal.txt"));
        AcquisitionState source = defaults();
        source.zero10V.fill(-100);
        source.span200mV.fill(23005);
        testsupport::ScriptedPrompts prompts;
        {
            FrmCalib exporter(source, prompts);
            tickOnly(exporter, {});
            prompts.queueFile(path);
            click(exporter, "cmdExport");
        }
        QCOMPARE(prompts.fileRequests[0].filter + prompts.fileRequests[0].defaultSuffix, QString());
        AcquisitionState target = defaults();
        FrmCalib importer(target, prompts);
        for (const QString &name : {file("\"tarvane2020 ver.1.1 calib file\"\r\n1\r\n"), QString(),
                 file(QByteArray()), file(Id + "7\r\n"), path}) {
            prompts.queueFile(name.isEmpty() ? std::nullopt : std::optional(name));
            click(importer, "cmdImport");
        }
        QCOMPARE(boxes(prompts),
            (QStringList {"File Import: Incompatible Calibration File! E",
                "File Import: Calibration File inported successfully. I"}));
        QCOMPARE(counts(target), counts(source));
        QCOMPARE(lit(importer), QString());
    }

    // The port list opens on the current port; OK stores the choice in the state and
    // in tarv.con and closes the window. Typed text is the operator's own, even when
    // it reads like an entry; a port the list lacks (only a hand-edited tarv.con
    // names one) is no choice; and a new port is used from the next start, so
    // there is nothing to connect now.
    void portChoice_data()
    {
        QTest::addColumn<Integer>("comPort"); // when the window opens
        QTest::addColumn<int>("pick"); // the list position picked, -1 for none
        QTest::addColumn<QString>("typed"); // or what is typed instead
        QTest::addColumn<QString>("button");
        QTest::addColumn<Integer>("stored");
        QTest::addColumn<QByteArray>("file"); // tarv.con afterwards, empty for none
        const auto row = [](const char *name, Integer comPort, int pick, const char *typed,
                             const char *button, Integer stored, const char *file) {
            QTest::newRow(name) << comPort << pick << QString::fromLatin1(typed)
                                << QString::fromLatin1(button) << stored << QByteArray(file);
        };
        row("first, kept", 1, -1, "", "cmdOK", 1, " 1 \r\n");
        row("last, kept", 255, -1, "", "cmdOK", 255, " 255 \r\n");
        row("below the list", 0, -1, "", "cmdOK", 0, " 0 \r\n");
        row("beyond the list", 256, -1, "", "cmdOK", 0, " 0 \r\n");
        row("picked", 3, 11, "", "cmdOK", 12, " 12 \r\n");
        row("typed", 3, -1, "COM 7", "cmdOK", 0, " 0 \r\n");
        row("cancelled", 3, 11, "", "cmdCancel", 3, "");
        row("connect", 3, 11, "", "cmdConnect", 3, "");
    }
    void portChoice()
    {
        QFETCH(Integer, comPort);
        QFETCH(int, pick);
        QFETCH(QString, typed);
        QFETCH(QString, button);
        testsupport::MainWindowRig rig;
        rig.state.comPort = comPort;
        QMdiSubWindow *frame = rig.make().openChild(QStringLiteral("OptionsCardComm"));
        auto *list = namedChild<QComboBox>(*frame, "cmbComm");
        QCOMPARE(list->itemText(list->count() - 1), QStringLiteral("COM 255"));
        if (pick >= 0)
            list->setCurrentIndex(pick);
        if (!typed.isEmpty()) {
            list->lineEdit()->selectAll();
            QTest::keyClicks(list->lineEdit(), typed);
        }
        click(*frame, qPrintable(button));
        QTEST(rig.state.comPort, "stored");
        QTEST(testsupport::fileBytes(rig.filePath(QStringLiteral("tarv.con"))), "file");
        QCOMPARE(
            !rig.window->childWindow(QStringLiteral("OptionsCardComm")), button != "cmdConnect");
        QVERIFY(rig.prompts.shown.isEmpty());
    }

    // The choice holds for this run even though it will not survive a restart.
    void portChoiceThatCannotBeSaved()
    {
        testsupport::MainWindowRig rig;
        rig.state.appPath = rig.filePath(QStringLiteral("missing"));
        QMdiSubWindow *frame = rig.make().openChild(QStringLiteral("OptionsCardComm"));
        namedChild<QComboBox>(*frame, "cmbComm")->setCurrentIndex(4);
        click(*frame, "cmdOK");
        QCOMPARE(rig.state.comPort, Integer(5));
        const QStringList shown = boxes(rig.prompts);
        QVERIFY2(shown.size() == 1
                && shown[0].startsWith("Card Communication: The port choice could not be saved to "
                    + rig.state.appPath + "/tarv.con:\n")
                && shown[0].endsWith(" E"),
            qPrintable(shown.join(u'\n')));
        QVERIFY(!rig.window->childWindow(QStringLiteral("OptionsCardComm")));
    }
};

QTEST_MAIN(TestConfigWindows)
#include "tst_configwindows.moc"
