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

using namespace tarv;
using testsupport::FakeClock;
using testsupport::ScriptedPrompts;

namespace {

// One open trend window with everything it depends on.
struct Trend
{
    core::AcquisitionState state;
    FakeClock clock;
    ScriptedPrompts prompts;
    ui::FrmTrend window {state, clock, prompts};

    template<typename T> T *child(const QString &name)
    {
        T *found = window.findChild<T *>(name);
        if (!found)
            qFatal("no control named %s", qPrintable(name));
        return found;
    }
    const ui::TrendModel &shown() { return child<ui::TrendChart>(QStringLiteral("pic"))->model(); }
    ui::FilledShape *swatch(int c)
    {
        return child<ui::FilledShape>(QStringLiteral("shpColor%1").arg(c));
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
        window.tick();
    }
};

// Slots first..last of channel 0 as shown, for compact expectations.
QList<float> slotsOf(const ui::TrendModel &model, int first, int last)
{
    return QList<float>(model.history[0].begin() + first, model.history[0].begin() + last + 1);
}

QList<float> repeated(float value, int count)
{
    return QList<float>(count, value);
}

QList<float> ascending(float from, float to)
{
    QList<float> values;
    for (float v = from; v <= to; ++v)
        values << v;
    return values;
}

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void opensWithItsDefaults()
    {
        Trend t;
        QCOMPARE(t.window.windowTitle(), QStringLiteral("Real Time Trend"));
        QCOMPARE(t.window.minimumSize(), QSize(1352, 611));
        QCOMPARE(t.child<ui::TrendChart>(QStringLiteral("pic"))->size(), QSize(1321, 449));
        auto *timer = t.child<QTimer>(QStringLiteral("tmrTrend"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);

        QCOMPARE(t.points()->count(), 5);
        QCOMPARE(t.points()->currentText(), QStringLiteral("10"));
        QCOMPARE(t.colorChoice()->count(), 8);
        QCOMPARE(t.colorChoice()->currentIndex(), 0);
        QCOMPARE(t.colorChoice()->itemText(7), QStringLiteral("Channel 7"));
        QCOMPARE(t.rangeText()->text(), QStringLiteral("100"));
        QCOMPARE(t.rangeText()->maxLength(), 4);
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(t.child<QLabel>(QStringLiteral("lblChannel%1").arg(c))->text(),
                QStringLiteral("Channel %1").arg(c));
            auto *value = t.child<QLabel>(QStringLiteral("lblData%1").arg(c));
            QCOMPARE(value->text(), QStringLiteral("0.00"));
            QCOMPARE(value->alignment(), Qt::AlignCenter);
            const QImage look = value->grab().toImage();
            QCOMPARE(look.pixelColor(1, 1), QColor(0, 0, 128));
            QVERIFY(!t.swatch(c)->hasFillColor());
            QCOMPARE(t.swatch(c)->fillColor(), t.window.palette().color(QPalette::Window));
        }
        // Nothing but the grid until the first tick.
        QVERIFY(t.shown().endTime.isEmpty());
        QCOMPARE(t.shown().plotted, (std::array<bool, 8> {}));
    }

    void firstTickDrawsTheNewestSampleOnTheRight()
    {
        Trend t;
        t.state.plotEnable[2] = core::True;
        t.state.channelValues[2] = 42.5f;
        t.window.tick();
        const ui::TrendModel &m = t.shown();
        QCOMPARE(m.pointCount, 10);
        QCOMPARE(m.history[2][10], 42.5f);
        for (int j = 0; j < 10; ++j)
            QCOMPARE(m.history[2][j], 0.0f);
        QCOMPARE(m.endTime, QStringLiteral("18:11:43"));
        QCOMPARE(m.startTime, QStringLiteral("18:11:33"));
        QCOMPARE(m.bottomLabel, QStringLiteral("  0"));
        QCOMPARE(m.topLabel, QStringLiteral("100"));
        QCOMPARE(m.plotted,
            (std::array<bool, 8> {false, false, true, false, false, false, false, false}));
        QCOMPARE(m.colors[2], t.window.palette().color(QPalette::Window));

        t.points()->setCurrentIndex(4);
        t.clock.advance(1);
        t.window.tick();
        QCOMPARE(t.shown().startTime, QStringLiteral("18:03:24")); // 500 s before 18:11:44
    }

