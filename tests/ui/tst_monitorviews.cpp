#include "ui/filledshape.h"
#include "ui/main/frmviewanalogdata.h"
#include "ui/main/frmviewdigitaldata.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The number formats per input type belong to tst_numeric; these tests cover which
// channel shows what, and when the windows refresh.

using namespace tarv;

namespace {

const QColor Green(0, 255, 0);
const QColor Black(0, 0, 0);

template<typename T = QLabel> T *child(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

QColor fill(QWidget &window, const QString &name, int line)
{
    return child<ui::FilledShape>(window, name + QString::number(line))->fillColor();
}

} // namespace

class TestMonitorViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void windowsRefreshEverySecond()
    {
        core::AcquisitionState state;
        ui::FrmViewAnalogData analog(state);
        ui::FrmViewDigitalData digital(state, [](int) {});
        for (QWidget *w : {static_cast<QWidget *>(&analog), static_cast<QWidget *>(&digital)}) {
            auto *timer = child<QTimer>(*w, QStringLiteral("tmrUpdate"));
            QVERIFY(timer->isActive());
            QCOMPARE(timer->interval(), 1000);
            QVERIFY(!timer->isSingleShot());
        }
    }

    // Each channel's value is shown as its own input type asks.
    void analogValuesFollowTheInputType_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("type");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PT-100 one decimal") << 0 << 4 << 123.46f << "123.5";
        QTest::newRow("T/C K whole, rounding up") << 7 << 6 << 999.7f << "1000";
    }
    void analogValuesFollowTheInputType()
    {
        QFETCH(int, channel);
        QFETCH(int, type);
        QFETCH(float, value);
        QFETCH(QString, expected);
        core::AcquisitionState state;
        state.inputType[channel] = core::Integer(type);
        state.channelValues[channel] = value;
        ui::FrmViewAnalogData w(state);
        w.tick();
        for (int c = 0; c < 8; ++c)
            QCOMPARE(child(w, QStringLiteral("lblData%1").arg(c))->text(),
                c == channel ? expected : QStringLiteral("0.00"));
    }

    // The ambient temperature in the general form; an incomplete frame leaves
    // every label as the last complete one set it.
    void ambientAndIncompleteFrames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::newRow("one short") << core::DefaultAnalogFrame.chopped(1);
        QTest::newRow("one too many") << core::DefaultAnalogFrame + QStringLiteral("\r");
    }
    void ambientAndIncompleteFrames()
    {
        QFETCH(QString, frame);
        core::AcquisitionState state;
        state.channelValues[0] = 1.5f;
        state.ambientTemp = -3.25f;
        ui::FrmViewAnalogData w(state);
        QCOMPARE(child(w, "lblAmb")->text(), QStringLiteral("Ambient Temperature: "));
        w.tick(); // the default frame is complete
        QCOMPARE(child(w, "lblData0")->text(), QStringLiteral("1.50"));
        QCOMPARE(child(w, "lblAmb")->text(), QStringLiteral("Ambient Temperature: -3.25 deg.C"));

        state.analogFrame = frame;
        state.channelValues[0] = 7.0f;
        state.ambientTemp = 30.0f;
        w.tick();
        QCOMPARE(child(w, "lblData0")->text(), QStringLiteral("1.50"));
        QCOMPARE(child(w, "lblAmb")->text(), QStringLiteral("Ambient Temperature: -3.25 deg.C"));
    }

    // Only a true flag (-1) lights a line; until the first refresh all are black.
    void digitalIndicatorsShowReportedStates_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("first line on") << 0 << -1 << Green;
        QTest::newRow("last line on") << 15 << -1 << Green;
        QTest::newRow("plus one is not on") << 8 << 1 << Black;
    }
    void digitalIndicatorsShowReportedStates()
    {
        QFETCH(int, line);
        QFETCH(int, flag);
        QFETCH(QColor, expected);
        for (const bool inputs : {true, false}) {
            core::AcquisitionState state;
            (inputs ? state.diStates : state.doStates)[line] = core::Flag(flag);
            ui::FrmViewDigitalData w(state, [](int) {});
            for (int i = 0; i < 16; ++i)
                QVERIFY(fill(w, "shpDI", i) == Black && fill(w, "shpDO", i) == Black);
            w.tick();
            for (int i = 0; i < 16; ++i) {
                QCOMPARE(fill(w, "shpDI", i), inputs && i == line ? expected : Black);
                QCOMPARE(fill(w, "shpDO", i), !inputs && i == line ? expected : Black);
            }
        }
    }

    // A button only asks for its line; the indicator shows what the card reports.
    void outputButtonsAskForTheirLine()
    {
        core::AcquisitionState state;
        QList<int> asked;
        ui::FrmViewDigitalData w(state, [&](int line) { asked << line; });
        w.show();
        QTest::mouseClick(child<QPushButton>(w, QStringLiteral("cmdDO2")), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(w, QStringLiteral("cmdDO15")), Qt::LeftButton);
        QCOMPARE(asked, QList<int>({2, 15}));
        w.tick();
        QCOMPARE(fill(w, "shpDO", 2), Black);
        QCOMPARE(state.doCommand[2], core::False);
    }
};

QTEST_MAIN(TestMonitorViews)
#include "tst_monitorviews.moc"
