// The trend window, its chart, and the task manager that picks the plotted channels.
#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "ui/filledshape.h"
#include "ui/trend/frmtaskmanager.h"
#include "ui/trend/frmtrend.h"
#include "ui/trend/trendchart.h"
#include "ui/trend/trendmemory.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarv;
using testsupport::namedChild;

namespace {

// Where a point of the 12000 x 12000 chart scale lands on the 1321 x 449 pixel chart.
QPointF px(double x, double y)
{
    return {x * 1321 / 12000, y * 449 / 12000};
}
QPointF slotPoint(const ui::TrendModel &m, int c, int j)
{
    return px(
        1000.0 + j * 10000.0 / m.pointCount, 11000.0 - m.history[c][j] * 10000.0 / m.trendRange);
}

// Aliased lines may round a coordinate either way, so look one pixel around.
bool near(const QImage &image, QPointF at, const QColor &colour)
{
    const QPoint p(int(std::floor(at.x())), int(std::floor(at.y())));
    for (int y = p.y() - 1; y <= p.y() + 1; ++y)
        for (int x = p.x() - 1; x <= p.x() + 1; ++x)
            if (image.rect().contains(x, y) && image.pixelColor(x, y) == colour)
                return true;
    return false;
}

// Smoothed text blends into black: in its box, channels off stay 0, those on are bright.
bool textAt(const QImage &image, QPointF topLeft, const QColor &colour)
{
    const auto on = [](int pixel, int wanted) { return wanted ? pixel >= 160 : pixel == 0; };
    const QRect box = QRect(topLeft.toPoint(), QSize(60, 20)) & image.rect();
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (const QColor p = image.pixelColor(x, y); on(p.red(), colour.red())
                && on(p.green(), colour.green()) && on(p.blue(), colour.blue()))
                return true;
    return false;
}

QImage render(const ui::TrendModel &model)
{
    QImage image(1321, 449, QImage::Format_RGB32);
    image.fill(QColor(200, 200, 200)); // anything the chart fails to paint shows
    QPainter painter(&image);
    ui::paintTrend(painter, image.size(), model);
    return image;
}

void setChannel(ui::TrendModel &m, int c, float value, const QColor &colour, bool plotted = true)
{
    m.history[c].fill(value);
    m.colors[c] = colour;
    m.plotted[c] = plotted;
}

// The box holding every pixel near a colour (text is smoothed into black) in a region.
QRectF bounds(const QImage &image, const QColor &colour, const QRect &region)
{
    QRect found;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (const QColor p = image.pixelColor(x, y); p.red() / 128 == colour.red() / 128
                && p.green() / 128 == colour.green() / 128 && p.blue() / 128 == colour.blue() / 128)
                found |= QRect(x, y, 1, 1);
    return QRectF(
        found.topLeft() / image.devicePixelRatio(), found.size() / image.devicePixelRatio());
}

void sendMouse(QWidget *to, QEvent::Type type, QPointF at, Qt::MouseButtons held = Qt::NoButton)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, to->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

void sendWheel(QWidget *to, int notches)
{
    QWheelEvent event(QPointF(600, 200), to->mapToGlobal(QPointF(600, 200)), {},
        QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &event);
}

// What channel c reads at the window's second s: far apart from one second to the
// next, and not a whole number for most channels.
float valueAt(qint64 s, int c)
{
    return float(s * 7 % 90) + float(c) / 3;
}

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT
    core::AcquisitionState m_state;
    testsupport::FakeClock m_clock;
    testsupport::ScriptedPrompts m_prompts;
    std::unique_ptr<ui::FrmTrend> m_trend;

    template<typename T = QComboBox> T *child(const char *name, int i = -1)
    {
        return namedChild<T>(*m_trend, name, i);
    }
    const ui::TrendModel &shown() { return child<ui::TrendChart>("pic")->model(); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void sample(float value)
    {
        m_state.channelValues.fill(value);
        m_trend->tick();
    }
    // Ticks the given seconds of valueAt(), each a clock second after the last;
    // returns the stamp of second 0.
    QDateTime run(int seconds)
    {
        const QDateTime start = m_clock.now();
        for (int s = 0; s < seconds; ++s) {
            for (int c = 0; c < 8; ++c)
                m_state.channelValues[c] = valueAt(s, c);
            m_trend->tick();
            m_clock.advance(1);
        }
        return start;
    }
    ui::TrendChart *pic() { return child<ui::TrendChart>("pic"); }
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        m_state = {};
        m_prompts = {};
        m_trend = std::make_unique<ui::FrmTrend>(m_state, m_clock, m_prompts);
    }

