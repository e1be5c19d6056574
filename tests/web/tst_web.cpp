#include "acquisition/acquisitionsession.h"
#include "core/numberformat.h"
#include "link/cardlink.h"
#include "publish/payloads.h"
#include "support/broker.h"
#include "support/servicerig.h"
#include "web/webserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

using namespace tarv;
using testsupport::PtyPair;
using Rig = testsupport::ServiceRig;

namespace {

const QByteArray Handshake = "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: "
                             "13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
const QByteArray Login = "Authorization: Basic " + QByteArray("op:pässword").toBase64() + "\r\n";

struct Reply
{
    int status = 0;
    QByteArray body;
};

// A request written as given, so that "..", "%2e" and the like reach the server
// unresolved; the reply read by its Content-Length (a handshake's has none).
Reply get(quint16 port, const QByteArray &target, const QByteArray &headers = {},
    QTcpSocket *keep = nullptr)
{
    QTcpSocket own;
    QTcpSocket &s = keep ? *keep : own;
    s.connectToHost(QHostAddress::LocalHost, port);
    s.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n"
        + headers + "\r\n");
    QByteArray all;
    Reply r;
    (void)QTest::qWaitFor([&] {
        all += s.readAll();
        const qsizetype end = all.indexOf("\r\n\r\n");
        const qsizetype at = all.indexOf("Content-Length: ");
        if (end < 0 || (at < 0 && !all.startsWith("HTTP/1.1 101")))
            return false;
        r.body = all.mid(end + 4);
        return at < 0 || r.body.size() >= all.mid(at + 16, end - at).split('\r')[0].toLongLong();
    });
    r.status = all.mid(9, 3).toInt();
    return r;
}

// A strict reading of the Prometheus text format: a family's # HELP and # TYPE once
// each and before its samples, which stand together; names and escaped labels as
// the format has them. The samples, labels as written, go to `samples`.
QString readMetrics(const QByteArray &text, QMap<QString, QString> &samples)
{
    static const QRegularExpression comment(R"x(^# (HELP|TYPE) ([a-zA-Z_:][a-zA-Z0-9_:]*) (.*)$)x");
    static const QRegularExpression sample(
        R"x(^([a-zA-Z_:][a-zA-Z0-9_:]*)(?:\{((?:[a-zA-Z_]\w*="(?:[^"\\\n]|\\[\\"n])*",?)*)\})? ([^ ]+)$)x");
    static const QRegularExpression label(R"x(([a-zA-Z_]\w*)="((?:[^"\\\n]|\\[\\"n])*)")x");
    QStringList done;
    QStringList seen; // # HELP and # TYPE of the family being read
    for (const QString &line : QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts)) {
        const auto c = comment.match(line);
        if (c.hasMatch() && c.captured(1) == u"HELP") {
            if (done.contains(c.captured(2)))
                return "a family met again: " + line;
            done << c.captured(2);
            seen = QStringList {line};
        } else if (c.hasMatch()) {
            if (seen.size() != 1 || !seen[0].startsWith("# HELP " + c.captured(2) + u' ')
                || (c.captured(3) != u"gauge" && c.captured(3) != u"counter"))
                return "a TYPE not right after its HELP: " + line;
            seen << c.captured(2);
        } else {
            const auto s = sample.match(line);
            bool number = false;
            s.captured(3).toDouble(&number);
            if (!s.hasMatch() || seen.size() != 2 || s.captured(1) != seen[1]
                || !(number || s.captured(3) == u"NaN"))
                return "not a sample of the family above: " + line;
            QString key = s.captured(1);
            for (auto it = label.globalMatch(s.captured(2)); it.hasNext();) {
                const auto l = it.next();
                key += u' ' + l.captured(1) + u'=' + l.captured(2);
            }
            if (samples.contains(key))
                return "a sample twice: " + line;
            samples.insert(key, s.captured(3));
        }
    }
    return {};
}

} // namespace

class TestWeb : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void refusals_data();
    void refusals();
    void metricsAndValues();
    void hundredPagesLoseNoFrame();
    void pageThatStopsReading();

private:
    // A service with this [web] group and the card streaming; its web page.
    web::WebServer *serve(Rig &rig, PtyPair &card, const QByteArray &webGroup)
    {
        testsupport::putFile(rig.path("tarvane.ini"), "[web]\n" + webGroup);
        // Named like a log, and never offered as one.
        testsupport::putFile(rig.path("log-pw.csv"), "pässword\n");
        QFile::setPermissions(rig.path("log-pw.csv"), QFile::ReadOwner);
        if (!rig.plugIn(card) || (rig.start(), !rig.answerAndStream(card)))
            return nullptr;
        return rig.service->session().output<web::WebServer>();
    }
};

