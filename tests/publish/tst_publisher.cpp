#include "core/numberformat.h"
#include "core/settingsfiles.h"
#include "link/cardlink.h"
#include "publish/commands.h"
#include "publish/discovery.h"
#include "publish/messagequeue.h"
#include "publish/mqttconnection.h"
#include "publish/payloads.h"
#include "publish/publisher.h"
#include "support/broker.h"
#include "support/scriptedprompts.h"
#include "support/servicerig.h"
#include "ui/main/frmpublishing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>

#include <csignal>

using namespace tarv;
using namespace std::chrono_literals;
using testsupport::BrokerClient;
using testsupport::BrokerMessage;
using testsupport::BrokerOptions;
using testsupport::Frame;
using testsupport::TestBroker;

Q_DECLARE_METATYPE(tarv::testsupport::BrokerOptions)

namespace {

using Keys = QMap<QString, QString>;

// tarvane.ini publishing to `port` under "rig", with `keys` on top.
void writeIni(const QString &dir, int port, const Keys &keys = {})
{
    QSettings ini(dir + QStringLiteral("/tarvane.ini"), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("mqtt"));
    const Keys usual {{"enabled", "true"}, {"host", "127.0.0.1"}, {"topic_prefix", "rig"},
        {"port", QString::number(port)}};
    for (const Keys &set : {usual, keys})
        for (auto it = set.begin(); it != set.end(); ++it)
            ini.setValue(it.key(), it.value());
}

// What a dashboard that subscribes now is told: the retained messages.
std::optional<BrokerMessage> retained(int port, const QString &topic)
{
    BrokerClient late;
    if (late.connect(port) && late.subscribe(topic)
        && QTest::qWaitFor([&] { return late.last(topic).has_value(); }))
        return late.last(topic);
    return std::nullopt;
}

} // namespace

class TestPublisher : public QObject
{
    Q_OBJECT

private slots:
    void settingsFile_data();
    void settingsFile();
    void payloads();
    void commands_data();
    void commands();
    void publishesTheCardAndTakesCommands();
    void brokenSensorEndToEnd();
    void alarmEndToEnd();
    void discoveryConfigs();
    void discoveryEndToEnd();
    void bridgedBrokers();
    void brokerLostAndBack();
    void refusedConnections_data();
    void refusedConnections();
    void sameClientId();
    void willAndCleanStop();
    void queueIsBounded();
    void unreachableBroker();
};

void TestPublisher::settingsFile_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected"); // enabled,port,qos,keepalive,commands,password,prefix
    QTest::addColumn<QString>("problems"); // fallbacks, warnings
    QTest::newRow("no file") << QByteArray() << "0,1883,0,30,0,,"
                             << "0,0";
    QTest::newRow("TLS port, password") << QByteArray(
        "[mqtt]\nenabled=yes\nca_file=ca.pem\nqos=1\npassword_file=pw\ncommands=on\n"
        "topic_prefix=a/b/\n") << "1,8883,1,30,1,secret,a/b"
                                        << "0,0";
    // A hand-edited file: each bad value falls back to its default, and says so.
    QTest::newRow("bad values") << QByteArray(
        "[mqtt]\nenabled=maybe\nport=65536\nqos=2\nkeepalive=65536\ncert_file=c\n"
        "password_file=missing\n")
                                << "0,1883,0,30,0,,"
                                << "6,0";
    // A prefix that is no topic's start: the broker would take nothing published.
    for (const char *prefix : {"a/+/b", "#", "a//b", "/a", "a\\0b"})
        QTest::newRow(prefix) << "[mqtt]\ntopic_prefix=" + QByteArray(prefix) << "0,1883,0,30,0,,"
                              << "1,0";
    QTest::newRow("password file open to all")
        << QByteArray("[mqtt]\npassword_file=open\n") << "0,1883,0,30,0,secret,"
        << "0,1";
}

void TestPublisher::settingsFile()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);
    QFETCH(QString, problems);
    QTemporaryDir dir;
    for (const char *name : {"pw", "open"})
        testsupport::putFile(dir.filePath(QLatin1String(name)), "secret\r\nnext line\n");
    QVERIFY(QFile::setPermissions(dir.filePath("pw"), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(dir.filePath("open"), QFile::ReadOwner | QFile::ReadOther));
    if (!ini.isEmpty())
        testsupport::putFile(dir.filePath(QStringLiteral("tarvane.ini")), ini);
    const publish::PublishSettingsRead read = publish::readPublishSettings(dir.path());
    const publish::PublishSettings &s = read.settings;
    QCOMPARE(QString::asprintf("%d,%d,%d,%d,%d,%s,%s", s.enabled, s.port, s.qos, s.keepalive,
                 s.commands, qPrintable(read.password), qPrintable(s.topicPrefix)),
        expected);
    QCOMPARE(QStringLiteral("%1,%2").arg(read.problems.size()).arg(read.warnings.size()), problems);
    // A refused prefix is named as it stands in the file, a NUL as \0, so it can be found.
    if (ini.startsWith("[mqtt]\ntopic_prefix="))
        QVERIFY(read.problems.value(0).startsWith(QString::fromUtf8(ini.mid(7) + ' ')));
}

