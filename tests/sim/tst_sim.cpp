#include "sim/card.h"
#include "sim/faults.h"
#include "sim/signalmodel.h"
#include "link/framedecoder.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace tarv::sim;
using namespace std::chrono_literals;

namespace {

// What a strict reader accepts: sign and five digits within 16 bits per field.
bool isValidAnalog(const QByteArray &line)
{
    static const QRegularExpression layout(R"(^(?:[+-]\d{5},){8}[+-]\d\d\.\d$)");
    if (!layout.match(QString::fromLatin1(line)).hasMatch())
        return false;
    for (int ch = 0; ch < 8; ++ch) {
        const int count = line.mid(ch * 7, 6).toInt();
        if (count < -32768 || count > 32767)
            return false;
    }
    return true;
}

bool isValidDigital(const QByteArray &line)
{
    static const QRegularExpression layout("^[0-9A-F]{8}$");
    return layout.match(QString::fromLatin1(line)).hasMatch();
}

// Splits a byte stream at CR, keeping the unfinished rest for later.
QList<QByteArray> takeLines(QByteArray &buffer)
{
    QList<QByteArray> lines;
    for (qsizetype cr; (cr = buffer.indexOf('\r')) >= 0;) {
        lines << buffer.left(cr);
        buffer.remove(0, cr + 1);
    }
    return lines;
}

// Temperature whose EMF is `emf`, by bisection over a rising reference function.
double inverse(double (*emfAt)(double), double emf)
{
    double low = -50, high = 1300;
    for (int i = 0; i < 60; ++i) {
        const double mid = (low + high) / 2;
        (emfAt(mid) < emf ? low : high) = mid;
    }
    return low;
}

// The program's side of the line: the COM link opened raw, read with deadlines.
class PortReader
{
public:
    explicit PortReader(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
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

    // The first line for which `wanted` holds, or nothing when none came in time.
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
                m_lines << takeLines(m_pending);
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
    QProcess &process() { return m_process; }

    bool waitForOutput(const QString &text, std::chrono::milliseconds timeout = 5s)
    {
        QDeadlineTimer deadline(timeout);
        while (!output().contains(text) && !deadline.hasExpired()) {
            const int wait = int(std::max<qint64>(1, deadline.remainingTime()));
            if (!m_process.waitForReadyRead(wait) && m_process.state() == QProcess::NotRunning)
                break;
        }
        return output().contains(text);
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

// Empties a card's queue through a pipe and returns every byte it wrote.
QByteArray drain(OutputQueue &out)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    QByteArray bytes;
    char chunk[8192];
    for (;;) {
        const auto status = out.writeTo(fds[1], Clock::time_point::max());
        for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;)
            bytes.append(chunk, n);
        if (status != OutputQueue::Status::Blocked)
            break;
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return bytes;
}

} // namespace

class tst_Sim : public QObject
{
    Q_OBJECT

private slots:
    void analogFrameLayout_data();
    void analogFrameLayout();
    void digitalFrameLayout_data();
    void digitalFrameLayout();
    void calibrationReferences_data();
    void calibrationReferences();
    void referenceNames();
    void sensorReferenceFunctions_data();
    void sensorReferenceFunctions();
    void defaultSignalsReadBackAsTheirQuantities();
    void noiseIsSmallAndRepeatable();
    void inputLinesToggle();
    void faultsNeverForgeAFrame();
    void cardAnswersCommands();
    void protocolOverPseudoTerminal();
    void processTallyMatchesReader();
    void calibrationReferenceFromConsole();
    void portVanishesAndReturns();
    void vanishingPortDeliversWhatWasCounted();
};

void tst_Sim::analogFrameLayout_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<double>("ambient");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("signs and zero padding")
        << QList<int> {1234, -50, 0, 0, 0, 0, 0, 32767} << 23.5
        << QByteArray("+01234,-00050,+00000,+00000,+00000,+00000,+00000,+32767,+23.5\r");
    QTest::newRow("counts beyond five digits are limited")
        << QList<int> {123456, -200000, 99999, -99999, 1, -1, 10, -32768} << 24.0
        << QByteArray("+99999,-99999,+99999,-99999,+00001,-00001,+00010,-32768,+24.0\r");
    QTest::newRow("negative ambient keeps five characters")
        << QList<int>(8, 0) << -5.04
        << QByteArray("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,-05.0\r");
    QTest::newRow("ambient rounds up to a new digit") << QList<int>(8,
        0) << 9.96 << QByteArray("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+10.0\r");
    QTest::newRow("ambient beyond two digits is limited")
        << QList<int>(8, 0) << 150.0
        << QByteArray("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+99.9\r");
}

void tst_Sim::analogFrameLayout()
{
    QFETCH(QList<int>, counts);
    QFETCH(double, ambient);
    QFETCH(QByteArray, frame);
    AnalogSample sample;
    std::copy(counts.begin(), counts.end(), sample.counts.begin());
    sample.ambient = ambient;
    const std::string text = analogFrameText(sample);
    QCOMPARE(text.size(), analogFrameLength);
    QCOMPARE(QByteArray::fromStdString(text), frame);
}

void tst_Sim::digitalFrameLayout_data()
{
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("line 0 and 15, outputs 0..3") << 0x8001 << 0x000F << QByteArray("8001000F\r");
    QTest::newRow("upper-case hex") << 0xFFFF << 0xABCD << QByteArray("FFFFABCD\r");
    QTest::newRow("all off keeps four digits") << 0 << 0 << QByteArray("00000000\r");
}

void tst_Sim::digitalFrameLayout()
{
    QFETCH(int, inputs);
    QFETCH(int, outputs);
    QFETCH(QByteArray, frame);
    const std::string text = digitalFrameText(std::uint16_t(inputs), std::uint16_t(outputs));
    QCOMPARE(text.size(), digitalFrameLength);
    QCOMPARE(QByteArray::fromStdString(text), frame);
}

void tst_Sim::calibrationReferences_data()
{
    QTest::addColumn<Reference>("reference");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("atMost"); // the calibration window's acceptance limits
    QTest::addColumn<int>("atLeast");
    QTest::newRow("0 V") << Reference::Zero10V << 100 << 150 << -32768;
    QTest::newRow("10 V") << Reference::Span10V << 27100 << 32767 << 26000;
    QTest::newRow("0 mV") << Reference::Zero200mV << 80 << 150 << -32768;
    QTest::newRow("200 mV") << Reference::Span200mV << 24080 << 32767 << 23000;
    QTest::newRow("RTD 100 ohms") << Reference::Rtd << 13000 << 32767 << -32768;
}

void tst_Sim::calibrationReferences()
{
    QFETCH(Reference, reference);
    QFETCH(int, count);
    QFETCH(int, atMost);
    QFETCH(int, atLeast);
    QCOMPARE(referenceCount(reference), count);
    QVERIFY2(count <= atMost && count >= atLeast, "reference outside the acceptance limits");
    for (double t : {0.0, 17.3, 3600.0}) {
        const AnalogSample sample = analogSampleAt(t, reference);
        for (int ch = 0; ch < channelCount; ++ch)
            QCOMPARE(sample.counts[ch], count);
    }
}

void tst_Sim::referenceNames()
{
    QVERIFY(parseReference("0v") == Reference::Zero10V);
    QVERIFY(parseReference("10V") == Reference::Span10V);
    QVERIFY(parseReference("0mV") == Reference::Zero200mV);
    QVERIFY(parseReference("200MV") == Reference::Span200mV);
    QVERIFY(parseReference("rtd") == Reference::Rtd);
    QVERIFY(parseReference("off") == Reference::None);
    QVERIFY(!parseReference("5v"));
    QVERIFY(!parseReference(""));
}

void tst_Sim::sensorReferenceFunctions_data()
{
    // Published reference values: thermocouple EMF in mV, PT-100 resistance in ohms.
    QTest::addColumn<int>("sensor"); // 0 type J, 1 type K, 2 PT-100
    QTest::addColumn<double>("celsius");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("J 0") << 0 << 0.0 << 0.0 << 0.001;
    QTest::newRow("J 100") << 0 << 100.0 << 5.269 << 0.001;
    QTest::newRow("J 300") << 0 << 300.0 << 16.327 << 0.001;
    QTest::newRow("K 0") << 1 << 0.0 << 0.0 << 0.001;
    QTest::newRow("K 100") << 1 << 100.0 << 4.096 << 0.001;
    QTest::newRow("K 400") << 1 << 400.0 << 16.397 << 0.001;
    QTest::newRow("K 1000") << 1 << 1000.0 << 41.276 << 0.001;
    QTest::newRow("PT-100 0") << 2 << 0.0 << 100.0 << 1e-9;
    QTest::newRow("PT-100 100") << 2 << 100.0 << 138.5 << 1e-9;
}

void tst_Sim::sensorReferenceFunctions()
{
    QFETCH(int, sensor);
    QFETCH(double, celsius);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    const double actual = sensor == 0 ? typeJEmf(celsius)
        : sensor == 1                 ? typeKEmf(celsius)
                                      : pt100Resistance(celsius);
    QVERIFY2(std::abs(actual - expected) <= tolerance,
        qPrintable(QString("got %1, expected %2").arg(actual, 0, 'f', 4).arg(expected)));
}

void tst_Sim::defaultSignalsReadBackAsTheirQuantities()
{
    // Undo the front end with the calibration counts, as the program does.
    const auto volts = [](int c) { return (c - 100) * 10.0 / 27000; };
    const auto millivolts = [](int c) { return (c - 80) * 200.0 / 24000; };
    for (double t = 0; t < 600; t += 6.7) {
        const AnalogSample s = analogSampleAt(t);
        const QString at = QString("at %1 s").arg(t);
        QVERIFY2(s.ambient >= 24.19 && s.ambient <= 24.81, qPrintable(at));
        QVERIFY2(std::abs(volts(s.counts[0])) <= 8.001, qPrintable(at));
        const double loop = millivolts(s.counts[1]) / shuntOhms;
        QVERIFY2(loop >= 3.99 && loop <= 20.01, qPrintable(at));
        const double plain = millivolts(s.counts[2]) / shuntOhms;
        QVERIFY2(plain >= -0.01 && plain <= 20.01, qPrintable(at));
        QVERIFY2(
            millivolts(s.counts[3]) >= -0.01 && millivolts(s.counts[3]) <= 200, qPrintable(at));
        const double rtd = inverse(pt100Resistance, s.counts[4] / 130.0);
        QVERIFY2(rtd > 21.5 && rtd < 22.5, qPrintable(at));
        // Thermocouples read against the cold junction: adding its EMF back gives the hot end.
        const double j = inverse(typeJEmf, millivolts(s.counts[5]) + typeJEmf(s.ambient));
        QVERIFY2(j > 297.5 && j < 302.5, qPrintable(QString("type J %1 ").arg(j) + at));
        const double k = inverse(typeKEmf, millivolts(s.counts[6]) + typeKEmf(s.ambient));
        QVERIFY2(k > 396.5 && k < 403.5, qPrintable(QString("type K %1 ").arg(k) + at));
        QCOMPARE(s.counts[7], 6850);
    }
    // The millivolt sawtooth climbs, then starts again.
    QVERIFY(analogSampleAt(29).counts[3] > analogSampleAt(15).counts[3]);
    QVERIFY(analogSampleAt(31).counts[3] < analogSampleAt(29).counts[3]);
}

void tst_Sim::noiseIsSmallAndRepeatable()
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

void tst_Sim::inputLinesToggle()
{
    const std::uint16_t fixed = 0x8A00; // lines 9, 11 and 15
    QCOMPARE(inputWordAt(0.0), fixed);
    QCOMPARE(inputWordAt(2.5), std::uint16_t(fixed | 0x0001));
    QCOMPARE(inputWordAt(4.0), fixed);
    QCOMPARE(inputWordAt(5.5), std::uint16_t(fixed | 0x0020));
    QCOMPARE(inputWordAt(7.0), std::uint16_t(fixed | 0x0021));
    QCOMPARE(inputWordAt(10.0), std::uint16_t(fixed | 0x0001));
    QCOMPARE(inputWordAt(12.0), fixed);
}

void tst_Sim::faultsNeverForgeAFrame()
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
        tarv::core::AcquisitionState state;
        state.analogFrame = QString::fromStdString(badAnalog);
        QCOMPARE(tarv::link::DecodeAnalogFrame(state), tarv::link::DecodeOutcome::CountOutOfRange);
        state.digitalFrame = QString::fromStdString(badDigital);
        QCOMPARE(tarv::link::DecodeDigitalFrame(state), tarv::link::DecodeOutcome::NotHexadecimal);

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

void tst_Sim::cardAnswersCommands()
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

void tst_Sim::protocolOverPseudoTerminal()
{
    SimProcess sim({});
    QVERIFY(sim.process().waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.link()).isSymLink(), 5000);
    QVERIFY(sim.waitForOutput("tarvsim: COM1 -> /dev/"));
    PortReader port(sim.link());
    QVERIFY(port.isOpen());