void TestWeb::settings_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("told");
    QTest::newRow("no [web]: nothing listens") << QByteArray() << false << QString();
    QTest::newRow("bad flag") << QByteArray("enabled=maybe\n") << false
                              << "tarvane.ini: [web] enabled=maybe is not true or false";
    QTest::newRow("bad address") << QByteArray("listen=nowhere:80\n") << false
                                 << "[web] listen=nowhere:80 is not ADDRESS:PORT";
    QTest::newRow("network without a password")
        << QByteArray("enabled=true\nlisten=0.0.0.0:0\n") << false
        << "[web] listen=0.0.0.0:0 reaches beyond this machine";
    QTest::newRow("network with a password")
        << QByteArray("enabled=true\nlisten=*:0\nusername=op\npassword_file=log-pw.csv\n") << true
        << "(with authentication)";
    QTest::newRow("user without password file")
        << QByteArray("enabled=true\nlisten=127.0.0.1:0\nusername=op\n") << false
        << "[web] authentication needs both username and password_file: the web page stays off";
    const QString ca = testsupport::TestBroker::caFile(); // a certificate and key at hand
    QTest::newRow("HTTPS") << ("enabled=true\nlisten=127.0.0.1:0\ncert_file=" + ca.toUtf8()
        + "\nkey_file=" + QFileInfo(ca).dir().filePath("ca.key").toUtf8())
                           << true << "web page on https://127.0.0.1:";
    QTest::newRow("certificate unusable")
        << QByteArray("enabled=true\nlisten=127.0.0.1:0\ncert_file=no.pem\nkey_file=no.key\n")
        << false << "holds no PEM certificate or cannot be read: the web page stays off";
}

void TestWeb::settings()
{
    QFETCH(QByteArray, group);
    QFETCH(bool, listening);
    QFETCH(QString, told);
    Rig rig;
    PtyPair card;
    web::WebServer *page = serve(rig, card, group);
    QVERIFY(page);
    QCOMPARE(page->isListening(), listening);
    QVERIFY2(told.isEmpty() ? !rig.reported("[web]") : rig.reported(told),
        qPrintable(rig.reports.join('\n')));
}

void TestWeb::refusals_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    const QByteArray wrong
        = "Authorization: Basic " + QByteArray("op:password").toBase64() + "\r\n";
    QTest::newRow("page without login") << QByteArray("/") << QByteArray() << 401;
    QTest::newRow("page, wrong password") << QByteArray("/") << wrong << 401;
    QTest::newRow("page") << QByteArray("/") << Login << 200;
    QTest::newRow("metrics without login") << QByteArray("/metrics") << QByteArray() << 401;
    QTest::newRow("live without login") << QByteArray("/live") << Handshake << 401;
    QTest::newRow("live, wrong password") << QByteArray("/live") << Handshake + wrong << 401;
    QTest::newRow("live") << QByteArray("/live") << Handshake + Login << 101;
    QTest::newRow("live for another site's page")
        << QByteArray("/live") << Handshake + Login + "Origin: http://evil.example\r\n"
        << 403;
    QTest::newRow("log without login") << QByteArray("/logs/log.csv") << QByteArray() << 401;
    QTest::newRow("log list") << QByteArray("/api/logs") << Login << 200;
    QTest::newRow("a head over 16 kB: never read, never answered") << QByteArray(
        "/") << Login + "X-Pad: " + QByteArray(17000, 'x') + "\r\n" << 0;
    QTest::newRow("log") << QByteArray("/logs/log.csv") << Login << 200;
    QTest::newRow("log beside it") << QByteArray("/logs/log-2026-12-07.csv") << Login << 200;
    for (const char *target : {"/logs/../tarvo.con", "/logs/%2e%2e/tarvo.con",
             "/logs/..%2ftarvo.con", "/logs/%2E%2E%2Ftarvo.con", "/logs//etc/passwd",
             "/logs/%2fetc%2fpasswd", "/logs/tarvo.con", "/logs/tarvane.ini", "/logs/log-link.csv",
             "/logs/log-pw.csv", "/tarvo.con"})
        QTest::newRow(target) << QByteArray(target) << Login << 404;
}

void TestWeb::refusals()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    Rig rig;
    PtyPair card;
    testsupport::putFile(rig.path("log-2026-12-07.csv"), "TIME,Channel 0\r\n\xff\x00\xfe");
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), rig.path("log-link.csv")));
    web::WebServer *page = serve(
        rig, card, "enabled=true\nlisten=127.0.0.1:0\nusername=op\npassword_file=log-pw.csv\n");
    QVERIFY(page);
    const Reply reply = get(page->port(), target, headers);
    QCOMPARE(reply.status, status);
    if (status == 200 && target.startsWith("/logs/"))
        QCOMPARE(reply.body, testsupport::fileBytes(rig.path(target.mid(6))));
    if (target == "/api/logs")
        QCOMPARE(reply.body.count("\"name\""), 2); // the log and the one beside it
}

