#include "support/fakeclock.h"
#include "support/scriptedprompts.h"
#include "ui/filledshape.h"
#include "ui/trend/frmtrend.h"
#include "ui/trend/trendchart.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace tarv;

namespace {

// One open trend window with everything it depends on.
struct Trend
{
    core::AcquisitionState state;
    testsupport::FakeClock clock;
    testsupport::ScriptedPrompts prompts;
    std::unique_ptr<ui::FrmTrend> window = std::make_unique<ui::FrmTrend>(state, clock, prompts);

    template<typename T> T *child(const QString &name)
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no control named %s", qPrintable(name));
        return found;
    }
    const ui::TrendModel &shown() { return child<ui::TrendChart>(QStringLiteral("pic"))->model(); }
    QColor swatch(int c)
    {
        return child<ui::FilledShape>(QStringLiteral("shpColor%1").arg(c))->fillColor();
    }
    QComboBox *points() { return child<QComboBox>(QStringLiteral("cmbPoints")); }
    QComboBox *colorChoice() { return child<QComboBox>(QStringLiteral("cmbColor")); }
    QLineEdit *rangeText() { return child<QLineEdit>(QStringLiteral("txtRange")); }
    void click(const char *name)
    {
        QTest::mouseClick(child<QPushButton>(QLatin1String(name)), Qt::LeftButton);
    }
    // One tick with every channel reading the given value.
    void sample(float value)
    {
        state.channelValues.fill(value);
        window->tick();
    }
    // Slots first..last of channel 0 as shown.
    QList<float> drawn(int first, int last)
    {
        const auto &h = shown().history[0];
        return QList<float>(h.begin() + first, h.begin() + last + 1);
    }
};

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Where the newest sample goes is spanChangesKeepTheHistory's business. Each
    // legend value is shown as its own channel's input type asks.
    void ticksEverySecondAndLabelsTheChart()
    {
        Trend t;
        t.state.plotEnable[2] = core::True;
        t.state.channelValues.fill(-1.0f);
        t.state.channelValues[5] = 21.456f;
        t.state.inputType[5] = 4; // PT-100: one decimal
        auto *timer = t.child<QTimer>(QStringLiteral("tmrTrend"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        // Nothing but the grid until the first tick.
        QVERIFY(t.shown().endTime.isEmpty());
        QCOMPARE(t.shown().plotted, (std::array<bool, 8> {}));

        t.window->tick();
        const ui::TrendModel &m = t.shown();
        QCOMPARE((QStringList {m.startTime, m.endTime, m.bottomLabel, m.topLabel}),
            (QStringList {"18:11:33", "18:11:43", "  0", "100"}));
        QCOMPARE(m.plotted,
            (std::array<bool, 8> {false, false, true, false, false, false, false, false}));
        // A swatch nobody coloured draws white, whatever the desktop's colours.
        QCOMPARE(m.colors[2], QColor(Qt::white));
        for (int c = 0; c < 8; ++c)
            QCOMPARE(t.child<QLabel>(QStringLiteral("lblData%1").arg(c))->text(),
                c == 5 ? QStringLiteral("21.5") : QStringLiteral("-1.00"));
    }

    // A span change takes effect at the next tick and keeps the history: a wider
    // span shows older slots again, a narrower one shifts them out.
    void spanChangesKeepTheHistory()
    {
        Trend t;
        for (float v = 1; v <= 12; ++v)
            t.sample(v);
        QCOMPARE(t.drawn(0, 10), QList<float>({2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

        // Wider: the slots beyond the old span were never written and show as 0.
        t.points()->setCurrentIndex(4);
        QCOMPARE(t.shown().pointCount, 10);
        t.sample(13);
        QCOMPARE(t.shown().pointCount, 500);
        QCOMPARE(t.shown().startTime, QStringLiteral("18:03:23")); // 500 s before now
        QCOMPARE(t.drawn(0, 9), QList<float>({3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        QCOMPARE(t.drawn(10, 499), QList<float>(490, 0));
        QCOMPARE(t.shown().history[0][500], 13.0f);
        for (float v = 14; v <= 20; ++v)
            t.sample(v);

        // Narrower: slots 0..9 hold samples of the wide span until shifted out,
        // and the slots beyond keep theirs.
        t.points()->setCurrentIndex(0);
        t.sample(21);
        QCOMPARE(t.drawn(0, 10), QList<float>({11, 12, 0, 0, 0, 0, 0, 0, 0, 0, 21}));
        QCOMPARE(t.drawn(493, 500), QList<float>({13, 14, 15, 16, 17, 18, 19, 20}));
        // Every channel shifts alike, plotted or not.
        QCOMPARE(t.shown().history[7], t.shown().history[0]);

        // No entry selected leaves the span alone.
        t.points()->setCurrentIndex(-1);
        t.sample(22);
        QCOMPARE(t.shown().pointCount, 10);
    }

    // Set Range reads the leading number; below 1 the text becomes "1", and a value
    // no single-precision range holds leaves the range as it was.
    void rangeIsReadAsALeadingNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("reset"); // the text becomes "1"
        QTest::addColumn<float>("range");
        QTest::newRow("not a number") << "abc" << true << 1.0f;
        QTest::newRow("below one") << "0.5" << true << 1.0f;
        QTest::newRow("fraction") << "12.7" << false << 12.7f;
        QTest::newRow("trailing letters") << "12ab" << false << 12.0f;
        QTest::newRow("too large for the range") << "9e99" << false << 100.0f;
    }
    void rangeIsReadAsALeadingNumber()
    {
        QFETCH(QString, typed);
        QFETCH(bool, reset);
        QFETCH(float, range);
        Trend t;
        t.rangeText()->setText(typed);
        t.click("cmdRangeSet");
        QCOMPARE(t.rangeText()->text(), reset ? QStringLiteral("1") : typed);
        t.window->tick();
        QCOMPARE(t.shown().trendRange, range);
    }

    void changeColorRecoloursTheChosenChannel_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("answer"); // 0xRRGGBB, or -1 for a cancel
        QTest::addColumn<int>("changed");
        QTest::newRow("first entry, black is a colour") << 0 << QString() << qint64(0) << 0;
        QTest::newRow("last entry") << 7 << QString() << qint64(0xff8000) << 7;
        QTest::newRow("cancelled") << 4 << QString() << -1LL << -1;
        QTest::newRow("typed text selects nothing") << 2 << "Channel 9" << qint64(0x00ff00) << -1;
        QTest::newRow("typed name of an entry") << 2 << "Channel 6" << qint64(0x0000ff) << 6;
    }
    void changeColorRecoloursTheChosenChannel()
    {
        QFETCH(int, selected);
        QFETCH(QString, typed);
        QFETCH(qint64, answer);
        QFETCH(int, changed);
        Trend t;
        t.state.plotEnable.fill(core::True);
        const QColor standard = t.swatch(0);
        t.colorChoice()->setCurrentIndex(selected);
        if (!typed.isNull()) {
            t.colorChoice()->lineEdit()->selectAll();
            QTest::keyClicks(t.colorChoice()->lineEdit(), typed);
        }
        t.prompts.queueColor(answer < 0 ? std::nullopt : std::optional(std::uint32_t(answer)));
        t.click("cmdChangeColor");
        QCOMPARE(t.prompts.colorRequests, 1);
        t.window->tick();
        for (int c = 0; c < 8; ++c) {
            const QColor expected = c == changed ? QColor::fromRgb(QRgb(answer)) : standard;
            QCOMPARE(t.swatch(c), expected);
            QCOMPARE(t.shown().colors[c], expected);
        }
    }

    // Span, range, colours and history belong to the window, not the shared state.
    void reopeningStartsAfresh()
    {
        Trend t;
        t.points()->setCurrentIndex(3);
        t.rangeText()->setText(QStringLiteral("50"));
        t.click("cmdRangeSet");
        t.prompts.queueColor(0xff0000);
        t.click("cmdChangeColor");
        t.sample(33);

        t.window.reset();
        t.window = std::make_unique<ui::FrmTrend>(t.state, t.clock, t.prompts);
        QCOMPARE(t.rangeText()->text(), QStringLiteral("100"));
        t.sample(0);
        const ui::TrendModel &m = t.shown();
        QCOMPARE(m.pointCount, 10);
        QCOMPARE(m.trendRange, 100.0f);
        QCOMPARE(m.colors[0], QColor(Qt::white));
        for (const auto &history : m.history)
            QVERIFY2(std::all_of(history.begin(), history.end(), [](float v) { return v == 0; }),
                "history starts empty");
    }

    // The chart keeps what the last tick drew, so an exposure between ticks
    // repaints the traces rather than a blank surface.
    void repaintBetweenTicksShowsTheLastDrawing()
    {
        Trend t;
        t.state.plotEnable[0] = core::True;
        t.prompts.queueColor(0xff0000);
        t.click("cmdChangeColor");
        t.sample(0);
        const QImage image = t.child<ui::TrendChart>(QStringLiteral("pic"))->grab().toImage();
        // The flat trace lies on the bottom grid line, drawn over it.
        QCOMPARE(image.pixelColor(605, 411), QColor(255, 0, 0));
    }
};

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