    port.send("?");
    QCOMPARE(port.waitFor([](auto &) { return true; }).value_or("none"), QByteArray("V1.02"));
    port.send("@TA00");
    port.send("@N");
    QVERIFY(port.waitFor([](auto &line) { return line.size() == 61 && isValidAnalog(line); }));
    QVERIFY(port.waitFor([](auto &line) { return line.size() == 8 && isValidDigital(line); }));
    port.send("#D0011");
    QVERIFY(port.waitFor([](auto &line) { return line.size() == 8 && line.endsWith("0011"); }));
    port.send("@F");
    QVERIFY(sim.waitForOutput("rx: @F"));
    for (const char *line : {"rx: ?\n", "rx: @TA00\n", "rx: @N\n", "rx: #D0011\n"})
        QVERIFY2(sim.output().contains(line), line);

    QVERIFY(sim.stop());
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo(sim.link()).exists() && !QFileInfo(sim.link()).isSymLink());
    QVERIFY(sim.output().contains("tarvsim: valid analog "));
}

void tst_Sim::processTallyMatchesReader()
{
    SimProcess sim({"--autostart", "--unthrottled", "--count", "300", "--garbage", "0.2",
        "--overlong", "0.05", "--malformed", "0.1", "--split", "--merge", "--seed", "3"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.link()).isSymLink(), 5000);
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
    // The card has queued its last frames by now; the reply to a query goes out after
    // them and marks the end of what there is to count.
    port.send("?");
    QVERIFY(port.waitFor([&](const QByteArray &line) { return count(line) && line == "V1.02"; }));
    QCOMPARE(analog, 300LL);
    QVERIFY(faulty > 0);
    QVERIFY(sim.waitForOutput(
        QString("tarvsim: sent 300 analog frames, %1 digital frames").arg(digital)));
    QVERIFY(sim.stop());
    QCOMPARE(sim.process().exitCode(), 0);
    const QString expected = QString("tarvsim: valid analog %1, valid digital %2, faulty %3")
                                 .arg(analog)
                                 .arg(digital)
                                 .arg(faulty);
    QVERIFY2(sim.output().contains(expected), qPrintable(sim.output().right(300)));
}

