#include "acquisition/acquisitionsession.h"
#include "acquisition/reporter.h"
#include "alarms/alarmevaluator.h"
#include "alarms/alarmoutput.h"
#include "core/inifile.h"
#include "link/cardlink.h"
#include "support/fakeclock.h"
#include "support/feeddevice.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tarv;
using alarms::AlarmRule;
using core::Quality;
using core::QualityReason;

namespace {

// "11@0" is 11 at 0 s; "bad@2" a bad value at 2 s; the expected states after each
// step, "+" set and "-" clear.
struct Steps
{
    QStringList steps;
    QString expected;
};

// A session with its outputs on a line without a port, settings in a temporary
// directory; what it reports is kept.
struct Rig final : acquisition::Reporter
{
    explicit Rig(const QByteArray &ini)
    {
        state.appPath = dir.path();
        state.dioDirection.fill(core::True);
        state.dioDirection[9] = core::False;
        testsupport::putFile(dir.filePath("tarvane.ini"), ini);
        session.link().attachDevice(&line);
        session.startOutputs();
    }
    void report(const acquisition::Report &r) override { reports << r.text; }
    void conversionFaults(const link::ChannelFailures &) override { }
    void iniProblems(const QStringList &p) override { problems << p; }

    // A frame converted elsewhere: channel 3 at `value`, evaluated as the link would.
    void frame(float value, Quality quality = Quality::Good)
    {
        state.channelValues[3] = value;
        state.channelQuality[3] = {quality,
            quality == Quality::Good ? QualityReason::None : QualityReason::SensorFaultHigh};
        emit session.link().analogFrameAccepted();
    }
    QByteArray wire() { return std::exchange(line.written, {}); }

