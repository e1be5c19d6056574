#include "acquisition/acquisitionsession.h"
#include "acquisition/outputwriter.h"
#include "acquisition/reporter.h"
#include "link/cardlink.h"
#include "support/fakeclock.h"
#include "support/feeddevice.h"

#include <QCoreApplication>
#include <QTest>

using namespace tarv;
using acquisition::OutputRefusal;
using acquisition::OutputSource;
using namespace std::chrono_literals;

namespace {

// A session without outputs on a line without a port; what it reports is kept.
struct SessionRig final : acquisition::Reporter
{
    SessionRig()
    {
        session.link().attachDevice(&line);
        state.dioDirection.fill(core::True);
    }
    void report(const acquisition::Report &r) override { reports << r.text; }
    void conversionFaults(const link::ChannelFailures &) override { }
    void iniProblems(const QStringList &) override { }

    void answer() { line.feed("V1.02\r"); }
    // The "#D" words written so far.
    QByteArrayList words() const
    {
        QByteArrayList all = line.written.split('\r');
        all.removeIf([](const QByteArray &c) { return !c.startsWith("#D"); });
        return all;
    }

    core::AcquisitionState state;
    testsupport::FakeClock clock;
    testsupport::FeedDevice line;
    QStringList reports;
    acquisition::AcquisitionSession session {
        state, clock, *this, acquisition::SessionOptions {false, false, false, {}, 1s}};
};

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void outputRefusals_data();
    void outputRefusals();
    void burstEndsInAFewWrites();
};

void TestSession::outputRefusals_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QByteArray>("wire");
    const int remote = int(OutputSource::Remote), op = int(OutputSource::Operator);
    QTest::newRow("remote, card silent")
        << remote << false << 3 << true << int(OutputRefusal::NotConnected) << QByteArray();
    QTest::newRow("remote, input line")
        << remote << true << 5 << true << int(OutputRefusal::InputLine) << QByteArray();
    QTest::newRow("remote, line 16")
        << remote << true << 16 << true << int(OutputRefusal::NoSuchLine) << QByteArray();
    QTest::newRow("remote, line -1")
        << remote << true << -1 << true << int(OutputRefusal::NoSuchLine) << QByteArray();
    QTest::newRow("remote, already so")
        << remote << true << 2 << true << int(OutputRefusal::None) << QByteArray();
    QTest::newRow("remote, switched")
        << remote << true << 3 << true << int(OutputRefusal::None) << QByteArray("#D000C");
    QTest::newRow("remote, line 0")
        << remote << true << 0 << true << int(OutputRefusal::None) << QByteArray("#D0005");
    // The operator's button works on any line, and is carried while the card is silent.
    QTest::newRow("operator, input line")
        << op << true << 5 << true << int(OutputRefusal::None) << QByteArray("#D0024");
    QTest::newRow("operator, card silent")
        << op << false << 3 << true << int(OutputRefusal::None) << QByteArray();
}

void TestSession::outputRefusals()
{
    QFETCH(int, source);
    QFETCH(bool, connected);
    QFETCH(int, line);
    QFETCH(bool, on);
    QFETCH(int, refusal);
    QFETCH(QByteArray, wire);
    SessionRig rig;
    rig.state.dioDirection[5] = core::False;
    rig.state.doCommand[2] = core::True;
    if (connected)
        rig.answer();
    QCOMPARE(int(rig.session.setOutput(line, on, OutputSource(source))), refusal);
    QCoreApplication::processEvents(); // written once the change in hand is made
    QCOMPARE(rig.words().value(0), wire);
    if (line == 3 && refusal == int(OutputRefusal::None))
        QCOMPARE(rig.state.doCommand[3], core::True);
}

// 2,001 alternating remote commands in a burst: one write with the last wanted state
// as soon as the burst is handled, not 15 s of serial traffic. Within the hold that
// follows, changes wait for its end, and what changed back is not written at all.
void TestSession::burstEndsInAFewWrites()
{
    SessionRig rig;
    rig.answer();
    for (int n = 0; n <= 2000; ++n)
        rig.session.setOutput(7, n % 2 == 0, OutputSource::Remote);
    QVERIFY(rig.words().isEmpty()); // the burst is handled first
    QTRY_COMPARE(rig.words(), QByteArrayList {"#D0080"});
    rig.session.setOutput(7, false, OutputSource::Remote);
    rig.session.setOutput(7, true, OutputSource::Remote);
    rig.session.setOutput(1, true, OutputSource::Remote);
    rig.session.setOutput(1, false, OutputSource::Remote);
    QTest::qWait(3 * int(acquisition::OutputWriter::Hold.count()));
    QCOMPARE(rig.words().size(), 1);
    // A single command after a quiet spell is on the wire well within 100 ms.
    const auto asked = std::chrono::steady_clock::now();
    rig.session.setOutput(1, true, OutputSource::Remote);
    QTRY_COMPARE(rig.words(), QByteArrayList({"#D0080", "#D0082"}));
    QVERIFY(rig.line.writeTimes.last() - asked < 100ms);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
