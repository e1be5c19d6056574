#include "link/channelconverter.h"
#include "link/framedecoder.h"
#include "sim/card.h"
#include "sim/faults.h"
#include "sim/signalmodel.h"
#include "support/tablefixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace tarv;
using namespace tarv::sim;
using namespace std::chrono_literals;

namespace {

// What a strict reader accepts: sign and five digits within 16 bits per field.
bool isValidAnalog(const QByteArray &line)
{
    static const QRegularExpression layout(R"(^(?:[+-]\d{5},){8}[+-]\d\d\.\d$)");
    bool inRange = true;
    for (int ch = 0; ch < 8; ++ch) {
        const int count = line.mid(ch * 7, 6).toInt();
        inRange = inRange && count >= -32768 && count <= 32767;
    }
    return inRange && layout.match(QString::fromLatin1(line)).hasMatch();
}

bool isValidDigital(const QByteArray &line)
{
    static const QRegularExpression layout("^[0-9A-F]{8}$");
    return layout.match(QString::fromLatin1(line)).hasMatch();
}

// The program's side of the line: the COM link opened raw, read with deadlines.
class PortReader
{
public:
    explicit PortReader(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio {};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~PortReader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    void send(const QByteArray &command)
    {
        const QByteArray line = command + '\r';
        QCOMPARE(::write(m_fd, line.constData(), line.size()), ssize_t(line.size()));
    }

    // The first line (without its CR) for which `wanted` holds, or nothing when none
    // came in time or the line hung up.
    template<typename Wanted>
    std::optional<QByteArray> waitFor(Wanted wanted, std::chrono::milliseconds timeout = 5s)
    {
        QDeadlineTimer deadline(timeout);
        while (!deadline.hasExpired()) {
            while (!m_lines.isEmpty()) {
                const QByteArray line = m_lines.takeFirst();
                if (wanted(line))
                    return line;
            }
            pollfd pfd {m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(std::max<qint64>(1, deadline.remainingTime()))) > 0) {
                char chunk[8192];
                const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
                if (n <= 0)
                    return std::nullopt;
                m_pending.append(chunk, n);
                for (qsizetype cr; (cr = m_pending.indexOf('\r')) >= 0; m_pending.remove(0, cr + 1))
                    m_lines << m_pending.left(cr);
            }
        }
        return std::nullopt;
    }

private:
    int m_fd = -1;
    QByteArray m_pending;
    QList<QByteArray> m_lines;
};

// tarvsim started with its link in a fresh directory; stopped when it goes out of scope.
class SimProcess
{
public:
    explicit SimProcess(QStringList arguments)
    {
        arguments << "--dir" << m_dir.path();
        m_process.start(TARV_SIM_PATH, arguments);
    }
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString link() const { return m_dir.filePath("COM1"); }
    bool linkUp() const { return QFileInfo(link()).isSymLink(); }
    QProcess &process() { return m_process; }
    // A line typed on the card's console.
    bool type(const QByteArray &line)
    {
        m_process.write(line + '\n');
        return m_process.waitForBytesWritten(5000);
    }

    bool waitForOutput(const QString &text)
    {
        return QTest::qWaitFor([&] { return output().contains(text); }, 5000);
    }
    QString output()
    {
        m_output += QString::fromLatin1(m_process.readAllStandardOutput());
        return m_output;
    }
    bool stop()
    {
        m_process.terminate();
        return m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
};

// Everything a card has queued, written out as if its time had come.
QByteArray drain(OutputQueue &out)
{
    QTemporaryFile file;
    if (!file.open()
        || out.writeTo(file.handle(), Clock::time_point::max()) != OutputQueue::Status::Drained)
        return "(not drained)";
    file.seek(0);
    return file.readAll();
}

} // namespace

class tst_Sim : public QObject
{
    Q_OBJECT

private slots:
    void analogFrameLayout_data()
    {
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<double>("ambient");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("signs and zero padding")
            << QList<int> {1234, -50, 0, 0, 0, 0, 0, 32767} << 23.5
            << QByteArray("+01234,-00050,+00000,+00000,+00000,+00000,+00000,+32767,+23.5\r");
        QTest::newRow("beyond five digits and 99.9 is limited")
            << QList<int> {123456, -200000, 99999, -99999, 1, -1, 10, -32768} << 150.0
            << QByteArray("+99999,-99999,+99999,-99999,+00001,-00001,+00010,-32768,+99.9\r");
    }
    void analogFrameLayout()
    {
        QFETCH(QList<int>, counts);
        QFETCH(double, ambient);
        QFETCH(QByteArray, frame);
        AnalogSample sample;
        std::copy(counts.begin(), counts.end(), sample.counts.begin());
        sample.ambient = ambient;
        QCOMPARE(QByteArray::fromStdString(analogFrameText(sample)), frame);
    }