    QTemporaryDir dir;
    core::AcquisitionState state;
    testsupport::FakeClock clock;
    testsupport::FeedDevice line;
    QStringList reports, problems;
    acquisition::AcquisitionSession session {state, clock, *this, {}};
};

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestAlarms : public QObject
{
    Q_OBJECT

private slots:
    void evaluation_data();
    void evaluation();
    void rulesDriveTheirLines();
    void safeState();
};

void TestAlarms::evaluation_data()
{
    QTest::addColumn<QString>("rule"); // high,low,deadband,on_delay,off_delay,on_bad
    QTest::addColumn<Steps>("run");
    QTest::newRow("the README's worked example")
        << "250,,5,2,10,set"
        << Steps {{"248@0", "252@1", "249@2", "253@3", "254@5", "247@6", "244@7", "240@17"},
               "----+++-"};
    QTest::newRow("high, deadband")
        << "10,,1,0,0,set" << Steps {{"9@0", "10@1", "11@2", "9.5@3", "8.9@4"}, "--++-"};
    QTest::newRow("low, deadband")
        << ",5,0.5,0,0,set" << Steps {{"5@0", "4.9@1", "5.4@2", "5.6@3"}, "-++-"};
    QTest::newRow("both limits") << "10,5,0,0,0,set" << Steps {{"4@0", "7@1", "11@2"}, "+-+"};
    QTest::newRow("on delay") << "10,,0,2,0,set"
                              << Steps {{"11@0", "11@1.9", "11@2", "9@3"}, "--+-"};
    QTest::newRow("back inside the delay: no alarm")
        << "10,,0,2,0,set" << Steps {{"11@0", "9@1", "11@1.5", "11@3.4", "11@3.5"}, "----+"};
    QTest::newRow("off delay") << "10,,0,0,3,set"
                               << Steps {{"11@0", "9@1", "9@3.9", "11@4", "9@5", "9@8"}, "+++++-"};
    QTest::newRow("bad sets, with its delay")
        << "10,,0,1,0,set" << Steps {{"5@0", "bad@1", "bad@2", "5@3"}, "--+-"};
    QTest::newRow("bad clears") << "10,,0,0,0,clear" << Steps {{"11@0", "bad@1"}, "+-"};
    QTest::newRow("bad holds") << "10,,0,0,0,hold"
                               << Steps {{"bad@0", "11@1", "bad@2", "5@3"}, "-++-"};
}

void TestAlarms::evaluation()
{
    QFETCH(QString, rule);
    QFETCH(Steps, run);
    const QStringList f = rule.split(u',');
    AlarmRule r;
    if (!f[0].isEmpty())
        r.high = f[0].toDouble();
    if (!f[1].isEmpty())
        r.low = f[1].toDouble();
    r.deadband = f[2].toDouble();
    r.onDelay = f[3].toDouble();
    r.offDelay = f[4].toDouble();
    r.onBad = f[5] == "set" ? AlarmRule::OnBad::Set
        : f[5] == "clear"   ? AlarmRule::OnBad::Clear
                            : AlarmRule::OnBad::Hold;
    alarms::AlarmEvaluator alarm;
    QString states;
    for (const QString &step : run.steps) {
        const QStringList at = step.split(u'@');
        const bool bad = at[0] == "bad";
        const bool changed = alarm.evaluate(r, bad ? 1e30 : at[0].toDouble(),
            {bad ? Quality::Bad : Quality::Good, QualityReason::None},
            qint64(at[1].toDouble() * 1000));
        const QChar now = alarm.active() ? u'+' : u'-';
        QCOMPARE(changed, (states.isEmpty() ? u'-' : states.back()) != now);
        states += now;
    }
    QCOMPARE(states, run.expected);
}

// Two rules on line 5: any set rule sets it; the operator's click and a rule that names
// an input line are refused; a line no rule names is the operator's.
void TestAlarms::rulesDriveTheirLines()
{
    Rig rig("[alarm.1]\nname=Oven high\nchannel=3\nhigh=250\noutput=5\n"
            "[alarm.2]\nname=Oven low\nchannel=3\nlow=20\noutput=5\n"
            "[alarm.3]\nchannel=3\nhigh=1\noutput=9\n"
            "[alarm.4]\nchannel=3\nhigh=1\noutput=5\nactive_state=off\n");
    QCOMPARE(rig.problems,
        QStringList({"[alarm.3] refused: output 9 is configured as an input",
            "[alarm.4] refused: output 5 is driven by alarm 1 with another active_state"}));
    rig.line.feed("V1.02\r");
    rig.state.taskRunning = core::True;
    rig.wire();
    for (const float value : {100.f, 260.f, 100.f, 10.f}) {
        rig.frame(value);
        QTest::qWait(60); // past the output writer's hold
    }
    QCOMPARE(rig.wire(), "#D0020\r#D0000\r#D0020\r");
    QCOMPARE(rig.state.lineOwner[5], "Oven high");
    QCOMPARE(rig.session.setOutput(5, false, acquisition::OutputSource::Operator),
        acquisition::OutputRefusal::OwnedByRule);
    QCOMPARE(rig.session.setOutput(6, true, acquisition::OutputSource::Operator),
        acquisition::OutputRefusal::None);
    QVERIFY(rig.reports.contains("alarm 1 (Oven high) set: channel 3 at 260, good"));
    QVERIFY(rig.reports.contains("alarm 2 (Oven low) set: channel 3 at 10, good"));
    QCOMPARE(rig.session.statuses().front().text, "Alarm: Oven low");
}

// Safe state 0x0020: line 5 on. Written when the task stops, once when the card answers
// again, and when the session stops, before "@F"; a set alarm on line 6 goes off.
void TestAlarms::safeState()
{
    Rig rig("[outputs]\nsafe_state=0020\n[alarm.1]\nchannel=3\nhigh=1\noutput=6\n"
            "[alarm.2]\nchannel=3\nlow=-1\noutput=5\n");
    rig.line.feed("V1.02\r");
    QCOMPARE(rig.wire(), "#D0020\r"); // the first answer counts as a return
    rig.session.link().taskStart();
    QTest::qWait(150);
    rig.frame(5);
    QTRY_VERIFY(rig.line.written.endsWith("#D0040\r"));
    QCOMPARE(rig.wire(), "@TA00\r@N\r#D0040\r");
    rig.session.link().taskStop();
    QCOMPARE(rig.wire(), "#D0020\r@F\r");
    rig.state.cardConnected = core::False;
    emit rig.session.link().portLost("gone");
    rig.line.feed("V1.02\r");
    QCOMPARE(rig.wire(), "#D0020\r");
    rig.line.feed("V1.02\r"); // once per return
    rig.session.stop();
    QCOMPARE(rig.wire(), "#D0020\r@F\r");
}

QTEST_GUILESS_MAIN(TestAlarms)
#include "tst_alarms.moc"