void TestWeb::metricsAndValues()
{
    Rig rig;
    PtyPair card;
    web::WebServer *page = serve(rig, card, "enabled=true\nlisten=127.0.0.1:0\n");
    QVERIFY(page);
    core::AcquisitionState &state = rig.service->state();
    state.channelNames[2] = "Oven \"A\" \\ 2\nnorth";
    state.channelQuality[3] = {core::Quality::Bad, core::QualityReason::SensorFaultHigh};
    state.channelQuality[5] = {core::Quality::Uncertain, core::QualityReason::OverRange};
    const Reply metrics = get(page->port(), "/metrics");
    QMap<QString, QString> samples;
    const QString error = readMetrics(metrics.body, samples);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(samples.value(R"(tarvane_channel_value channel=2 name=Oven \"A\" \\ 2\nnorth)"),
        QString::fromLatin1(core::numberText(state.channelValues[2])));
    QVERIFY2(!samples.contains("tarvane_channel_value channel=3 name=Channel 3"), "a bad value");
    QCOMPARE(samples.value("tarvane_channel_quality channel=3 name=Channel 3"), "2");
    QCOMPARE(samples.value("tarvane_channel_quality channel=5 name=Channel 5"), "1");
    QCOMPARE(samples.value("tarvane_channel_quality channel=4 name=Channel 4"), "0");
    QCOMPARE(samples.value("tarvane_frames_accepted_total kind=analog"), "1");
    QCOMPARE(samples.value("tarvane_web_clients"), "0");
    QCOMPARE(get(page->port(), "/api/values").body,
        publish::analogPayload(state, rig.clock.now(), rig.service->session().conversionFaults()));
}

void TestWeb::hundredPagesLoseNoFrame()
{
    Rig rig;
    PtyPair card;
    web::WebServer *page = serve(rig, card, "enabled=true\nlisten=127.0.0.1:0\n");
    QVERIFY(page);
    std::vector<std::unique_ptr<QWebSocket>> pages;
    std::vector<int> updates(100);
    for (int &count : updates) {
        auto &socket = pages.emplace_back(std::make_unique<QWebSocket>());
        connect(socket.get(), &QWebSocket::textMessageReceived, this, [&count](const QString &m) {
            count += QJsonDocument::fromJson(m.toUtf8())["channels"].toArray().size() == 8;
        });
        socket->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(page->port())));
    }
    QTRY_COMPARE(page->clients(), 100);
    const auto accepted = rig.service->link().counters().analogAccepted;
    for (int s = 0; s < 10; ++s) {
        for (int f = 0; f < 3; ++f)
            QVERIFY(card.writeToProgram(testsupport::Frame));
        rig.tick(1);
    }
    // The first update at connecting, then one a tick (and the service's own ticks).
    QTRY_VERIFY(std::all_of(updates.begin(), updates.end(), [](int n) { return n >= 11; }));
    QTRY_COMPARE(rig.service->link().counters().analogAccepted, accepted + 30);
    rig.service->reload(); // the same [web] again: the pages stay
    QCOMPARE(page->clients(), 100);
}

void TestWeb::pageThatStopsReading()
{
    Rig rig;
    PtyPair card;
    web::WebServer *page = serve(rig, card, "enabled=true\nlisten=127.0.0.1:0\n");
    QVERIFY(page);
    QTcpSocket stuck;
    QCOMPARE(get(page->port(), "/live", Handshake, &stuck).status, 101);
    stuck.setReadBufferSize(1); // takes nothing more from the system
    QTRY_COMPARE(page->clients(), 1);
    const auto dropped = [page] { return page->metrics().back().value; };
    for (int tick = 0; tick < 100000 && dropped() == 0; ++tick) {
        page->tick();
        QCoreApplication::processEvents();
        QVERIFY2(page->pendingBytes() < web::WebServer::MaxPendingBytes + 8192,
            qPrintable(QString::number(page->pendingBytes())));
    }
    QVERIFY2(dropped() > 0, "the system's buffers never filled");
    for (int tick = 0; tick < web::WebServer::MaxSkipped; ++tick)
        page->tick();
    QTRY_COMPARE(page->clients(), 0);
}

QTEST_GUILESS_MAIN(TestWeb)
#include "tst_web.moc"