    // The input word as it goes out: lines 9, 11 and 15 stay on, line 0 toggles
    // every 2 s and line 5 every 5 s; line 15 leads, in upper-case hex.
    void digitalFrameLayout_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("fixed lines, padded outputs") << 0.0 << 0x000F << QByteArray("8A00000F\r");
        QTest::newRow("line 0, upper case") << 2.5 << 0xABCD << QByteArray("8A01ABCD\r");
        QTest::newRow("lines 0 and 5") << 7.0 << 0 << QByteArray("8A210000\r");
    }
    void digitalFrameLayout()
    {
        QFETCH(double, seconds);
        QFETCH(int, outputs);
        QFETCH(QByteArray, frame);
        const std::string text = digitalFrameText(inputWordAt(seconds), std::uint16_t(outputs));
        QCOMPARE(QByteArray::fromStdString(text), frame);
    }

    // The calibration window captures these counts and the demo settings hold them.
    void calibrationReferences_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("count");
        QTest::newRow("0 V") << QByteArray("0v") << 100;
        QTest::newRow("10 V") << QByteArray("10V") << 27100;
        QTest::newRow("0 mV") << QByteArray("0mV") << 80;
        QTest::newRow("200 mV") << QByteArray("200MV") << 24080;
        QTest::newRow("RTD 100 ohms") << QByteArray("rtd") << 13000;
    }
    void calibrationReferences()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, count);
        const auto reference = parseReference(name.toStdString());
        QVERIFY(reference);
        const auto counts = analogSampleAt(17.3, *reference).counts;
        QCOMPARE(QList<int>(counts.begin(), counts.end()), QList<int>(channelCount, count));
    }

    // Wired as the demo settings wire the card and read through the program's own
    // conversion (with the shipped thermocouple tables), the demo signals show what
    // the card simulates: 8 V sine, 4-20 mA and 0-20 mA loops, 200 mV ramp, PT-100
    // near 22, J near 300 and K near 400 deg C, and a fixed 2.5 V.
    void defaultSignalsReadBackAsTheirQuantities()
    {
        struct Wiring
        {
            int type;
            double range;
            float low, high;
        };
        const Wiring wiring[channelCount] = {{0, 10, -8.001f, 8.001f}, {2, 20, -0.01f, 20.01f},
            {1, 20, -0.01f, 20.01f}, {3, 200, -0.01f, 200.01f}, {4, 10, 21.5f, 22.5f},
            {5, 10, 297.5f, 302.5f}, {6, 10, 396.5f, 403.5f}, {0, 10, 2.4999f, 2.5001f}};
        core::AcquisitionState state;
        QVERIFY(testsupport::loadShippedTables(state));
        core::applyDefaults(state);
        for (int ch = 0; ch < channelCount; ++ch) {
            state.inputType[ch] = core::Integer(wiring[ch].type);
            state.inputRange[ch] = wiring[ch].range;
            state.zero10V[ch] = zero10VCount;
            state.span10V[ch] = span10VCount;
            state.zero200mV[ch] = zero200mVCount;
            state.span200mV[ch] = span200mVCount;
        }
        for (double t = 0; t < 600; t += 6.7) {
            const AnalogSample s = analogSampleAt(t);
            std::copy(s.counts.begin(), s.counts.end(), state.rawCounts.begin());
            state.ambientTemp = float(s.ambient);
            QVERIFY(s.ambient >= 24.19 && s.ambient <= 24.81);
            QVERIFY(link::ConvertChannels(state).empty());
            for (int ch = 0; ch < channelCount; ++ch) {
                const float v = state.channelValues[ch];
                QVERIFY2(v >= wiring[ch].low && v <= wiring[ch].high,
                    qPrintable(QString("channel %1 reads %2 at %3 s").arg(ch).arg(v).arg(t)));
            }
        }
    }

    void noiseIsSmallAndRepeatable()
    {
        const AnalogSample clean = analogSampleAt(12.0);
        bool changed = false;
        for (std::uint64_t frame = 0; frame < 50; ++frame) {
            AnalogSample first = clean, second = clean;
            addNoise(first, frame);
            addNoise(second, frame);
            QCOMPARE(first.counts, second.counts);
            for (int ch = 0; ch < channelCount; ++ch) {
                QVERIFY(std::abs(first.counts[ch] - clean.counts[ch]) <= 2);
                changed = changed || first.counts[ch] != clean.counts[ch];
            }
        }
        QVERIFY2(changed, "noise never moved a count");
    }

    void faultsNeverForgeAFrame()
    {
        FaultSettings settings;
        settings.split = true;
        FaultInjector faults(settings, 42);
        const std::string analog = analogFrameText(analogSampleAt(3.0));
        const std::string digital = digitalFrameText(0x8A01, 0x0011);
        for (int i = 0; i < 500; ++i) {
            const std::string junk = faults.junkLine();
            QVERIFY(junk.size() >= 2 && junk.size() != 9 && junk.size() != 62);
            QCOMPARE(junk.find('\r'), junk.size() - 1);
            QVERIFY(junk.front() != 'V');

            const std::string badAnalog = faults.damageAnalog(analog);
            QCOMPARE(badAnalog.size(), analog.size());
            QCOMPARE(badAnalog.back(), '\r');
            QVERIFY(!isValidAnalog(QByteArray::fromStdString(badAnalog).chopped(1)));
            const std::string badDigital = faults.damageDigital(digital);
            QCOMPARE(badDigital.size(), digital.size());
            QVERIFY(!isValidDigital(QByteArray::fromStdString(badDigital).chopped(1)));
            // The program's own decoder must refuse them, not just a strict reader.
            core::AcquisitionState state;
            state.analogFrame = QString::fromStdString(badAnalog);
            QCOMPARE(link::DecodeAnalogFrame(state), link::DecodeOutcome::CountOutOfRange);
            state.digitalFrame = QString::fromStdString(badDigital);
            QCOMPARE(link::DecodeDigitalFrame(state), link::DecodeOutcome::NotHexadecimal);

            const std::string overlong = faults.overlongLine();
            QCOMPARE(overlong.size(), std::size_t(5001));
            QCOMPARE(overlong.find('\r'), std::size_t(5000));
            QVERIFY(overlong.front() != 'V');

            std::string joined;
            const auto pieces = faults.pieces(analog);
            QVERIFY(pieces.size() == 2 || pieces.size() == 3);
            for (const Piece &piece : pieces) {
                QVERIFY(!piece.bytes.empty());
                joined += piece.bytes;
            }
            QCOMPARE(joined, analog);
        }
    }

    void cardAnswersCommands()
    {
        OutputQueue out;
        const auto t0 = Clock::now();
        Card card(CardSettings {}, out, t0);
        QVERIFY(card.receive("?", t0));
        QCOMPARE(drain(out), QByteArray("V1.02\r"));
        QVERIFY(card.receive("@TA00", t0));
        QVERIFY2(!card.sendFrames(t0), "streamed before @N");
        QVERIFY(out.empty());

        QVERIFY(card.receive("@N", t0));
        QVERIFY(card.sendFrames(t0 + 500ms));
        QList<QByteArray> lines = drain(out).split('\r');
        QCOMPARE(lines.size(), 3); // analog, digital, empty rest after the last CR
        QVERIFY(isValidAnalog(lines[0]));
        QCOMPARE(lines[1], QByteArray("8A000000"));

        QVERIFY(card.receive("#D0011", t0));
        QVERIFY(!card.receive("#D12", t0));
        QVERIFY(!card.receive("#DXYZ1", t0));
        QCOMPARE(card.outputWord(), std::uint16_t(0x0011));
        QVERIFY(card.sendFrames(t0 + 2500ms));
        lines = drain(out).split('\r');
        QCOMPARE(lines[1], QByteArray("8A010011"));

        QVERIFY(card.receive("@F", t0));
        QVERIFY(!card.sendFrames(t0 + 3s));
        QVERIFY(!card.receive("hello", t0));
    }

    // The process on its pseudo-terminal: started by the host, a reference from the
    // command line lifted from the console, and "quit" ends it cleanly.
    void protocolOverPseudoTerminal()
    {
        SimProcess sim({"--calibrate", "200mv"});
        QVERIFY(sim.waitForOutput("tarvsim: COM1 -> /dev/"));
        PortReader port(sim.link());
        QVERIFY(port.isOpen());
        port.send("@N");
        QVERIFY(port.waitFor([](auto &line) {
            return isValidAnalog(line) && line.left(56) == QByteArray("+24080,").repeated(8);
        }));
        QVERIFY(sim.type("cal OFF"));
        QVERIFY(port.waitFor(
            [](auto &line) { return isValidAnalog(line) && line.left(7) != line.mid(7, 7); }));

        QVERIFY(sim.type("quit"));
        QVERIFY(sim.process().waitForFinished(5000));
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(!QFileInfo(sim.link()).exists() && !sim.linkUp());
    }

    void processTallyMatchesReader()
    {
        SimProcess sim({"--autostart", "--unthrottled", "--count", "300", "--garbage", "0.2",
            "--overlong", "0.05", "--malformed", "0.1", "--split", "--merge", "--seed", "3"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.linkUp(), 5000);
        PortReader port(sim.link());
        QVERIFY(port.isOpen());
        long long analog = 0, digital = 0, faulty = 0;
        const auto count = [&](const QByteArray &line) {
            if (line == "V1.02")
                return true;
            (isValidAnalog(line) ? analog : isValidDigital(line) ? digital : faulty)++;
            return analog == 300;
        };
        QVERIFY(port.waitFor(count, 30s));
        // The card has queued its last frames by now; the reply to a query goes out
        // after them and marks the end of what there is to count.
        port.send("?");
        QVERIFY(
            port.waitFor([&](const QByteArray &line) { return count(line) && line == "V1.02"; }));
        QCOMPARE(analog, 300LL);
        QVERIFY(faulty > 0);
        QVERIFY(sim.waitForOutput(
            QString("tarvsim: sent 300 analog frames, %1 digital frames").arg(digital)));
        QVERIFY(sim.stop());
        QCOMPARE(sim.process().exitCode(), 0);
        const QString tally = QString::asprintf(
            "tarvsim: valid analog %lld, valid digital %lld, faulty %lld", analog, digital, faulty);
        QVERIFY2(sim.output().contains(tally), qPrintable(sim.output().right(300)));
    }

    void portVanishesAndReturns()
    {
        SimProcess sim({"--vanish-every", "1.5", "--vanish-for", "0.5"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.linkUp(), 5000);
        {
            PortReader first(sim.link());
            QVERIFY(first.isOpen());
            QVERIFY(sim.waitForOutput("tarvsim: COM1 vanished"));
            QVERIFY(!sim.linkUp());
            pollfd pfd {first.fd(), POLLIN, 0};
            QVERIFY(::poll(&pfd, 1, 5000) == 1 && (pfd.revents & (POLLHUP | POLLERR)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(sim.linkUp(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(sim.output().count("tarvsim: COM1 -> "), 2, 5000);
        PortReader second(sim.link());
        second.send("?");
        QCOMPARE(
            second.waitFor([](auto &) { return true; }, 2s).value_or("none"), QByteArray("V1.02"));
        QVERIFY(sim.stop());
        QCOMPARE(sim.process().exitCode(), 0);
    }

    void vanishingPortDeliversWhatWasCounted()
    {
        // Streaming flat out, split and merged, when the port goes: every frame the
        // card counted as sent must have reached the reader before the hang-up.
        SimProcess sim({"--autostart", "--unthrottled", "--split", "--merge", "--vanish-every",
            "0.5", "--vanish-for", "600"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.linkUp(), 5000);
        PortReader reader(sim.link());
        QVERIFY(reader.isOpen());
        qint64 analog = 0;
        qint64 digital = 0;
        // Counts until the hang-up ends the reading; the predicate never accepts.
        const auto result = reader.waitFor(
            [&](const QByteArray &line) {
                analog += line.size() == 61;
                digital += line.size() == 8;
                return false;
            },
            10s);
        QVERIFY2(!result, "the port should have hung up");
        QVERIFY(sim.waitForOutput("tarvsim: COM1 vanished"));
        QVERIFY(sim.stop());
        const QString out = sim.output();
        QVERIFY2(!out.contains("lost"), qPrintable(out));
        const QRegularExpressionMatch tally
            = QRegularExpression("valid analog (\\d+), valid digital (\\d+)").match(out);
        QVERIFY2(tally.hasMatch(), qPrintable(out));
        QVERIFY2(analog > 100, qPrintable(QString::number(analog)));
        QCOMPARE(analog, tally.captured(1).toLongLong());
        QCOMPARE(digital, tally.captured(2).toLongLong());
    }
};

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