    void spanChangesKeepTheHistory()
    {
        Trend t;
        for (float v = 1; v <= 12; ++v)
            t.sample(v);
        QCOMPARE(slotsOf(t.shown(), 0, 10), ascending(2, 12));

        // Wider: the slots beyond the old span were never written and show as 0.
        t.points()->setCurrentIndex(4);
        QCOMPARE(t.shown().pointCount, 10); // takes effect at the next tick
        t.sample(13);
        QCOMPARE(t.shown().pointCount, 500);
        QCOMPARE(slotsOf(t.shown(), 0, 9), ascending(3, 12));
        QCOMPARE(slotsOf(t.shown(), 10, 499), repeated(0, 490));
        QCOMPARE(t.shown().history[0][500], 13.0f);
        for (float v = 14; v <= 20; ++v)
            t.sample(v);

        // Narrower: slots 0..9 hold samples of the wide span until shifted out,
        // and the slots beyond keep theirs.
        t.points()->setCurrentIndex(0);
        t.sample(21);
        QCOMPARE(slotsOf(t.shown(), 0, 10), QList<float>({11, 12, 0, 0, 0, 0, 0, 0, 0, 0, 21}));
        QCOMPARE(slotsOf(t.shown(), 493, 500), ascending(13, 20));

        // Wide again: samples from the earlier wide period come back on the right.
        t.points()->setCurrentIndex(4);
        t.sample(22);
        QCOMPARE(slotsOf(t.shown(), 0, 9), QList<float>({12, 0, 0, 0, 0, 0, 0, 0, 0, 21}));
        QCOMPARE(slotsOf(t.shown(), 492, 500), ascending(13, 20) << 22.0f);

        // Other channels shift alike, plotted or not.
        QCOMPARE(t.shown().history[7], t.shown().history[0]);
    }

