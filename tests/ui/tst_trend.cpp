// The trend window, its chart, and the task manager that picks the plotted channels.
#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "ui/filledshape.h"
#include "ui/trend/frmtaskmanager.h"
#include "ui/trend/frmtrend.h"
#include "ui/trend/trendchart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QtTest>

using namespace tarv;
using testsupport::namedChild;

namespace {

// Where a point in chart units lands on the trend window's chart, 1321 x 449 pixels
// for the 12000 x 12000 scale; worked out here, not by the painter.
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

// Smoothed text blends its colour into black: somewhere in the text's box, a colour
// channel that is off stays 0 and one that is on is bright.
bool textNear(const QImage &image, QPointF topLeft, const QColor &colour)
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

// One trend window with everything it depends on.
struct Trend
{
    core::AcquisitionState state;
    testsupport::FakeClock clock;
    testsupport::ScriptedPrompts prompts;
    std::unique_ptr<ui::FrmTrend> window = std::make_unique<ui::FrmTrend>(state, clock, prompts);

    template<typename T = QComboBox> T *child(const char *name, int i = -1)
    {
        return namedChild<T>(*window, name, i);
    }
    const ui::TrendModel &shown() { return child<ui::TrendChart>("pic")->model(); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void sample(float value)
    {
        state.channelValues.fill(value);
        window->tick();
    }
    // Slots first..last of channel 0 as shown.
    QList<float> drawn(int first, int last)
    {
        return QList<float>(
            shown().history[0].begin() + first, shown().history[0].begin() + last + 1);
    }
};

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // The boxes show the shared flags, one that is not exactly true as clear. Only OK
    // writes them back, all at once, and only a full tick counts.
    void taskManager()
    {
        core::AcquisitionState state;
        state.plotEnable[1] = state.plotEnable[2] = state.saveEnable[0] = state.saveEnable[7]
            = core::True;
        state.plotEnable[6] = 1;
        const core::AcquisitionState before = state;
        for (const char *button : {"cmdCancel", "cmdOk"}) {
            ui::FrmTaskManager w(state);
            w.show();
            const auto box
                = [&w](const char *name, int c) { return namedChild<QCheckBox>(w, name, c); };
            QString shown;
            for (int c = 0; c < 8; ++c)
                for (const char *name : {"chkScan", "chkPlot", "chkSave"})
                    shown += box(name, c)->isChecked() ? (box(name, c)->isEnabled() ? "x" : "#")
                                                       : "-";
            QCOMPARE(shown, QStringLiteral("#-x#x-#x-#--#--#--#--#-x"));
            for (QCheckBox *tick : {box("chkPlot", 3), box("chkPlot", 2), box("chkSave", 4)})
                QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(6, tick->height() / 2));
            box("chkSave", 0)->setTristate(true);
            box("chkSave", 0)->setCheckState(Qt::PartiallyChecked);
            QVERIFY2(state.plotEnable == before.plotEnable && state.saveEnable == before.saveEnable,
                "the boxes alone change nothing");
            QTest::mouseClick(namedChild<QPushButton>(w, button), Qt::LeftButton);
            QVERIFY(!w.isVisible());
        }
        core::AcquisitionState expected;
        expected.plotEnable[1] = expected.plotEnable[3] = expected.saveEnable[4]
            = expected.saveEnable[7] = core::True;
        QVERIFY(state.plotEnable == expected.plotEnable && state.saveEnable == expected.saveEnable);
    }