void tst_Sim::calibrationReferenceFromConsole()
{
    SimProcess sim({"--autostart", "--rate", "20", "--calibrate", "200mv"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.link()).isSymLink(), 5000);
    PortReader port(sim.link());
    const auto allCounts = [](const char *field) {
        return [field](const QByteArray &line) {
            return line.size() == 61 && line.left(56) == QByteArray(field).repeated(8);
        };
    };
    QVERIFY(port.waitFor(allCounts("+24080,")));
    for (auto [command, field] : {std::pair {"cal 10v\n", "+27100,"}, {"cal 0v\n", "+00100,"},
             {"cal 0mv\n", "+00080,"}, {"cal rtd\n", "+13000,"}}) {
        sim.process().write(command);
        sim.process().waitForBytesWritten(5000);
        QVERIFY2(port.waitFor(allCounts(field)), command);
    }
    sim.process().write("cal off\n");
    sim.process().waitForBytesWritten(5000);
    QVERIFY(port.waitFor([](const QByteArray &line) {
        return line.size() == 61 && line.left(7) != line.mid(7, 7);
    }));
    sim.process().write("quit\n");
    sim.process().waitForBytesWritten(5000);
    QVERIFY(sim.process().waitForFinished(5000));
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo(sim.link()).isSymLink());
}

