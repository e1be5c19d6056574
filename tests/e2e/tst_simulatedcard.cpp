// The program against the simulated card: the real main window, serial port and
// logger, with the card streaming over a pseudo-terminal. Only the operator's
// prompts and the clock of the log stamps are scripted.

#include "link/cardlink.h"
#include "logging/logger.h"
#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "support/tablefixture.h"
#include "ui/config/frmcalib.h"
#include "ui/main/frmviewanalogdata.h"
#include "ui/main/mdidaq.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace tarv;

namespace {

constexpr int FrameWait = 10000; // ms; the card sends 20 frame pairs a second here

// The counts the simulated card reads for its reference inputs.
constexpr core::Integer Zero10V = 100, Span10V = 27100, Zero200mV = 80, Span200mV = 24080;

} // namespace

class TestSimulatedCard : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_card;
    core::AcquisitionState m_state;
    testsupport::ScriptedPrompts m_prompts;
    testsupport::FakeClock m_clock;
    std::unique_ptr<ui::MdiDaq> m_window;

    void startCard()
    {
        m_card = std::make_unique<QProcess>();
        m_card->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_card->start(QStringLiteral(TARV_SIM_PATH),
            {QStringLiteral("--dir"), m_dir->path(), QStringLiteral("--rate"),
                QStringLiteral("20")});
        QVERIFY(m_card->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir->filePath(QStringLiteral("COM1"))), 5000);
    }

    // Frames decoded from now on.
    quint64 analogFrames() const { return m_window->link().counters().analogAccepted; }
    void waitForFreshFrames(int count)
    {
        const quint64 target = analogFrames() + count;
        QTRY_VERIFY_WITH_TIMEOUT(analogFrames() >= target, FrameWait);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_state = core::AcquisitionState {};
        QString error;
        QVERIFY2(testsupport::loadShippedTables(m_state, &error), qPrintable(error));
        core::applyDefaults(m_state);
        m_state.appPath = m_dir->path();
        startCard();

        m_window = std::make_unique<ui::MdiDaq>(
            m_state, m_prompts, m_clock, ui::MdiDaqOptions {std::chrono::milliseconds(0)});
        m_window->load();
        QTRY_COMPARE_WITH_TIMEOUT(m_state.cardConnected, core::True, 5000);
        QCOMPARE(m_state.cardVersion, QStringLiteral("1.02"));
    }

    void cleanup()
    {
        m_window.reset();
        m_card->terminate();
        QVERIFY(m_card->waitForFinished(5000));
        QCOMPARE(m_card->exitCode(), 0);
        m_prompts.shown.clear();
    }

    // Logging switched on through File > Save writes the header at once and a
    // data line with live values at the first counted second, then every period.
    void loggingThroughTheDialog()
    {
        for (int c = 0; c < 8; ++c) {
            m_state.zero10V[c] = Zero10V;
            m_state.span10V[c] = Span10V;
            m_state.zero200mV[c] = Zero200mV;
            m_state.span200mV[c] = Span200mV;
        }
        m_state.inputType[4] = 4; // the card's PT-100, near room temperature
        m_state.inputType[7] = 0; // a steady 2.5 V
        m_state.saveEnable[4] = m_state.saveEnable[7] = core::True;
        m_window->action(QStringLiteral("TaskStart"))->trigger();
        waitForFreshFrames(3);

        const QString logPath = m_dir->filePath(QStringLiteral("bench.csv"));
        QTimer::singleShot(0, this, [logPath] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit *>(QStringLiteral("txtFile"))->setText(logPath);
            dialog->findChild<QRadioButton *>(QStringLiteral("optSN"))->setChecked(true);
            QTest::mouseClick(
                dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        m_window->action(QStringLiteral("FileSave"))->trigger();
        QVERIFY(m_window->action(QStringLiteral("FileSave"))->isChecked());
        QCOMPARE(m_state.savingActive, core::True);

        // Default period: 5 s. Drive eleven seconds of ticks with live frames between.
        for (int second = 0; second < 11; ++second) {
            waitForFreshFrames(1);
            m_clock.advance(1);
            m_window->logger().tick();
        }

        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.size(), 5); // header, three data lines, and the empty rest
        QCOMPARE(lines[0], QByteArray("SN,Channel 4,Channel 7\r"));
        for (int n = 1; n <= 3; ++n) {
            const QList<QByteArray> fields = lines[n].chopped(1).split(',');
            QCOMPARE(fields.size(), 3);
            QCOMPARE(fields[0], QByteArray::number(n));
            const double pt100 = fields[1].toDouble();
            QVERIFY2(pt100 > 20.0 && pt100 < 24.0, fields[1]);
            QCOMPARE(fields[2], QByteArray("2.5"));
        }
        QVERIFY(m_prompts.shown.isEmpty());
    }

    // The operator walks the 10 V calibration of channel 7 against the card's
    // reference inputs; the analog view then shows the card's 2.5 V as 2.50.
    void calibratingAChannelFromLiveFrames()
    {
        // A wrong calibration first: 6850 counts read as 2.14 V.
        m_state.zero10V[7] = 0;
        m_state.span10V[7] = 32000;
        m_window->action(QStringLiteral("TaskStart"))->trigger();
        waitForFreshFrames(2);

        auto *analog = qobject_cast<ui::FrmViewAnalogData *>(
            m_window->openChild(QStringLiteral("ViewAnalogData"))->widget());
        QVERIFY(analog);
        analog->tick();
        auto *value7 = analog->findChild<QLabel *>(QStringLiteral("lblData7"));
        QCOMPARE(value7->text(), QStringLiteral("2.14"));

        auto *calib = qobject_cast<ui::config::FrmCalib *>(
            m_window->openChild(QStringLiteral("OptionsCalibrate"))->widget());
        QVERIFY(calib);
        for (int c = 0; c < 7; ++c)
            calib->findChild<QCheckBox *>(QStringLiteral("chkSel%1").arg(c))->setChecked(false);

        auto capture = [&](const char *reference, const char *button, core::Integer expected) {
            m_card->write(QByteArray("cal ") + reference + '\n');
            QTRY_VERIFY_WITH_TIMEOUT(m_state.rawCounts[7] == expected, FrameWait);
            QTest::mouseClick(
                calib->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
        };
        capture("0v", "cmdCalibrate10V1", Zero10V);
        capture("10v", "cmdCalibrate10V0", Span10V);
        QCOMPARE(m_state.zero10V[7], Zero10V);
        QCOMPARE(m_state.span10V[7], Span10V);
        // Channels 0..6 are uncalibrated, so a conversion fault box comes too.
        QStringList calibrationTexts;
        for (const auto &shown : m_prompts.shown)
            if (shown.title == QStringLiteral("Calibration"))
                calibrationTexts << shown.text;
        QCOMPARE(calibrationTexts, QStringList(2, QStringLiteral("Calibration value stored")));

        m_card->write("cal off\n");
        QTRY_VERIFY_WITH_TIMEOUT(m_state.rawCounts[7] == 6850, FrameWait);
        waitForFreshFrames(1);
        analog->tick();
        QCOMPARE(value7->text(), QStringLiteral("2.50"));
    }
};

QTEST_MAIN(TestSimulatedCard)
#include "tst_simulatedcard.moc"