// Every value in the one shortest plain form; JSON has no text for NaN, so null, and
// a channel's own topic gets nothing that second.
void TestPublisher::payloads()
{
    core::AcquisitionState state;
    state.channelValues = {5, 1e-5f, -0.f, std::nanf(""), -1.25f, 0, 0, 1e7f};
    state.ambientTemp = 24.5f;
    state.inputType[4] = 4;
    const QDateTime at(QDate(2026, 12, 7), QTime(10, 15, 30, 250), Qt::UTC);
    state.channelQuality[4] = {core::Quality::Uncertain, core::QualityReason::OverRange};
    const auto entry = [](const char *value, int type, const char *error, const char *quality) {
        return QByteArray(R"({"value":)") + value + R"(,"type":)" + QByteArray::number(type)
            + R"(,"error":)" + error + ',' + quality + '}';
    };
    const char *good = R"("quality":"good","reason":null)";
    QCOMPARE(publish::analogPayload(state, at, {{3, link::ConversionError::DivisionByZero}}),
        R"({"time":"2026-12-07T10:15:30.250Z","ambient":24.5,"channels":[)"
            + entry("5", 0, "null", good) + ',' + entry("0.00001", 0, "null", good) + ','
            + entry("0", 0, "null", good) + ',' + entry("null", 0, R"("Division by zero")", good)
            + ',' + entry("-1.25", 4, "null", R"("quality":"uncertain","reason":"over range")")
            + ',' + entry("0", 0, "null", good) + ',' + entry("0", 0, "null", good) + ','
            + entry("10000000", 0, "null", good) + "]}");
    QCOMPARE(publish::channelPayload(state, 3), QByteArray());
    QCOMPARE(publish::channelPayload(state, 2), QByteArray("0"));
    state.cardConnected = core::True;
    QCOMPARE(publish::cardPayload(state), "connected");
    state.portLost = core::True;
    QCOMPARE(publish::cardPayload(state), "port lost");
}

void TestPublisher::commands_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("retained");
    QTest::addColumn<QString>("expected"); // "line on|off" or the refusal
    QTest::newRow("switch") << QByteArray(R"({"line": 15, "state": false})") << false << "15 off";
    QTest::newRow("line 16") << QByteArray(R"({"line": 16, "state": true})") << false
                             << "malformed message";
    QTest::newRow("line -1") << QByteArray(R"({"line": -1, "state": true})") << false
                             << "malformed message";
    QTest::newRow("line 2.5") << QByteArray(R"({"line": 2.5, "state": true})") << false
                              << "malformed message";
    QTest::newRow("state 1") << QByteArray(R"({"line": 3, "state": 1})") << false
                             << "malformed message";
    QTest::newRow("retained") << QByteArray(R"({"line": 3, "state": true})") << true
                              << "retained message";
    // Well formed but padded past the limit: not even looked at.
    QTest::newRow("over 1 kB") << QByteArray(
        R"({"line": 3, "state": true, "pad": ")" + QByteArray(1000, 'x') + R"("})")
                               << false << "malformed message";
}

void TestPublisher::commands()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, retained);
    QFETCH(QString, expected);
    const publish::ParsedCommand parsed = publish::parseCommand(payload, retained);
    QCOMPARE(publish::refusalText(acquisition::OutputRefusal::NotConnected), "card not connected");
    QCOMPARE(parsed.command ? QStringLiteral("%1 %2")
                                  .arg(parsed.command->line)
                                  .arg(parsed.command->on ? "on" : "off")
                            : parsed.refusal,
        expected);
}