void tst_Sim::portVanishesAndReturns()
{
    SimProcess sim({"--vanish-every", "1.5", "--vanish-for", "0.5"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.link()).isSymLink(), 5000);
    {
        PortReader first(sim.link());
        QVERIFY(first.isOpen());
        QVERIFY(sim.waitForOutput("tarvsim: COM1 vanished"));
        QVERIFY(!QFileInfo(sim.link()).isSymLink());
        pollfd pfd {first.fd(), POLLIN, 0};
        QVERIFY(::poll(&pfd, 1, 5000) == 1 && (pfd.revents & (POLLHUP | POLLERR)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.link()).isSymLink(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(sim.output().count("tarvsim: COM1 -> "), 2, 5000);
    PortReader second(sim.link());
    second.send("?");
    QCOMPARE(second.waitFor([](auto &) { return true; }, 2s).value_or("none"), QByteArray("V1.02"));
    QVERIFY(sim.stop());
    QCOMPARE(sim.process().exitCode(), 0);
}

void tst_Sim::vanishingPortDeliversWhatWasCounted()
{
    // Streaming flat out, split and merged, when the port goes: every frame the card
    // counted as sent must have reached the reader before the hang-up.
    SimProcess sim({"--autostart", "--unthrottled", "--split", "--merge", "--vanish-every", "0.5",
        "--vanish-for", "600"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(sim.link()).isSymLink(), 5000);
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

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
