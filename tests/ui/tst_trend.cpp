// The trend window, its chart, and the task manager that picks the plotted channels.
#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "ui/filledshape.h"
#include "ui/trend/frmtaskmanager.h"
#include "ui/trend/frmtrend.h"
#include "ui/trend/trendchart.h"

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

    // Change recolours the channel chosen by position or by name, or none.
    void trendColour_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("answer"); // 0xRRGGBB, or -1 for a cancel
        QTest::addColumn<int>("changed");
        QTest::newRow("first entry, black is a colour") << 0 << QString() << qint64(0) << 0;
        QTest::newRow("last entry") << 7 << QString() << qint64(0xff8000) << 7;
        QTest::newRow("typed, no entry") << 2 << "Channel 9" << qint64(0x00ff00) << -1;
        QTest::newRow("typed name of an entry") << 2 << "Channel 6" << qint64(0x0000ff) << 6;
    }
    void trendColour()
    {
        QFETCH(int, selected);
        QFETCH(QString, typed);
        QFETCH(qint64, answer);
        QFETCH(int, changed);
        child("cmbColor")->setCurrentIndex(selected);
        if (!typed.isNull()) {
            child("cmbColor")->lineEdit()->selectAll();
            QTest::keyClicks(child("cmbColor")->lineEdit(), typed);
        }
        m_prompts.queueColor(answer < 0 ? std::nullopt : std::optional(std::uint32_t(answer)));
        click("cmdChangeColor");
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
};

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