    void everyListedSpanCanBeChosen_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("span");
        QTest::newRow("10") << 0 << 10;
        QTest::newRow("50") << 1 << 50;
        QTest::newRow("100") << 2 << 100;
        QTest::newRow("200") << 3 << 200;
        QTest::newRow("500") << 4 << 500;
        QTest::newRow("no entry") << -1 << 10;
    }
    void everyListedSpanCanBeChosen()
    {
        QFETCH(int, index);
        QFETCH(int, span);
        Trend t;
        t.points()->setCurrentIndex(index);
        t.sample(5);
        QCOMPARE(t.shown().pointCount, span);
        QCOMPARE(t.shown().history[0][span], 5.0f);
        QCOMPARE(t.points()->count(), 5);
    }

    void rangeIsReadAsALeadingNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("textAfter");
        QTest::addColumn<float>("range");
        QTest::addColumn<QString>("topLabel");
        QTest::newRow("empty") << ""
                               << "1" << 1.0f << "1";
        QTest::newRow("not a number") << "abc"
                                      << "1" << 1.0f << "1";
        QTest::newRow("zero") << "0"
                              << "1" << 1.0f << "1";
        QTest::newRow("negative") << "-5"
                                  << "1" << 1.0f << "1";
        QTest::newRow("below one") << "0.5"
                                   << "1" << 1.0f << "1";
        QTest::newRow("exactly one") << "1"
                                     << "1" << 1.0f << "1";
        QTest::newRow("fraction") << "12.7"
                                  << "12.7" << 12.7f << "13";
        QTest::newRow("trailing letters") << "12ab"
                                          << "12ab" << 12.0f << "12";
        QTest::newRow("leading blank") << " 250"
                                       << " 250" << 250.0f << "250";
        QTest::newRow("exponent") << "1e3"
                                  << "1e3" << 1000.0f << "1000";
        QTest::newRow("too large for the range keeps it") << "9e99"
                                                          << "9e99" << 100.0f << "100";
    }
    void rangeIsReadAsALeadingNumber()
    {
        QFETCH(QString, typed);
        QFETCH(QString, textAfter);
        QFETCH(float, range);
        QFETCH(QString, topLabel);
        Trend t;
        t.rangeText()->setText(typed);
        t.click("cmdRangeSet");
        QCOMPARE(t.rangeText()->text(), textAfter);
        t.window.tick();
        QCOMPARE(t.shown().trendRange, range);
        QCOMPARE(t.shown().topLabel, topLabel);
    }

    void valueLabelsFollowTheInputType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("+/- 10V") << 0 << "21.46";
        QTest::newRow("0 ~ 20 mA") << 1 << "21.46";
        QTest::newRow("4 ~ 20 mA") << 2 << "21.46";
        QTest::newRow("0 ~ 200 mV") << 3 << "21.46";
        QTest::newRow("PT-100") << 4 << "21.5";
        QTest::newRow("T/C - J") << 5 << "21";
        QTest::newRow("T/C - K") << 6 << "21";
        QTest::newRow("outside the list") << 12 << "21";
    }
    void valueLabelsFollowTheInputType()
    {
        QFETCH(int, type);
        QFETCH(QString, expected);
        Trend t;
        for (int c = 0; c < 8; ++c) {
            t.state.inputType[c] = core::Integer(c == 5 ? type : 0);
            t.state.channelValues[c] = c == 5 ? 21.456f : -1.0f;
        }
        t.window.tick();
        for (int c = 0; c < 8; ++c)
            QCOMPARE(t.child<QLabel>(QStringLiteral("lblData%1").arg(c))->text(),
                c == 5 ? expected : QStringLiteral("-1.00"));
    }

    void changeColorRecoloursTheChosenChannel_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("answer"); // 0xRRGGBB, or -1 for a cancel
        QTest::addColumn<int>("changed");
        QTest::newRow("first entry") << 0 << QString() << qint64(0x123456) << 0;
        QTest::newRow("last entry") << 7 << QString() << qint64(0xff8000) << 7;
        QTest::newRow("black is a colour") << 3 << QString() << qint64(0) << 3;
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
        const QColor standard = t.swatch(0)->fillColor();
        t.colorChoice()->setCurrentIndex(selected);
        if (!typed.isNull()) {
            t.colorChoice()->lineEdit()->selectAll();
            QTest::keyClicks(t.colorChoice()->lineEdit(), typed);
            QCOMPARE(t.colorChoice()->currentText(), typed);
        }
        if (answer < 0)
            t.prompts.queueColor(std::nullopt);
        else
            t.prompts.queueColor(std::uint32_t(answer));
        t.click("cmdChangeColor");
        QCOMPARE(t.prompts.colorRequests, 1);
        t.window.tick();
        for (int c = 0; c < 8; ++c) {
            const QColor expected = c == changed ? QColor::fromRgb(QRgb(answer)) : standard;
            QCOMPARE(t.swatch(c)->fillColor(), expected);
            QCOMPARE(t.shown().colors[c], expected);
        }
    }

    void reopeningStartsAfresh()
    {
        core::AcquisitionState state;
        FakeClock clock;
        ScriptedPrompts prompts;
        state.channelValues.fill(33.0f);
        {
            ui::FrmTrend first(state, clock, prompts);
            first.findChild<QComboBox *>(QStringLiteral("cmbPoints"))->setCurrentIndex(3);
            first.findChild<QLineEdit *>(QStringLiteral("txtRange"))->setText(QStringLiteral("50"));
            QTest::mouseClick(
                first.findChild<QPushButton *>(QStringLiteral("cmdRangeSet")), Qt::LeftButton);
            prompts.queueColor(0xff0000);
            QTest::mouseClick(
                first.findChild<QPushButton *>(QStringLiteral("cmdChangeColor")), Qt::LeftButton);
            first.tick();
            first.tick();
        }
        state.channelValues.fill(0.0f);
        ui::FrmTrend second(state, clock, prompts);
        QCOMPARE(second.findChild<QLineEdit *>(QStringLiteral("txtRange"))->text(),
            QStringLiteral("100"));
        QVERIFY(!second.findChild<ui::FilledShape *>(QStringLiteral("shpColor0"))->hasFillColor());
        second.tick();
        const ui::TrendModel &m
            = second.findChild<ui::TrendChart *>(QStringLiteral("pic"))->model();
        QCOMPARE(m.pointCount, 10);
        QCOMPARE(m.trendRange, 100.0f);
        for (const auto &history : m.history)
            QVERIFY2(std::all_of(history.begin(), history.end(), [](float v) { return v == 0; }),
                "history starts empty");
    }

    void unplottedChannelsKeepGatheringHistory()
    {
        Trend t;
        t.sample(4);
        t.sample(5);
        QVERIFY(!t.shown().plotted[1]);
        t.state.plotEnable[1] = core::True;
        t.sample(6);
        QVERIFY(t.shown().plotted[1]);
        QCOMPARE(slotsOf(t.shown(), 8, 10), QList<float>({4, 5, 6}));
    }

    // The chart keeps what the last tick drew, so an exposure between ticks
    // repaints the traces rather than a blank surface.
    void repaintBetweenTicksShowsTheLastDrawing()
    {
        Trend t;
        t.state.plotEnable[0] = core::True;
        t.prompts.queueColor(0xff0000);
        t.click("cmdChangeColor");
        t.sample(55); // y = 5500 in chart units, row 205 of 449
        t.points()->setCurrentIndex(4); // must not show before the next tick
        const QImage image = t.child<ui::TrendChart>(QStringLiteral("pic"))->grab().toImage();
        int redInRow = 0;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 204; y <= 206; ++y)
                redInRow += image.pixelColor(x, y) == QColor(255, 0, 0);
        // Only the last of ten segments rises from 0 to 55; it passes the row
        // within a few pixels of the right grid line.
        QVERIFY2(redInRow > 0 && redInRow < 10, qPrintable(QString::number(redInRow)));
        // The flat part lies on the bottom grid line, drawn over it.
        QCOMPARE(image.pixelColor(605, 411), QColor(255, 0, 0));
    }
};

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