    // Span, range, colours and history belong to the window: a new one starts afresh,
    // with nothing but the grid until its first tick. The tick labels the axes, plots
    // the chosen channels in their swatch colours (white at first, whatever the
    // desktop's) and shows each legend value as its input type asks.
    void trendTicks()
    {
        Trend t;
        t.child("cmbPoints")->setCurrentIndex(3);
        t.child<QLineEdit>("txtRange")->setText(QStringLiteral("50"));
        t.click("cmdRangeSet");
        t.prompts.queueColor(0xff0000);
        t.click("cmdChangeColor");
        t.sample(33);
        t.window = std::make_unique<ui::FrmTrend>(t.state, t.clock, t.prompts);
        QCOMPARE(
            t.child("cmbPoints")->currentText() + u' ' + t.child<QLineEdit>("txtRange")->text(),
            QStringLiteral("10 100"));
        QVERIFY(t.shown().endTime.isEmpty() && t.shown().plotted == (std::array<bool, 8> {}));

        t.state.plotEnable[2] = core::True;
        t.state.channelValues = {-1, -1, -1, -1, -1, 21.456f, -1, -1};
        t.state.inputType[5] = 4; // PT-100: one decimal
        t.window->tick();
        const ui::TrendModel &m = t.shown();
        QCOMPARE((QStringList {m.startTime, m.endTime, m.bottomLabel, m.topLabel}),
            (QStringList {"18:11:33", "18:11:43", "  0", "100"}));
        QCOMPARE(m.plotted,
            (std::array<bool, 8> {false, false, true, false, false, false, false, false}));
        QCOMPARE(t.drawn(0, 10), QList<float>(10, 0) << -1);
        QStringList legend;
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(m.colors[c], QColor(Qt::white));
            legend << t.child<QLabel>("lblData", c)->text();
        }
        QCOMPARE(
            legend.join(u' '), QStringLiteral("-1.00 -1.00 -1.00 -1.00 -1.00 21.5 -1.00 -1.00"));
        // The chart keeps what the tick drew: a repaint between ticks shows the trace.
        QVERIFY(near(t.child<ui::TrendChart>("pic")->grab().toImage(), px(6000, 11000), Qt::white));
    }

    // A span change takes effect at the next tick and keeps the history: a wider span
    // shows older slots again, a narrower one shifts them out.
    void trendSpanKeepsTheHistory()
    {
        Trend t;
        for (float v = 1; v <= 12; ++v)
            t.sample(v);
        QCOMPARE(t.drawn(0, 10), QList<float>({2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        t.child("cmbPoints")->setCurrentIndex(4);
        QCOMPARE(t.shown().pointCount, 10);
        t.sample(13);
        QCOMPARE(t.shown().pointCount, 500);
        QCOMPARE(t.shown().startTime, QStringLiteral("18:03:23")); // 500 s before now
        QCOMPARE(t.drawn(0, 500),
            QList<float>({3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) + QList<float>(490, 0) << 13);
        for (float v = 14; v <= 20; ++v)
            t.sample(v);
        t.child("cmbPoints")->setCurrentIndex(0);
        t.sample(21);
        QCOMPARE(t.drawn(0, 10), QList<float>({11, 12, 0, 0, 0, 0, 0, 0, 0, 0, 21}));
        QCOMPARE(t.drawn(493, 500), QList<float>({13, 14, 15, 16, 17, 18, 19, 20}));
        QCOMPARE(t.shown().history[7], t.shown().history[0]); // plotted or not
        t.child("cmbPoints")->setCurrentIndex(-1); // no entry leaves the span alone
        t.sample(22);
        QCOMPARE(t.shown().pointCount, 10);
    }

    // Set Range reads the leading number; below 1 the text becomes "1", and a value
    // no single-precision range holds leaves the range as it was.
    void trendRange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text"); // afterwards
        QTest::addColumn<float>("range");
        QTest::newRow("below one") << "0.5"
                                   << "1" << 1.0f;
        QTest::newRow("trailing letters") << "12ab"
                                          << "12ab" << 12.0f;
        QTest::newRow("too large") << "9e99"
                                   << "9e99" << 100.0f;
    }
    void trendRange()
    {
        QFETCH(QString, typed);
        Trend t;
        t.child<QLineEdit>("txtRange")->setText(typed);
        t.click("cmdRangeSet");
        QTEST(t.child<QLineEdit>("txtRange")->text(), "text");
        t.window->tick();
        QTEST(t.shown().trendRange, "range");
    }

    // Change recolours the channel chosen in the list, by position or by a typed
    // name; typed text that names no entry chooses nothing.
    void trendColour_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("answer"); // 0xRRGGBB, or -1 for a cancel
        QTest::addColumn<int>("changed");
        QTest::newRow("first entry, black is a colour") << 0 << QString() << qint64(0) << 0;
        QTest::newRow("last entry") << 7 << QString() << qint64(0xff8000) << 7;
        QTest::newRow("cancelled") << 4 << QString() << qint64(-1) << -1;
        QTest::newRow("typed, no entry") << 2 << "Channel 9" << qint64(0x00ff00) << -1;
        QTest::newRow("typed name of an entry") << 2 << "Channel 6" << qint64(0x0000ff) << 6;
    }
    void trendColour()
    {
        QFETCH(int, selected);
        QFETCH(QString, typed);
        QFETCH(qint64, answer);
        QFETCH(int, changed);
        Trend t;
        t.state.plotEnable.fill(core::True);
        t.child("cmbColor")->setCurrentIndex(selected);
        if (!typed.isNull()) {
            t.child("cmbColor")->lineEdit()->selectAll();
            QTest::keyClicks(t.child("cmbColor")->lineEdit(), typed);
        }
        t.prompts.queueColor(answer < 0 ? std::nullopt : std::optional(std::uint32_t(answer)));
        t.click("cmdChangeColor");
        t.window->tick();
        for (int c = 0; c < 8; ++c) {
            const QColor expected
                = c == changed ? QColor::fromRgb(QRgb(answer)) : QColor(Qt::white);
            QCOMPARE(t.child<ui::FilledShape>("shpColor", c)->fillColor(), expected);
            QCOMPARE(t.shown().colors[c], expected);
        }
    }

    // Values avoid the grid lines so each probe sees one trace. The grid is drawn
    // on black, higher channels over lower ones, and every trace over the texts.
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
            QVERIFY2(near(image, px(1000 + 1000 * k, 5250), grid)
                    && near(image, px(5250, 1000 + 1000 * k), grid),
                qPrintable(QString::number(k)));
        QVERIFY(image.pixelColor(px(500, 5250).toPoint()) == Qt::black
            && image.pixelColor(px(11500, 5250).toPoint()) == Qt::black);
        for (int j = 0; j < m.pointCount; ++j) {
            const auto mid
                = [&](int c) { return (slotPoint(m, c, j) + slotPoint(m, c, j + 1)) / 2; };
            QVERIFY2(near(image, mid(1), Qt::blue) && near(image, mid(4), m.colors[4]),
                qPrintable(QString::number(j)));
            QVERIFY2(near(image, mid(6), Qt::white) && !near(image, mid(5), m.colors[5]),
                "the higher channel on top");
            QVERIFY2(!near(image, mid(2), Qt::yellow), "a channel not plotted draws nothing");
        }
        QVERIFY(near(image, slotPoint(m, 3, 4), Qt::magenta));
        const QPointF apex = slotPoint(m, 0, 5);
        QVERIFY(near(image, apex, Qt::red) && !near(image, apex - QPointF(0, 3), Qt::red));
        QVERIFY(near(image, (slotPoint(m, 0, 4) + apex) / 2, Qt::red));
        // The trace starts on the left grid line and ends on the right one.
        QVERIFY(near(image, slotPoint(m, 0, 0) + QPointF(1, 0), Qt::red)
            && !near(image, slotPoint(m, 0, 0) - QPointF(3, 0), Qt::red));
        QVERIFY(near(image, slotPoint(m, 0, 10) - QPointF(1, 0), Qt::red)
            && !near(image, slotPoint(m, 0, 10) + QPointF(3, 0), Qt::red));
        // The texts start at their corner points, in their colours.
        QVERIFY(textNear(image, px(10700, 11250), Qt::green)
            && textNear(image, px(700, 11250), Qt::green));
        QVERIFY(
            textNear(image, px(500, 10750), Qt::cyan) && textNear(image, px(500, 750), Qt::cyan));
        for (double x = px(10720, 0).x(); x < px(10990, 0).x(); ++x)
            QVERIFY2(near(image, {x, slotPoint(m, 4, 9).y()}, m.colors[4]),
                qPrintable(QString::number(x)));
    }

    // The widest span draws every slot; a raw count on the smallest range lies
    // millions of pixels off the chart, and the segment towards it reaches the edge.
    void chartExtremes()
    {
        ui::TrendModel m;
        m.pointCount = 500;
        m.trendRange = 1;
        setChannel(m, 0, 0.25f, Qt::red);
        m.history[0][0] = m.history[0][500] = 0.95f; // the oldest and newest drawn
        setChannel(m, 1, 0, Qt::green);
        m.history[1][500] = 32767;
        setChannel(m, 2, 0, Qt::blue);
        m.history[2][500] = -32768;
        const QImage image = render(m);
        for (const int j : {0, 250, 500})
            QVERIFY2(near(image, slotPoint(m, 0, j), Qt::red), qPrintable(QString::number(j)));
        QVERIFY(near(image, {slotPoint(m, 1, 499).x(), 1}, Qt::green));
        QVERIFY(near(image, {slotPoint(m, 2, 499).x(), 447}, Qt::blue)
            && near(image, px(5500, 11000), Qt::blue));
    }
};

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