    // The boxes show the flags (not exactly true: clear); only OK writes them back.
    void taskManager()
    {
        m_state.plotEnable[1] = m_state.plotEnable[2] = m_state.saveEnable[0]
            = m_state.saveEnable[7] = core::True;
        m_state.plotEnable[6] = 1;
        const QString before
            = QStringLiteral("#-x#x-#x-#--#--#--#--#-x"); // # fixed, x ticked, - clear
        for (const auto &[button, shown] :
            {std::pair {"cmdCancel", before}, std::pair {"cmdOk", before},
                std::pair {"", QStringLiteral("#--#x-#--#x-#-x#--#--#-x")}}) {
            ui::FrmTaskManager w(m_state);
            w.show();
            const auto box
                = [&w](const char *name, int c) { return namedChild<QCheckBox>(w, name, c); };
            QString ticks;
            for (int c = 0; c < 8; ++c)
                for (const char *name : {"chkScan", "chkPlot", "chkSave"})
                    ticks += box(name, c)->isChecked() ? (box(name, c)->isEnabled() ? "x" : "#")
                                                       : "-";
            QCOMPARE(ticks, shown);
            if (!*button)
                break;
            for (QCheckBox *tick : {box("chkPlot", 3), box("chkPlot", 2), box("chkSave", 4)})
                QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(6, tick->height() / 2));
            box("chkSave", 0)->setTristate(true);
            box("chkSave", 0)->setCheckState(Qt::PartiallyChecked);
            QTest::mouseClick(namedChild<QPushButton>(w, button), Qt::LeftButton);
            QVERIFY(!w.isVisible());
        }
    }

    // Set Range reads the leading number, below 1 as 1, and ignores one no float holds.
    // A new window starts afresh: a tick labels the axes, plots the chosen channels in
    // their swatch colours (white on any desktop) and formats each legend value.
    void trendTicks()
    {
        for (const auto &[typed, expected] : {std::pair {"0.5", "1 1"},
                 std::pair {"9e99", "9e99 1"}, std::pair {"12ab", "12ab 12"}}) {
            child<QLineEdit>("txtRange")->setText(QLatin1String(typed));
            click("cmdRangeSet");
            sample(33);
            QCOMPARE(child<QLineEdit>("txtRange")->text() + u' ' + shown().topLabel,
                QLatin1String(expected));
        }
        child("cmbPoints")->setCurrentIndex(3);
        m_prompts.queueColor(0xff0000);
        click("cmdChangeColor");
        sample(33);
        m_trend = std::make_unique<ui::FrmTrend>(m_state, m_clock, m_prompts);
        QCOMPARE(child("cmbPoints")->currentText() + u' ' + child<QLineEdit>("txtRange")->text(),
            "10 100");
        QVERIFY(shown().endTime.isEmpty() && shown().plotted == (std::array<bool, 8> {}));
        m_state.plotEnable[2] = core::True;
        m_state.channelValues = {-1, -1, -1, -1, -1, 21.456f, -1, -1};
        m_state.inputType[5] = 4; // PT-100: one decimal
        child("cmbPoints")->lineEdit()->clear();
        QTest::keyClicks(child("cmbPoints")->lineEdit(), "50\r"); // typed: the span stays 10
        m_trend->tick();
        const ui::TrendModel &m = shown();
        QCOMPARE(QStringList({m.startTime, m.endTime, m.bottomLabel, m.topLabel}).join(u'|'),
            "18:11:33|18:11:43|  0|100");
        QCOMPARE(m.plotted,
            (std::array<bool, 8> {false, false, true, false, false, false, false, false}));
        QCOMPARE(QList<float>(m.history[0].begin(), m.history[0].begin() + 11),
            QList<float>(10, 0) << -1);
        QStringList legend;
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(m.colors[c], QColor(Qt::white));
            legend << child<QLabel>("lblData", c)->text();
        }
        QCOMPARE(legend.join(u' '), "-1.00 -1.00 -1.00 -1.00 -1.00 21.5 -1.00 -1.00");
        // The chart keeps what the tick drew: a repaint between ticks shows the trace.
        QVERIFY(near(child<ui::TrendChart>("pic")->grab().toImage(), px(6000, 11000), Qt::white));
    }

    // Change recolours the channel picked from the list; typed text picks none, not even
    // a channel's exact name, until an entry is picked again.
    void trendColour_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("typed"); // "\r": Enter; a final "v": the down arrow picks
        QTest::addColumn<qint64>("answer"); // 0xRRGGBB, or -1 for a cancel
        QTest::addColumn<int>("changed");
        QTest::newRow("first entry, black is a colour") << 0 << QString() << qint64(0) << 0;
        QTest::newRow("last entry") << 7 << QString() << qint64(0xff8000) << 7;
        QTest::newRow("typed, no entry") << 2 << "Channel 9" << qint64(0x00ff00) << -1;
        QTest::newRow("typed name of an entry") << 2 << "Channel 6" << qint64(0x0000ff) << -1;
        QTest::newRow("typed name, Enter") << 2 << "Channel 6\r" << qint64(0x0000ff) << -1;
        QTest::newRow("typed other case, Enter") << 2 << "channel 6\r" << qint64(0xff) << -1;
        QTest::newRow("typed name of the entry") << 6 << "Channel 6" << qint64(0xff) << -1;
        QTest::newRow("typed, then picked") << 2 << "Channel 6\rv" << qint64(0xff) << 7;
    }
    void trendColour()
    {
        QFETCH(int, selected);
        QFETCH(QString, typed);
        QFETCH(qint64, answer);
        QFETCH(int, changed);
        child("cmbColor")->setCurrentIndex(selected);
        QLineEdit *edit = child("cmbColor")->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, QString(typed).remove(u'v'));
        if (typed.endsWith(u'v'))
            QTest::keyClick(edit, Qt::Key_Down);
        m_prompts.queueColor(answer < 0 ? std::nullopt : std::optional(std::uint32_t(answer)));
        click("cmdChangeColor");
        QCOMPARE(m_prompts.colorRequests, 1); // the chooser opens whatever the combo says
        m_state.plotEnable.fill(core::True);
        m_trend->tick();
        for (int c = 0; c < 8; ++c) {
            const QColor expected
                = c == changed ? QColor::fromRgb(QRgb(answer)) : QColor(Qt::white);
            QVERIFY(child<ui::FilledShape>("shpColor", c)->fillColor() == expected
                && shown().colors[c] == expected);
        }
    }

    // Values avoid the grid lines so each probe sees one trace. Higher channels lie
    // over lower ones, and every trace over the texts.
    void chart()
    {
        ui::TrendModel m;
        setChannel(m, 0, 45, Qt::red);
        m.history[0][5] = 85; // a spike: steep segments up to slot 5 and down again
        setChannel(m, 1, 15, Qt::blue);
        setChannel(m, 2, 75, Qt::yellow, false);
        setChannel(m, 3, 110, Qt::magenta); // above the range: over the top, not clamped
        setChannel(m, 4, -3.9f, QColor(255, 128, 0)); // below zero: across the time texts
        setChannel(m, 5, 35, QColor(128, 0, 255));
        setChannel(m, 6, 35, Qt::white);
        m.endTime = QStringLiteral("88:88:88");
        m.startTime = QStringLiteral("18:11:33");
        m.bottomLabel = QStringLiteral("  0");
        m.topLabel = QStringLiteral("100");
        const QImage image = render(m);
        const QColor grid(64, 64, 64);
        for (int k = 0; k <= 10; ++k)
            QVERIFY(near(image, px(1000 + 1000 * k, 5250), grid)
                && near(image, px(5250, 1000 + 1000 * k), grid));
        QVERIFY(image.pixelColor(px(500, 5250).toPoint()) == Qt::black);
        for (int j = 0; j < m.pointCount; ++j) {
            const auto mid
                = [&](int c) { return (slotPoint(m, c, j) + slotPoint(m, c, j + 1)) / 2; };
            QVERIFY2(near(image, mid(1), Qt::blue) && near(image, mid(4), m.colors[4])
                    && near(image, mid(6), Qt::white) && !near(image, mid(5), m.colors[5])
                    && !near(image, mid(2), Qt::yellow),
                qPrintable(QString::number(j)));
        }
        QVERIFY(near(image, slotPoint(m, 3, 4), Qt::magenta));
        const QPointF apex = slotPoint(m, 0, 5);
        QVERIFY(near(image, apex, Qt::red) && !near(image, apex - QPointF(0, 3), Qt::red));
        QVERIFY(near(image, (slotPoint(m, 0, 4) + apex) / 2, Qt::red));
        // The texts start at their corner points, in their colours, under the traces.
        QVERIFY(
            textAt(image, px(10700, 11250), Qt::green) && textAt(image, px(700, 11250), Qt::green));
        QVERIFY(textAt(image, px(500, 10750), Qt::cyan) && textAt(image, px(500, 750), Qt::cyan));
        for (double x = px(10720, 0).x(); x < px(10990, 0).x(); ++x)
            QVERIFY2(near(image, {x, slotPoint(m, 4, 9).y()}, m.colors[4]),
                qPrintable(QString::number(x)));
    }

    // Paused, the picture stands still while the ticks go on; a click does nothing,
    // each wheel notch moves a tenth of the span and a drag follows the mouse, both
    // kept within the seconds held. Live shows the newest second again.
    void lookBack_data()
    {
        QTest::addColumn<int>("span"); // position in cmbPoints
        QTest::addColumn<QList<int>>("notches"); // wheel, up positive
        QTest::addColumn<int>("dragTenths"); // of the plot width, to the right
        QTest::addColumn<int>("back"); // seconds before the newest at the pause
        QTest::newRow("a notch at 10") << 0 << QList<int> {1} << 0 << 1;
        QTest::newRow("three notches at 50") << 1 << QList<int> {1, 1, 1} << 0 << 15;
        QTest::newRow("back and forward") << 1 << QList<int> {2, -1} << 0 << 5;
        QTest::newRow("never past the pause") << 0 << QList<int> {-1} << 0 << 0;
        QTest::newRow("never before the oldest") << 1 << QList<int> {9, 9} << 0 << 99 - 50;
        QTest::newRow("dragged") << 1 << QList<int> {} << 3 << 15;
        QTest::newRow("dragged after a notch") << 0 << QList<int> {2} << -1 << 1;
    }
    void lookBack()
    {
        QFETCH(int, span);
        QFETCH(QList<int>, notches);
        QFETCH(int, dragTenths);
        QFETCH(int, back);
        child("cmbPoints")->setCurrentIndex(span);
        m_state.plotEnable[2] = core::True;
        const QDateTime start = run(100);
        const QPointF middle = px(6000, 6000);
        sendWheel(pic(), 1); // live: ignored
        QTest::keyClick(pic(), Qt::Key_Space);
        sendMouse(pic(), QEvent::MouseButtonPress, middle, Qt::LeftButton);
        sendMouse(pic(), QEvent::MouseButtonRelease, middle);
        const QImage paused = pic()->grab().toImage();
        run(5);
        QVERIFY(pic()->isPaused() && pic()->grab().toImage() == paused);
        QVERIFY(
            !bounds(paused, Qt::yellow, QRect(px(10000, 0).toPoint(), QSize(221, 37))).isEmpty());

        for (int n : notches)
            sendWheel(pic(), n);
        sendMouse(pic(), QEvent::MouseButtonPress, middle, Qt::LeftButton);
        sendMouse(pic(), QEvent::MouseMove, middle + px(1000 * dragTenths, 0), Qt::LeftButton);
        const ui::TrendModel &m = shown();
        const qint64 newest = 99 - back;
        QCOMPARE(pic()->newestShown(), newest);
        QCOMPARE(m.startTime + u'-' + m.endTime,
            start.addSecs(newest - m.pointCount).toString("hh:mm:ss") + u'-'
                + start.addSecs(newest).toString("hh:mm:ss"));
        const QImage image = pic()->grab().toImage();
        for (int j = 0; j <= m.pointCount; ++j) {
            const float value = valueAt(newest - m.pointCount + j, 2);
            QVERIFY2(
                near(image, px(ui::chartX(j, m.pointCount), ui::chartY(value, 100)), Qt::white),
                qPrintable(QString::number(j)));
        }

        pic()->findChild<QAction *>("actPause")->trigger();
        QVERIFY(!pic()->isPaused() && pic()->newestShown() == 104);
        QCOMPARE(shown().endTime, start.addSecs(104).toString("hh:mm:ss"));
        QVERIFY(
            near(pic()->grab().toImage(), px(11000, ui::chartY(valueAt(4, 2), 100)), Qt::white));
    }

    // Hovering shows the second under the mouse from memory, each drawn channel in
    // its colour and legend form.
    void readValues_data()
    {
        QTest::addColumn<int>("notches"); // -1: live
        QTest::addColumn<double>("x"); // chart units
        QTest::addColumn<int>("second"); // -1: no reading
        QTest::newRow("newest, live") << -1 << 10950.0 << 29;
        QTest::newRow("oldest shown, live") << -1 << 1000.0 << 19;
        QTest::newRow("looking back") << 2 << 5000.0 << 21;
        QTest::newRow("left of the grid") << 0 << 400.0 << -1;
    }
    void readValues()
    {
        QFETCH(int, notches);
        QFETCH(double, x);
        QFETCH(int, second);
        m_state.plotEnable[1] = m_state.plotEnable[5] = core::True;
        m_state.inputType[5] = 4;
        child("cmbColor")->setCurrentIndex(5);
        m_prompts.queueColor(0xff8000);
        click("cmdChangeColor");
        const QDateTime start = run(30);
        if (notches >= 0) {
            pic()->setPaused(true);
            sendWheel(pic(), notches);
        }
        sendMouse(pic(), QEvent::MouseMove, px(x, 6000));
        const auto read = pic()->readout();
        QCOMPARE(read.has_value(), second >= 0);
        if (!read)
            return;
        QCOMPARE(read->time, start.addSecs(second).toString("hh:mm:ss"));
        QCOMPARE(read->values,
            QStringList({QString::number(valueAt(second, 1), 'f', 2),
                QString::number(valueAt(second, 5), 'f', 1)}));
        QCOMPARE(read->colors, QList<QColor>({Qt::white, QColor(0xff8000)}));
        const QPointF cursor = px(ui::chartX(read->slot, 10), 10500);
        QVERIFY(near(pic()->grab().toImage(), cursor, {160, 160, 160}));
    }

    // Save data writes the seconds shown, re-read equal to what was sampled; Save
    // picture the chart at the screen's density; a cancel writes nothing and a
    // failure is told.
    void saveFiles()
    {
        QTemporaryDir dir;
        // A zone an hour east of UTC in winter, so the stamp's offset shows.
        const auto zone
            = qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt;
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        const auto restore
            = qScopeGuard([&zone] { zone ? qputenv("TZ", *zone) : qunsetenv("TZ"); });
        m_state.plotEnable[1] = m_state.plotEnable[4] = core::True;
        m_state.channelNames[1] = QStringLiteral("Flow");
        m_state.channelNames[4] = QStringLiteral("Tank \"A\", top");
        const QDateTime start = run(30);
        pic()->setPaused(true);
        sendWheel(pic(), 1);
        for (const char *name : {"shown.csv", "shown.png", "", "no/such/dir.csv"})
            m_prompts.queueFile(*name ? std::optional(dir.filePath(name)) : std::nullopt);
        for (const char *action : {"actSaveData", "actSavePicture", "actSaveData", "actSaveData"})
            pic()->findChild<QAction *>(action)->trigger();

        const QStringList lines
            = QString::fromUtf8(testsupport::fileBytes(dir.filePath("shown.csv"))).split("\r\n");
        QCOMPARE(lines.first(), "time,Flow,\"Tank \"\"A\"\", top\"");
        QCOMPARE(lines.size(), 1 + 11 + 1);
        QCOMPARE(lines.last(), QString());
        const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\+01:00$)");
        for (int s = 18; s <= 28; ++s) {
            const QStringList fields = lines[s - 17].split(u',');
            QVERIFY2(iso.match(fields[0]).hasMatch()
                    && QDateTime::fromString(fields[0], Qt::ISODate) == start.addSecs(s),
                qPrintable(fields[0]));
            // Shortest digits: at most nine significant ones for a float.
            for (const auto &[field, c] : {std::pair {fields[1], 1}, std::pair {fields[2], 4}})
                QVERIFY2(field.toFloat() == valueAt(s, c) && field.size() <= 10, qPrintable(field));
        }
        QCOMPARE(
            QImage(dir.filePath("shown.png")).size(), pic()->size() * pic()->devicePixelRatioF());
        QVERIFY(m_prompts.fileRequests.size() == 4
            && QDir(dir.path()).entryList(QDir::Files).size() == 2);
        QVERIFY(m_prompts.shown.size() == 1 && m_prompts.shown[0].icon == core::PromptIcon::Error);
    }

    // A day and a second of history holds the last day.
    void memoryHoldsADay()
    {
        ui::TrendMemory memory;
        core::ChannelArray<float> values {};
        const QDateTime start = m_clock.now();
        for (qint64 s = 0; s <= ui::TrendMemory::Capacity; ++s) {
            values[7] = float(s);
            memory.append(start.addSecs(s), values);
        }
        QVERIFY(!memory.contains(0) && memory.contains(1) && memory.contains(86400));
        QCOMPARE(memory.at(1).values[7], 1.0f);
        QCOMPARE(memory.at(86400).msecs, start.addSecs(86400).toMSecsSinceEpoch());
        // No spare capacity once full: a second costs its stamp, values and qualities.
        QVERIFY(memory.bytes() <= 86400 * sizeof(ui::TrendMemory::Second));
        core::ChannelArray<core::ChannelQuality> quality {};
        quality[2] = {core::Quality::Bad, core::QualityReason::SensorFaultHigh};
        memory.append(start, values, quality); // a bad value is kept as a gap
        QVERIFY(std::isnan(memory.at(86401).values[2]) && memory.at(86401).quality[2] == quality[2]
            && memory.at(86401).values[7] == 86400.0f);
    }

    // At twice the pixel density the texts and grid stand where they stand at one.
    void denseScreen()
    {
        ui::TrendModel m;
        m.endTime = QStringLiteral("18:11:43");
        m.startTime = QStringLiteral("18:11:33");
        m.bottomLabel = QStringLiteral("  0");
        m.topLabel = QStringLiteral("100");
        QImage dense(QSize(1321, 449) * 2, QImage::Format_RGB32);
        dense.setDevicePixelRatio(2);
        QPainter painter(&dense);
        ui::paintTrend(painter, QSize(1321, 449), m);
        painter.end();
        const QImage plain = render(m);
        for (const auto &[colour, half] : {std::pair {QColor(Qt::green), QRect(0, 0, 660, 449)},
                 std::pair {QColor(Qt::green), QRect(660, 0, 661, 449)},
                 std::pair {QColor(Qt::cyan), QRect(0, 0, 200, 224)},
                 std::pair {QColor(Qt::cyan), QRect(0, 224, 200, 225)}}) {
            const QRectF one = bounds(plain, colour, half);
            const QRectF two = bounds(dense, colour, QRect(half.topLeft() * 2, half.size() * 2));
            QVERIFY2(!one.isEmpty() && std::abs(two.left() - one.left()) <= 1
                    && std::abs(two.top() - one.top()) <= 1
                    && std::abs(two.bottom() - one.bottom()) <= 2,
                qPrintable(QStringLiteral("%1 at %2").arg(colour.name()).arg(half.top())));
        }
        for (int k = 0; k <= 10; ++k)
            QVERIFY(near(dense, px(1000 + 1000 * k, 5250) * 2, {64, 64, 64}));
    }
};

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
