#include "ui/filledshape.h"
#include "ui/main/frmviewanalogdata.h"
#include "ui/main/frmviewdigitaldata.h"

#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace tarv;

namespace {

const QColor Green(0, 255, 0);
const QColor Black(0, 0, 0);

template<typename T> T *child(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

QColor renderedBackground(QWidget *widget)
{
    return widget->grab().toImage().pixelColor(1, 1);
}

} // namespace

class TestMonitorViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void windowsRefreshEverySecond_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QSize>("size");
        QTest::newRow("analog") << "analog"
                                << "Analog Data" << QSize(535, 181);
        QTest::newRow("digital") << "digital"
                                 << "Digital Data" << QSize(589, 255);
    }
    void windowsRefreshEverySecond()
    {
        QFETCH(QString, window);
        QFETCH(QString, title);
        QFETCH(QSize, size);
        core::AcquisitionState state;
        std::unique_ptr<QWidget> w;
        if (window == QLatin1String("analog"))
            w = std::make_unique<ui::FrmViewAnalogData>(state);
        else
            w = std::make_unique<ui::FrmViewDigitalData>(state, [](int) {});
        QCOMPARE(w->windowTitle(), title);
        QCOMPARE(w->minimumSize(), size);
        QCOMPARE(w->maximumSize(), size);
        auto *timer = w->findChild<QTimer *>(QStringLiteral("tmrUpdate"));
        QVERIFY2(timer, "the refresh timer keeps its name");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!timer->isSingleShot());
    }

    void analogValuesFollowTheInputType_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("type");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PT-100 one decimal") << 0 << 4 << 123.46f << "123.5";
        QTest::newRow("T/C J whole") << 1 << 5 << 123.46f << "123";
        QTest::newRow("T/C K whole") << 7 << 6 << 999.7f << "1000";
        QTest::newRow("0-20 mA two decimals") << 2 << 1 << 4.0f << "4.00";
        QTest::newRow("10 V negative") << 3 << 0 << -9.876f << "-9.88";
        QTest::newRow("4-20 mA") << 4 << 2 << 12.345678f << "12.35";
        QTest::newRow("200 mV") << 5 << 3 << 199.999f << "200.00";
        QTest::newRow("type outside the list") << 6 << 9 << 123.46f << "123";
        QTest::newRow("negative type") << 6 << -1 << 2047.0f << "2047";
        QTest::newRow("negative rounding to zero, two decimals") << 0 << 0 << -0.004f << "0.00";
        QTest::newRow("negative rounding to zero, whole") << 7 << 6 << -0.4f << "0";
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
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblData%1").arg(channel))->text(), expected);
        for (int other = 0; other < 8; ++other)
            if (other != channel)
                QCOMPARE(child<QLabel>(w, QStringLiteral("lblData%1").arg(other))->text(),
                    QStringLiteral("0.00"));
    }

    void ambientTemperatureInGeneralForm_data()
    {
        QTest::addColumn<float>("ambient");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole") << 25.0f << "Ambient Temperature: 25 deg.C";
        QTest::newRow("half") << 24.5f << "Ambient Temperature: 24.5 deg.C";
        QTest::newRow("below zero") << -3.25f << "Ambient Temperature: -3.25 deg.C";
    }
    void ambientTemperatureInGeneralForm()
    {
        QFETCH(float, ambient);
        QFETCH(QString, expected);
        core::AcquisitionState state;
        state.ambientTemp = ambient;
        ui::FrmViewAnalogData w(state);
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblAmb"))->text(),
            QStringLiteral("Ambient Temperature: "));
        w.tick();
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblAmb"))->text(), expected);
    }

    void incompleteFrameLeavesTheLabels_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::newRow("empty") << QString();
        QTest::newRow("one short") << core::DefaultAnalogFrame.chopped(1);
        QTest::newRow("one too many") << core::DefaultAnalogFrame + QStringLiteral("\r");
    }
    void incompleteFrameLeavesTheLabels()
    {
        QFETCH(QString, frame);
        core::AcquisitionState state;
        state.channelValues[0] = 1.5f;
        state.ambientTemp = 25.0f;
        ui::FrmViewAnalogData w(state);
        w.tick(); // the default frame is complete
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblData0"))->text(), QStringLiteral("1.50"));

        state.analogFrame = frame;
        state.channelValues[0] = 7.0f;
        state.ambientTemp = 30.0f;
        w.tick();
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblData0"))->text(), QStringLiteral("1.50"));
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblAmb"))->text(),
            QStringLiteral("Ambient Temperature: 25 deg.C"));
    }

    void analogLabelsAndColours()
    {
        core::AcquisitionState state;
        ui::FrmViewAnalogData w(state);
        for (int i = 0; i < 8; ++i) {
            auto *name = child<QLabel>(w, QStringLiteral("lblCH%1").arg(i));
            auto *value = child<QLabel>(w, QStringLiteral("lblData%1").arg(i));
            QCOMPARE(name->text(), QStringLiteral("CH%1:").arg(i));
            QCOMPARE(value->text(), QStringLiteral("0.00"));
            QCOMPARE(value->alignment(), Qt::AlignCenter);
            QCOMPARE(renderedBackground(name), QColor(255, 255, 192));
            QCOMPARE(renderedBackground(value), QColor(192, 255, 192));
            // Channels 0..3 in the left half, 4..7 in the right, same rows.
            QCOMPARE(name->x() < w.width() / 2, i < 4);
            QCOMPARE(name->y(), child<QLabel>(w, QStringLiteral("lblCH%1").arg(i % 4))->y());
            QVERIFY(value->x() > name->x());
        }
        QCOMPARE(
            renderedBackground(child<QLabel>(w, QStringLiteral("lblAmb"))), QColor(128, 255, 255));
    }

    void digitalIndicatorsShowReportedStates_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("on") << 3 << -1 << Green;
        QTest::newRow("off") << 0 << 0 << Black;
        QTest::newRow("last line on") << 15 << -1 << Green;
        QTest::newRow("neither flag value") << 7 << 5 << Black;
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
            w.tick();
            for (int i = 0; i < 16; ++i) {
                const QColor in
                    = child<ui::FilledShape>(w, QStringLiteral("shpDI%1").arg(i))->fillColor();
                const QColor out
                    = child<ui::FilledShape>(w, QStringLiteral("shpDO%1").arg(i))->fillColor();
                QCOMPARE(in, inputs && i == line ? expected : Black);
                QCOMPARE(out, !inputs && i == line ? expected : Black);
            }
        }
    }

    void indicatorsAreBlackUntilTheFirstRefresh()
    {
        core::AcquisitionState state;
        state.diStates.fill(core::True);
        state.doStates.fill(core::True);
        ui::FrmViewDigitalData w(state, [](int) {});
        auto *di = child<ui::FilledShape>(w, QStringLiteral("shpDI0"));
        QCOMPARE(di->fillColor(), Black);
        QCOMPARE(di->grab().toImage().pixelColor(di->width() / 2, di->height() / 2), Black);
        w.tick();
        QCOMPARE(di->grab().toImage().pixelColor(di->width() / 2, di->height() / 2), Green);
    }

    void outputButtonsAskForTheirLine()
    {
        core::AcquisitionState state;
        QList<int> asked;
        ui::FrmViewDigitalData w(state, [&](int line) { asked << line; });
        w.show();
        QTest::mouseClick(child<QPushButton>(w, QStringLiteral("cmdDO2")), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(w, QStringLiteral("cmdDO15")), Qt::LeftButton);
        QCOMPARE(asked, QList<int>({2, 15}));
        // The indicator shows what the card reports, not what was asked.
        w.tick();
        QCOMPARE(child<ui::FilledShape>(w, QStringLiteral("shpDO2"))->fillColor(), Black);
        QCOMPARE(state.doCommand[2], core::False);
    }

    void digitalLinesAreLabelledAndOrdered()
    {
        core::AcquisitionState state;
        ui::FrmViewDigitalData w(state, [](int) {});
        int lastX = -1;
        for (int i = 0; i < 16; ++i) {
            const QString d = QStringLiteral("D%1").arg(i);
            QCOMPARE(child<QLabel>(w, QStringLiteral("lblDI%1").arg(i))->text(), d);
            QCOMPARE(child<QLabel>(w, QStringLiteral("lblDO%1").arg(i))->text(), d);
            auto *button = child<QPushButton>(w, QStringLiteral("cmdDO%1").arg(i));
            QCOMPARE(button->text(), d);
            QCOMPARE(button->font().family(), QStringLiteral("Arial Narrow"));
            QCOMPARE(button->font().pointSizeF(), 8.25);
            auto *indicator = child<ui::FilledShape>(w, QStringLiteral("shpDO%1").arg(i));
            QCOMPARE(indicator->x(), button->x());
            QVERIFY(indicator->y() < button->y());
            QVERIFY(button->x() > lastX);
            lastX = button->x();
        }
        QCOMPARE(child<QGroupBox>(w, QStringLiteral("Frame2"))->title(), QStringLiteral("INPUTS"));
        QCOMPARE(child<QGroupBox>(w, QStringLiteral("Frame3"))->title(), QStringLiteral("OUTPUTS"));
    }
};

QTEST_MAIN(TestMonitorViews)
#include "tst_monitorviews.moc"