void TestPublisher::publishesTheCardAndTakesCommands()
{
    TestBroker broker;
    QVERIFY(broker.start());
    BrokerClient dash;
    QVERIFY(dash.connect(broker.port()));
    QVERIFY(dash.subscribe(QStringLiteral("rig/#")));
    // A command left retained would fire at every reconnect: refused.
    QVERIFY(dash.publish(QStringLiteral("rig/do/set"), R"({"line": 3, "state": false})", true));

    testsupport::ServiceRig rig;
    rig.settings.dioDirection[3] = core::True;
    rig.settings.rtdCal[4] = 0; // the PT-100 channel cannot convert
    rig.writeSettings();
    writeIni(rig.dir.path(), broker.port(), {{"qos", "1"}, {"commands", "true"}});
    QVERIFY(rig.plugIn(rig.pty));
    auto &service = rig.start();
    QTRY_VERIFY(service.publisher().isConnected());
    const QDateTime arrived = rig.clock.now();
    QVERIFY(rig.answerAndStream(rig.pty));
    QVERIFY(rig.pty.writeToProgram("A0D2000F\r"));
    QTRY_COMPARE(service.link().counters().digitalAccepted, 1u);
    rig.tick(1);

    QTRY_VERIFY(dash.last("rig/analog") && dash.last("rig/digital"));
    const QJsonObject analog
        = QJsonDocument::fromJson(dash.last(QStringLiteral("rig/analog"))->payload).object();
    QCOMPARE(analog[u"time"].toString(),
        arrived.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")));
    QCOMPARE(analog[u"ambient"].toDouble(), 24.5);
    const core::AcquisitionState &state = service.state();
    const QJsonArray channels = analog[u"channels"].toArray();
    QCOMPARE(channels.size(), core::ChannelCount);
    for (int c = 0; c < core::ChannelCount; ++c) {
        const QJsonObject channel = channels[c].toObject();
        const float value = state.channelValues[std::size_t(c)];
        // The shortest digits read back to the program's own single-precision value.
        QVERIFY(std::isfinite(value) ? float(channel[u"value"].toDouble()) == value
                                     : channel[u"value"].isNull());
        QCOMPARE(channel[u"type"].toInt(), state.inputType[std::size_t(c)]);
        QCOMPARE(channel[u"error"].toString(),
            c == 4 ? link::describe(link::ConversionError::DivisionByZero) : QString());
    }
    const QJsonObject digital
        = QJsonDocument::fromJson(dash.last(QStringLiteral("rig/digital"))->payload).object();
    QCOMPARE(digital[u"inputs"].toInt(), 0xA0D2);
    QCOMPARE(digital[u"outputs"].toInt(), 0x000F);
    QJsonArray in, out; // entry n is line n
    for (int n = 0; n < core::LineCount; ++n)
        in.append(bool(0xA0D2 & (1 << n))), out.append(n < 4);
    QCOMPARE(digital[u"in"].toArray(), in);
    QCOMPARE(digital[u"out"].toArray(), out);

    for (const auto &[topic, payload] :
        {std::pair {"status", QByteArray("online")}, std::pair {"card", QByteArray("connected")},
            std::pair {"channel/1", core::numberText(state.channelValues[1])}}) {
        const auto told = retained(broker.port(), QStringLiteral("rig/") + QLatin1String(topic));
        QVERIFY2(told && told->retained && told->payload == payload, topic);
    }

    // Commands: an output line is switched as the digital view's button would.
    QVERIFY(dash.publish(QStringLiteral("rig/do/set"), R"({"line": 3, "state": true})"));
    QCOMPARE(rig.pty.waitForBytes(7), "#D0008\r");
    // Refused, and the last already so: nothing to send.
    for (const QByteArray &command :
        {QByteArray(R"({"line": 5, "state": true})"), QByteArray(R"({"line": 3, "state": 1})"),
            QByteArray("on"), QByteArray(R"({"line": 3, "state": true})")})
        QVERIFY(dash.publish(QStringLiteral("rig/do/set"), command));
    QTRY_COMPARE(service.publisher().refused(), 4u);
    QCOMPARE(rig.pty.waitForBytes(1, 300ms), QByteArray());
    for (const char *kind :
        {"retained message", "line configured as an input", "malformed message"})
        QVERIFY2(rig.reported(QStringLiteral("<4>output command refused: ") + QLatin1String(kind)),
            qPrintable(rig.reports.join(u'|')));

    // Off unless the file says so.
    writeIni(rig.dir.path(), broker.port(), {{"commands", "false"}});
    service.reload();
    QTRY_VERIFY(service.publisher().isConnected());
    QVERIFY(dash.publish(QStringLiteral("rig/do/set"), R"({"line": 3, "state": false})"));
    QCOMPARE(rig.pty.waitForBytes(1, 300ms), QByteArray());
    // Turned off: not connected from that moment, in the status as in the metrics.
    writeIni(rig.dir.path(), broker.port(), {{"enabled", "false"}, {"qos", "0"}});
    service.reload();
    QVERIFY(!service.publisher().isConnected());
    rig.tick(1);
    QVERIFY(rig.frame(rig.pty)); // not published, so not counted as lost either
    QCOMPARE(service.publisher().dropped(), 0u);
}

// The simulated card opens a PT-100 and mends it: the journal says so once each way,
// the broker hears the quality (and no fake value while it is bad), and the log, asked
// to, leaves the bad value's field empty.
void TestPublisher::brokenSensorEndToEnd()
{
    TestBroker broker;
    QVERIFY(broker.start());
    BrokerClient dash;
    QVERIFY(dash.connect(broker.port()) && dash.subscribe(QStringLiteral("rig/#")));
    testsupport::ServiceRig rig;
    writeIni(rig.dir.path(), broker.port(), {{"qos", "1"}});
    QSettings(rig.path("tarvane.ini"), QSettings::IniFormat).setValue("log/mark_bad", "true");
    QProcess card;
    QString said;
    QVERIFY(testsupport::startSimulatedCard(card, said, {"--dir", rig.dir.path(), "--rate", "50"}));
    auto &service = rig.start();
    QTRY_VERIFY(service.publisher().isConnected() && service.state().taskRunning == core::True);
    const auto quality4 = [&] {
        const auto last = dash.last("rig/channel/4/quality");
        return last ? last->payload : QByteArray();
    };
    for (const bool broken : {true, false}) {
        card.write(broken ? "break 4 open\n" : "mend 4\n");
        QTRY_COMPARE(service.state().channelQuality[4].good(), !broken);
        dash.clear();
        rig.tick(1);
        QTRY_VERIFY(dash.last("rig/analog").has_value());
        const QJsonObject entry = QJsonDocument::fromJson(dash.last("rig/analog")->payload)
                                      .object()[u"channels"]
                                      .toArray()[4]
                                      .toObject();
        QCOMPARE(entry[u"quality"].toString(), broken ? "bad" : "good");
        QCOMPARE(entry[u"reason"].toString(), broken ? "sensor fault high" : "");
        QTRY_COMPARE(quality4(),
            broken ? R"({"quality":"bad","reason":"sensor fault high"})"
                   : R"({"quality":"good","reason":null})");
        // Published after its quality, so it may still be on its way.
        QTRY_COMPARE(dash.last("rig/channel/4").has_value(), !broken);
        const QByteArrayList lines = testsupport::fileBytes(rig.path("log.csv")).split('\n');
        const QByteArray last = lines.value(lines.size() - 2);
        QVERIFY2(last.endsWith("    \r") == broken, last.constData());
    }
    QCOMPARE(rig.reports.filter("<4>channel 4 (Channel 4): bad, sensor fault high").size(), 1);
    QCOMPARE(rig.reports.filter("<6>channel 4 (Channel 4): good").size(), 1);
    card.terminate();
    QVERIFY(card.waitForFinished(5000));
}

// Channel 0 over its high limit switches line 3 once on_delay has passed, back inside
// by the deadband for off_delay clears it, a broken sensor sets it again; the broker
// holds each change; the stop writes the safe state before "@F".
void TestPublisher::alarmEndToEnd()
{
    TestBroker broker;
    QVERIFY(broker.start());
    BrokerClient dash;
    QVERIFY(dash.connect(broker.port()) && dash.subscribe(QStringLiteral("rig/#")));
    testsupport::ServiceRig rig;
    rig.settings.dioDirection[3] = core::True;
    rig.writeSettings();
    writeIni(rig.dir.path(), broker.port(), {{"qos", "1"}});
    testsupport::putFile(rig.path("tarvane.ini"),
        testsupport::fileBytes(rig.path("tarvane.ini"))
            + "[alarm.1]\nname=Hot\nchannel=0\nhigh=5\ndeadband=1\non_delay=2\noff_delay=1\n"
              "output=3\n[outputs]\nsafe_state=0000\n");
    QVERIFY(rig.plugIn(rig.pty));
    auto &service = rig.start();
    QTRY_VERIFY(service.publisher().isConnected());
    // The safe state as the card answers, before any rule acts.
    QCOMPARE(rig.pty.waitForBytes(2), "?\r");
    QVERIFY(rig.pty.writeToProgram("V1.02\r"));
    QCOMPARE(rig.pty.waitForBytes(16), "#D0000\r@TA00\r@N\r");
    // Channel 0 reads (count - 100) / 2700 V: 6 V, 4.5 V inside the deadband, 3 V.
    const auto at = [&](int count, int seconds) {
        rig.clock.advance(seconds);
        return rig.pty.writeToProgram(QByteArray(Frame).replace(
                   0, 6, '+' + QByteArray::number(count).rightJustified(5, '0')))
            && QTest::qWaitFor([&] { return service.state().rawCounts[0] == count; });
    };
    QVERIFY(at(16300, 0) && at(16300, 1));
    QCOMPARE(rig.pty.waitForBytes(1, 200ms), QByteArray());
    QVERIFY(at(16300, 1));
    QCOMPARE(rig.pty.waitForBytes(7), "#D0008\r");
    QVERIFY(at(12250, 1) && at(8200, 1) && at(8200, 0));
    QCOMPARE(rig.pty.waitForBytes(1, 200ms), QByteArray());
    QVERIFY(at(8200, 1));
    QCOMPARE(rig.pty.waitForBytes(7), "#D0000\r");
    QVERIFY(at(32767, 0) && at(32767, 2)); // open: bad, and on_bad sets
    QCOMPARE(rig.pty.waitForBytes(7), "#D0008\r");
    rig.tick(1);
    QTRY_VERIFY(dash.last("rig/alarms").has_value());
    QCOMPARE(dash.last("rig/alarms")->payload, R"([{"number":1,"name":"Hot"}])");
    const auto kept = retained(broker.port(), "rig/alarm/1");
    QVERIFY(kept && kept->retained);
    const QJsonObject alarm = QJsonDocument::fromJson(kept->payload).object();
    QVERIFY(alarm[u"active"].toBool());
    QCOMPARE(alarm[u"reason"].toString(), "sensor fault high");
    QCOMPARE(alarm[u"output"].toString(), "on");
    QCOMPARE(rig.reports.filter(QRegularExpression("^<4>alarm 1 \\(Hot\\) set")).size(), 2);
    QVERIFY(rig.reported("<6>alarm 1 (Hot) cleared: channel 0 at 3, good"));
    service.stop();
    QCOMPARE(rig.pty.waitForBytes(10), "#D0000\r@F\r");
}

// What Home Assistant's MQTT discovery reads, field by field: one device for the rig,
// a sensor per published channel, a binary sensor per input line and per alarm, a
// switch per output line with commands on.
void TestPublisher::discoveryConfigs()
{
    publish::PublishSettings settings;
    settings.rigId = QStringLiteral("rig 7");
    settings.topicPrefix = QStringLiteral("plant/rig7");
    settings.commands = true;
    settings.channels.fill(false);
    settings.channels[4] = true;
    core::AcquisitionState state;
    core::applyDefaults(state);
    state.inputType[4] = 4;
    state.dioDirection[3] = core::True;
    state.alarms.emplace_back();
    state.alarms[0].number = 1;
    state.alarms[0].name = "Hot";
    const auto configs = publish::discoveryConfigs(settings, state, QStringLiteral("1.1"));
    QCOMPARE(configs.size(), 1u + 15 + 1 + 1);
    const auto config = [&](const char *topic) {
        return QJsonDocument::fromJson(configs.at(QLatin1String(topic))).object();
    };
    const QJsonObject sensor = config("homeassistant/sensor/rig_7/ch4/config");
    QCOMPARE(sensor.toVariantMap(),
        QJsonObject(
            {{"name", "Channel 4"}, {"unique_id", "rig_7_ch4"},
                {"state_topic", "plant/rig7/channel/4"}, {"state_class", "measurement"},
                {"unit_of_measurement", "°C"}, {"device_class", "temperature"},
                {"availability",
                    QJsonArray {QJsonObject {{"topic", "plant/rig7/status"}},
                        QJsonObject {{"topic", "plant/rig7/channel/4/quality"},
                            {"value_template",
                                "{{ 'offline' if value_json.quality == 'bad' else "
                                "'online' }}"}}}},
                {"availability_mode", "all"},
                {"json_attributes_topic", "plant/rig7/channel/4/quality"},
                {"device",
                    QJsonObject {{"identifiers", QJsonArray {"tarvane-rig 7"}}, {"name", "rig 7"},
                        {"model", "Tarvane 2020"}, {"sw_version", "1.1"}}},
                {"origin", QJsonObject {{"name", "Tarvane 2020"}, {"sw_version", "1.1"}}}})
            .toVariantMap());
    const QJsonObject input = config("homeassistant/binary_sensor/rig_7/di9/config");
    QCOMPARE(input[u"value_template"].toString(), "{{ 'ON' if value_json.in[9] else 'OFF' }}");
    QCOMPARE(input[u"state_topic"].toString(), "plant/rig7/digital");
    const QJsonObject output = config("homeassistant/switch/rig_7/do3/config");
    QCOMPARE(output[u"command_topic"].toString(), "plant/rig7/do/set");
    QCOMPARE(output[u"command_template"].toString(),
        R"({"line": 3, "state": {{ 'true' if value == 'ON' else 'false' }}})");
    QCOMPARE(output[u"value_template"].toString(), "{{ 'ON' if value_json.out[3] else 'OFF' }}");
    const QJsonObject alarm = config("homeassistant/binary_sensor/rig_7/alarm1/config");
    QCOMPARE(alarm[u"device_class"].toString(), "problem");
    QCOMPARE(alarm[u"state_topic"].toString(), "plant/rig7/alarm/1");
}

// Retained on the broker at connect and again after it restarted empty; a channel
// switched off for publishing, and then discovery itself, clears what is left.
void TestPublisher::discoveryEndToEnd()
{
    TestBroker broker;
    QVERIFY(broker.start());
    testsupport::ServiceRig rig;
    const auto ini = [&](const char *discovery, const char *channels) {
        writeIni(rig.dir.path(), broker.port(),
            {{"discovery", discovery}, {"channels", channels}, {"rig_id", "r1"}});
    };
    const QString ch0 = QStringLiteral("homeassistant/sensor/r1/ch0/config");
    const auto kept = [&](const QString &topic) {
        BrokerClient late;
        if (!late.connect(broker.port()) || !late.subscribe(topic))
            return QByteArray("?");
        QTest::qWait(200); // for a retained message that must not come
        return late.last(topic).value_or(testsupport::BrokerMessage()).payload;
    };
    ini("true", "0,1");
    auto &service = rig.start();
    QTRY_VERIFY(service.publisher().isConnected());
    QTRY_VERIFY(kept(ch0).contains(R"("unique_id":"r1_ch0")"));
    broker.kill();
    QVERIFY(broker.restart()); // its retained messages are gone with it
    QTRY_VERIFY(kept(ch0).contains(R"("unique_id":"r1_ch0")"));
    ini("true", "1");
    service.reload();
    QTRY_COMPARE(kept(ch0), QByteArray());
    QVERIFY(!kept("homeassistant/sensor/r1/ch1/config").isEmpty());
    ini("false", "1");
    service.reload();
    QTRY_COMPARE(kept("homeassistant/sensor/r1/ch1/config"), QByteArray());
}

// A rig publishes to its site broker, bridged as the package's example bridges it to a
// central one: every analog message reaches the central broker in order, those sent
// while it restarted included, held by the site broker until the bridge was back.
void TestPublisher::bridgedBrokers()
{
    TestBroker central, site;
    QVERIFY(central.start());
    // The example's bridge, to this central broker, tried again soon after a loss;
    // the site's own listener is the test broker's.
    QString bridge = QString::fromUtf8(
        testsupport::fileBytes(QStringLiteral(TARV_SOURCE_DIR "/packaging/mosquitto-bridge.conf")));
    bridge.replace(
        QRegularExpression("^(listener|allow_anonymous) .*$", QRegularExpression::MultilineOption),
        QString());
    bridge.replace(
        "central.plant.example:1883", QStringLiteral("127.0.0.1:%1").arg(central.port()));
    bridge.replace("restart_timeout 5 30", "restart_timeout 1");
    bridge.replace("tarvane/#", "rig/#");
    QVERIFY(site.start({false, false, false, bridge}));
    std::unique_ptr<BrokerClient> before = std::make_unique<BrokerClient>(), after;
    QVERIFY(before->connect(central.port()) && before->subscribe("rig/analog"));
    testsupport::ServiceRig rig;
    writeIni(rig.dir.path(), site.port(), {{"qos", "1"}});
    QVERIFY(rig.plugIn(rig.pty));
    auto &service = rig.start();
    QTRY_VERIFY(service.publisher().isConnected());
    QVERIFY(rig.answerAndStream(rig.pty));
    const auto stream = [&](int seconds) {
        for (int s = 0; s < seconds; ++s)
            if (!rig.frame(rig.pty) || (rig.tick(1), false))
                return false;
        return true;
    };
    QVERIFY(stream(3));
    QTRY_COMPARE(before->payloads("rig/analog").size(), 3);
    central.kill();
    QVERIFY(stream(4)); // held by the site broker
    QVERIFY(central.restart());
    after = std::make_unique<BrokerClient>();
    QVERIFY(after->connect(central.port()) && after->subscribe("rig/analog"));
    QVERIFY(stream(2));
    QTRY_COMPARE_WITH_TIMEOUT(after->payloads("rig/analog").size(), 6, 10000);
    QStringList times;
    for (const QByteArray &payload : before->payloads("rig/analog") + after->payloads("rig/analog"))
        times << QJsonDocument::fromJson(payload).object()[u"time"].toString();
    QStringList expected = times;
    std::ranges::sort(expected);
    expected.removeDuplicates();
    QCOMPARE(times, expected); // in order, none twice
    QCOMPARE(times.size(), 9);
}

void TestPublisher::brokerLostAndBack()
{
    TestBroker broker;
    QVERIFY(broker.start());
    testsupport::ServiceRig rig;
    writeIni(rig.dir.path(), broker.port());
    QVERIFY(rig.plugIn(rig.pty));
    auto &service = rig.start();
    QTRY_VERIFY(service.publisher().isConnected());
    QVERIFY(rig.answerAndStream(rig.pty));
    const auto stream = [&](int seconds) {
        while (seconds-- > 0 && rig.frame(rig.pty))
            rig.tick(1);
        return seconds < 0; // every frame accepted
    };
    QVERIFY(stream(2));
    QCOMPARE(service.publisher().dropped(), 0u);

    broker.kill();
    QTRY_VERIFY(!service.publisher().isConnected());
    QVERIFY(stream(3));
    // Three seconds of analog and eight channel topics each went nowhere.
    QVERIFY(service.publisher().statusTip().contains(QStringLiteral("Messages dropped: 27")));
    QVERIFY(broker.restart());
    QTRY_VERIFY(service.publisher().isConnected());
    QCOMPARE(retained(broker.port(), QStringLiteral("rig/status"))->payload, "online");
    QVERIFY(stream(1));
    QCOMPARE(testsupport::fileBytes(rig.path("log.csv")).count('\n'), 1 + 6); // none lost
    const QString name = QStringLiteral("broker 127.0.0.1:%1 ").arg(broker.port());
    QVERIFY2(rig.reported("<4>" + name + "not connected: the connection was lost")
            && rig.reports.filter("<6>" + name + "connected").size() == 2,
        qPrintable(rig.reports.join(u'|')));
}

void TestPublisher::refusedConnections_data()
{
    QTest::addColumn<BrokerOptions>("broker");
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QString>("reason");
    const Keys wrongPassword {{"username", "rig"}, {"password_file", "wrong"}};
    const Keys rightPassword {{"username", "rig"}, {"password_file", "right"}};
    const Keys rightCa {{"ca_file", TestBroker::caFile()}};
    QTest::newRow("wrong password")
        << BrokerOptions {.auth = true} << wrongPassword << "not authorised";
    QTest::newRow("right password") << BrokerOptions {.auth = true} << rightPassword << "";
    QTest::newRow("wrong CA") << BrokerOptions {.tls = true}
                              << Keys {{"ca_file", TestBroker::wrongCaFile()}} << "TLS";
    QTest::newRow("right CA") << BrokerOptions {.tls = true} << rightCa << "";
    QTest::newRow("right CA, another host's name")
        << BrokerOptions {.tls = true, .otherHost = true} << rightCa << "TLS";
    // No connect at all, rather than the password in clear to whoever listens.
    QTest::newRow("unreadable CA file")
        << BrokerOptions {.auth = true}
        << Keys {{"ca_file", "missing.crt"}, {"username", "rig"}, {"password_file", "right"}}
        << "missing.crt cannot be read: No such file or directory";
}

// The broker's reason, in the status, in the journal once, and in the dialog's test.
void TestPublisher::refusedConnections()
{
    QFETCH(BrokerOptions, broker);
    QFETCH(Keys, keys);
    QFETCH(QString, reason);
    TestBroker mosquitto;
    QVERIFY(mosquitto.start(broker));
    testsupport::ServiceRig rig;
    testsupport::putFile(rig.path("wrong"), "guess\n");
    testsupport::putFile(rig.path("right"), "secret\n");
    keys.insert(QStringLiteral("host"), QStringLiteral("localhost"));
    writeIni(rig.dir.path(), mosquitto.port(), keys);
    auto &service = rig.start();
    if (reason.isEmpty()) {
        QTRY_VERIFY(service.publisher().isConnected());
    } else {
        QTRY_VERIFY2(service.publisher().statusTip().contains(reason),
            qPrintable(service.publisher().statusTip()));
        // Several retries, each failing the same way, and never let in.
        QSignalSpy attempts(service.publisher().findChild<publish::MqttConnection *>(),
            &publish::MqttConnection::disconnected);
        QTRY_VERIFY(attempts.count() >= 3);
        const QStringList told = rig.reports.filter(QStringLiteral("not connected"));
        QVERIFY2(told.size() == 1 && told[0].contains(reason), qPrintable(told.join(u'|')));
        QVERIFY(!mosquitto.log().contains("New client connected"));
    }
    testsupport::ScriptedPrompts prompts;
    ui::FrmPublishing dialog(rig.dir.path(), prompts, {});
    dialog.testConnection();
    auto *result = dialog.findChild<QLabel *>(QStringLiteral("lblTest"));
    QTRY_VERIFY2(result->text().startsWith(reason.isEmpty() ? "Connected to" : "Cannot connect to")
            && result->text().contains(reason),
        qPrintable(result->text()));
}

// Two programs with one client id knock each other off; only a connection that lasted
// (0 ms here) starts the back-off afresh, so they do not fight several times a second.
void TestPublisher::sameClientId()
{
    TestBroker broker;
    QVERIFY(broker.start());
    for (const int stableAfterMs : {60000, 0}) {
        publish::ConnectionParams params;
        params.host = QStringLiteral("127.0.0.1");
        params.port = broker.port();
        params.clientId = QStringLiteral("rig");
        params.firstRetry = 100ms;
        params.stableAfter = std::chrono::milliseconds(stableAfterMs);
        publish::MqttConnection first, other;
        QSignalSpy lost(&first, &publish::MqttConnection::disconnected);
        const QDeadlineTimer backingOff(650); // waits of 100, 200 and 400 ms, else 100 each
        first.start(params);
        params.firstRetry = params.longestRetry = 1ms; // the other comes straight back
        other.start(params);
        QTRY_VERIFY(lost.count() >= 4);
        QVERIFY(backingOff.hasExpired() == (stableAfterMs > 0));
        QCOMPARE(lost.last()[0].toString().contains("another client may be using client id rig"),
            stableAfterMs > 0);
    }
}

void TestPublisher::willAndCleanStop()
{
    TestBroker broker;
    QVERIFY(broker.start());
    testsupport::ServiceRig rig; // no card plugged in
    writeIni(rig.dir.path(), broker.port());
    // A crash: the broker says it for the program; a clean stop says it itself.
    for (const int signal : {SIGKILL, SIGTERM}) {
        BrokerClient dash;
        QVERIFY(dash.connect(broker.port()));
        QVERIFY(dash.subscribe(QStringLiteral("rig/#")));
        QProcess service;
        service.start(QStringLiteral(TARV_SERVICE_PATH),
            {QStringLiteral("--dir"), rig.dir.path(), QStringLiteral("--no-log")});
        QTRY_COMPARE(dash.last("rig/status").value_or(BrokerMessage()).payload, "online");
        QCOMPARE(dash.last(QStringLiteral("rig/card"))->payload, "disconnected");
        QCOMPARE(dash.last(QStringLiteral("rig/card"))->qos, 0); // as configured; asked for 1
        ::kill(pid_t(service.processId()), signal);
        QVERIFY(service.waitForFinished(5000));
        QTRY_COMPARE(dash.last("rig/status").value_or(BrokerMessage()).payload, "offline");
    }
}

// At QoS 1 what cannot go waits, up to 10,000 messages, the oldest dropped first; at
// most 100 go ahead unacknowledged, and a lost connection reopens the window.
void TestPublisher::queueIsBounded()
{
    publish::MessageQueue queue;
    for (int n = 0; n < 10007; ++n)
        queue.push({QString::number(n), {}, false});
    QCOMPARE(queue.pending(), publish::MessageQueue::Limit);
    QCOMPARE(queue.dropped(), 7u);
    QStringList sent;
    const auto send = [&](const publish::Message &m) -> std::optional<int> {
        sent << m.topic;
        return int(sent.size());
    };
    queue.pump(send);
    QCOMPARE(sent.size(), 100);
    QCOMPARE(sent.first(), QStringLiteral("7"));
    queue.pump(send); // the window is full
    QVERIFY(queue.acknowledged(1) && !queue.acknowledged(1) && !queue.acknowledged(9999));
    queue.pump(send);
    QCOMPARE(sent.size(), 101);
    queue.connectionLost();
    queue.pump([](const publish::Message &) { return std::optional<int>(); }); // refused
    queue.pump(send);
    QCOMPARE(sent.size(), 201);
    QCOMPARE(queue.sent(), 201u);
    QCOMPARE(queue.pending(), 10000u - 101);
}

// A host that does not answer: stopping, or closing the dialog while it tests, takes no
// time, and neither talks to the host when it answers later.
void TestPublisher::unreachableBroker()
{
    testsupport::Eavesdropper hole;
    testsupport::ServiceRig rig;
    writeIni(rig.dir.path(), hole.server.serverPort(), {{"qos", "1"}});
    publish::Publisher &publisher = rig.start().publisher();
    testsupport::ScriptedPrompts prompts;
    auto dialog = std::make_unique<ui::FrmPublishing>(rig.dir.path(), prompts, nullptr);
    dialog->testConnection();
    QTRY_COMPARE(hole.knocking(), 2);
    const QDeadlineTimer soon(200);
    publisher.stop();
    dialog.reset();
    QVERIFY(!soon.hasExpired());
    hole.server.resumeAccepting();
    // The kernel repeats a connect's first knock after a second; let that pass.
    QTest::qWait(1500);
    QCOMPARE(hole.heard, QByteArray());

    // A probe's answer names its own limit.
    publish::MqttConnection probe;
    QSignalSpy probed(&probe, &publish::MqttConnection::probed);
    probe.probe(
        publish::connectionParams(publish::readPublishSettings(rig.dir.path()).settings, {}),
        300ms);
    QVERIFY(probed.wait());
    QCOMPARE(probed.at(0).at(0), "the broker did not answer within 0.3 s");
}

QTEST_MAIN(TestPublisher)
#include "tst_publisher.moc"
