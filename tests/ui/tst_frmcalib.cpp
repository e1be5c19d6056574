#include "core/acquisitionstate.h"
#include "support/scriptedprompts.h"
#include "ui/config/frmcalib.h"
#include "ui/filledshape.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using tarv::core::AcquisitionState;
using tarv::core::Integer;
using tarv::core::PromptIcon;
using tarv::testsupport::ScriptedPrompts;
using tarv::ui::FilledShape;
using tarv::ui::config::FrmCalib;

namespace {

using CountArray = tarv::core::ChannelArray<Integer> AcquisitionState::*;
using Message = QPair<QString, PromptIcon>;

// The window under test with its controls looked up by name.
struct CalibWindow
{
    ScriptedPrompts prompts;
    std::unique_ptr<FrmCalib> window;

    explicit CalibWindow(AcquisitionState &state)
        : window(std::make_unique<FrmCalib>(state, prompts))
    { }

    template<typename T> T *child(const QString &name) const
    {
        auto *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QLabel *label(const QString &name) const { return child<QLabel>(name); }
    QCheckBox *selected(int i) const { return child<QCheckBox>(QStringLiteral("chkSel%1").arg(i)); }
    QColor zero(int i) const
    {
        return child<FilledShape>(QStringLiteral("shpZero%1").arg(i))->fillColor();
    }
    QColor span(int i) const
    {
        return child<FilledShape>(QStringLiteral("shpSpan%1").arg(i))->fillColor();
    }
    void click(const QString &button) const
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void selectOnly(const QList<int> &channels) const
    {
        for (int i = 0; i < 8; ++i)
            selected(i)->setChecked(channels.contains(i));
    }
    // Every message shown, with title "Calibration" checked on the way.
    QList<Message> messages(const QString &title) const
    {
        QList<Message> list;
        for (const auto &shown : prompts.shown) {
            if (shown.title != title || !shown.modal)
                qFatal("unexpected box \"%s\" titled \"%s\"", qPrintable(shown.text),
                    qPrintable(shown.title));
            list << Message(shown.text, shown.icon);
        }
        return list;
    }
};

AcquisitionState defaultState()
{
    AcquisitionState state;
    tarv::core::applyDefaults(state);
    return state;
}

const QString Title = QStringLiteral("Calibration");
const Message Stored(QStringLiteral("Calibration value stored"), PromptIcon::Information);
const Message TooHigh(QStringLiteral("Analog Value too high"), PromptIcon::Error);
const Message TooLow(QStringLiteral("Analog Value too low"), PromptIcon::Error);
const QColor Black(Qt::black);
const QColor Blue(0, 0, 255);
const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

} // namespace

class TstFrmCalib : public QObject
{
    Q_OBJECT

private slots:
    void showsTextsAndColoursAtLoad();
    void refreshShowsCountsAndAmbient_data();
    void refreshShowsCountsAndAmbient();
    void captureHonoursLimits_data();
    void captureHonoursLimits();
    void refusalDoesNotStopOtherChannels();
    void noStoredMessageWithoutStore_data();
    void noStoredMessageWithoutStore();
    void indicatorsResetOnReopening();
    void exportThenImportThroughDialogs();
    void importMessagesAndSilences_data();
    void importMessagesAndSilences();
    void closeButtonClosesSubWindow();
};

void TstFrmCalib::showsTextsAndColoursAtLoad()
{
    AcquisitionState state = defaultState();
    CalibWindow w(state);
    QCOMPARE(w.window->windowTitle(), Title);
    auto *timer = w.child<QTimer>(QStringLiteral("tmrUpdate"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(w.label(QStringLiteral("lblCH%1").arg(i))->text(), QStringLiteral("CH%1:").arg(i));
        QCOMPARE(w.label(QStringLiteral("lblData%1").arg(i))->text(), QStringLiteral("0.00"));
        QVERIFY(w.selected(i)->isChecked());
        QCOMPARE(w.zero(i), Black);
        QCOMPARE(w.span(i), Black);
    }
    QCOMPARE(w.label(QStringLiteral("lblAmb"))->text(), QStringLiteral("Ambient Temperature: "));
    QCOMPARE(w.label(QStringLiteral("Label20"))->text(),
        QStringLiteral("Apply 10.000V across terminals 10V and COM, select option C jumper "
                       "on selected channels."));
    QCOMPARE(w.label(QStringLiteral("Label31"))->text(),
        QStringLiteral("Short terminals 2V and COM, select option B jumper on selected "
                       "channels."));
    QCOMPARE(w.child<QPushButton>(QStringLiteral("cmdCalibrate10V1"))->text(),
        QStringLiteral("Calibrate 0V"));
    QCOMPARE(w.child<QPushButton>(QStringLiteral("cmdCalibrate200mV0"))->text(),
        QStringLiteral("Calibrate 200mV"));
}

void TstFrmCalib::refreshShowsCountsAndAmbient_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<float>("ambient");
    QTest::addColumn<QString>("data0");
    QTest::addColumn<QString>("amb");
    QTest::newRow("start-up frame") << tarv::core::DefaultAnalogFrame << 0.0f << "-32768"
                                    << "Ambient Temperature: 0 deg.C";
    QTest::newRow("fraction") << QString(62, u'x') << 23.45f << "-32768"
                              << "Ambient Temperature: 23.45 deg.C";
    QTest::newRow("seven digits") << QString(62, u'x') << -1.0f / 3 << "-32768"
                                  << "Ambient Temperature: -0.3333333 deg.C";
    QTest::newRow("short frame changes nothing") << QString(61, u'x') << 23.0f << "0.00"
                                                 << "Ambient Temperature: ";
    QTest::newRow("long frame changes nothing") << QString(63, u'x') << 23.0f << "0.00"
                                                << "Ambient Temperature: ";
}

void TstFrmCalib::refreshShowsCountsAndAmbient()
{
    QFETCH(QString, frame);
    QFETCH(float, ambient);
    QFETCH(QString, data0);
    QFETCH(QString, amb);
    AcquisitionState state = defaultState();
    CalibWindow w(state);
    state.analogFrame = frame;
    state.ambientTemp = ambient;
    state.rawCounts = {-32768, 0, 150, 151, 26000, 32767, -1, 23000};
    w.window->tick();
    QCOMPARE(w.label(QStringLiteral("lblData0"))->text(), data0);
    QCOMPARE(w.label(QStringLiteral("lblAmb"))->text(), amb);
    if (data0 != QStringLiteral("0.00")) {
        QCOMPARE(w.label(QStringLiteral("lblData5"))->text(), QStringLiteral("32767"));
        QCOMPARE(w.label(QStringLiteral("lblData6"))->text(), QStringLiteral("-1"));
    }
}

void TstFrmCalib::captureHonoursLimits_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("array"); // index into the list of targets below
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("spanIndicator");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<Message>("refusal");

    const QString zero10 = QStringLiteral("cmdCalibrate10V1");
    const QString span10 = QStringLiteral("cmdCalibrate10V0");
    const QString zero200 = QStringLiteral("cmdCalibrate200mV1");
    const QString span200 = QStringLiteral("cmdCalibrate200mV0");
    const QString rtd = QStringLiteral("cmdCalibrateRTD");
    QTest::newRow("0V at 150") << zero10 << 150 << 0 << true << false << Blue << TooHigh;
    QTest::newRow("0V at 151") << zero10 << 151 << 0 << false << false << Blue << TooHigh;
    QTest::newRow("0V at -32768") << zero10 << -32768 << 0 << true << false << Blue << TooHigh;
    QTest::newRow("10V at 26000") << span10 << 26000 << 1 << true << true << Blue << TooLow;
    QTest::newRow("10V at 25999") << span10 << 25999 << 1 << false << true << Blue << TooLow;
    QTest::newRow("10V at 32767") << span10 << 32767 << 1 << true << true << Blue << TooLow;
    QTest::newRow("0mV at 150") << zero200 << 150 << 2 << true << false << Green << TooHigh;
    QTest::newRow("0mV at 151") << zero200 << 151 << 2 << false << false << Green << TooHigh;
    QTest::newRow("200mV at 23000") << span200 << 23000 << 3 << true << true << Green << TooLow;
    QTest::newRow("200mV at 22999") << span200 << 22999 << 3 << false << true << Green << TooLow;
    QTest::newRow("200mV at -5") << span200 << -5 << 3 << false << true << Green << TooLow;
    QTest::newRow("RTD at 0") << rtd << 0 << 4 << true << true << Red << Message();
    QTest::newRow("RTD negative") << rtd << -1234 << 4 << true << true << Red << Message();
    QTest::newRow("RTD at -32768") << rtd << -32768 << 4 << true << true << Red << Message();
}

void TstFrmCalib::captureHonoursLimits()
{
    QFETCH(QString, button);
    QFETCH(int, count);
    QFETCH(int, array);
    QFETCH(bool, accepted);
    QFETCH(bool, spanIndicator);
    QFETCH(QColor, colour);
    QFETCH(Message, refusal);
    const std::array<CountArray, 5> targets
        = {&AcquisitionState::zero10V, &AcquisitionState::span10V, &AcquisitionState::zero200mV,
            &AcquisitionState::span200mV, &AcquisitionState::rtdCal};

    AcquisitionState state = defaultState();
    CalibWindow w(state);
    w.selectOnly({5});
    state.rawCounts.fill(100); // unticked channels would be accepted by a zero capture
    state.rawCounts[5] = Integer(count);
    w.click(button);

    const AcquisitionState untouched = defaultState();
    for (int t = 0; t < 5; ++t) {
        for (int i = 0; i < 8; ++i) {
            const bool changes = t == array && i == 5 && accepted;
            QCOMPARE((state.*targets[t])[i], changes ? Integer(count) : (untouched.*targets[t])[i]);
        }
    }
    QCOMPARE(w.messages(Title), QList<Message> {accepted ? Stored : refusal});
    for (int i = 0; i < 8; ++i) {
        const bool lit = i == 5 && accepted;
        QCOMPARE(w.span(i), lit && spanIndicator ? colour : Black);
        QCOMPARE(w.zero(i), lit && !spanIndicator ? colour : Black);
    }
}

void TstFrmCalib::refusalDoesNotStopOtherChannels()
{
    AcquisitionState state = defaultState();
    CalibWindow w(state);
    w.selectOnly({1, 4, 6});
    state.rawCounts = {0, 26001, 0, 0, 25000, 0, 32000, 0};
    w.click(QStringLiteral("cmdCalibrate10V0"));

    QCOMPARE(w.messages(Title), (QList<Message> {TooLow, Stored}));
    QCOMPARE(state.span10V[1], 26001);
    QCOMPARE(state.span10V[4], 32000);
    QCOMPARE(state.span10V[6], 32000);
    QCOMPARE(w.span(1), Blue);
    QCOMPARE(w.span(4), Black);
    QCOMPARE(w.span(6), Blue);
}

void TstFrmCalib::noStoredMessageWithoutStore_data()
{
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QList<Message>>("expected");
    QTest::newRow("no channel ticked") << QList<int>() << QList<Message>();
    QTest::newRow("every ticked channel refused")
        << QList<int> {0, 2, 7} << QList<Message> {TooHigh, TooHigh, TooHigh};
}

void TstFrmCalib::noStoredMessageWithoutStore()
{
    QFETCH(QList<int>, ticked);
    QFETCH(QList<Message>, expected);
    AcquisitionState state = defaultState();
    CalibWindow w(state);
    w.selectOnly(ticked);
    state.rawCounts.fill(151);
    w.click(QStringLiteral("cmdCalibrate200mV1"));
    QCOMPARE(w.messages(Title), expected);
    QCOMPARE(state.zero200mV, defaultState().zero200mV);
}

void TstFrmCalib::indicatorsResetOnReopening()
{
    AcquisitionState state = defaultState();
    {
        CalibWindow w(state);
        w.selectOnly({3});
        state.rawCounts[3] = 0;
        w.click(QStringLiteral("cmdCalibrate200mV1"));
        state.rawCounts[3] = 24000;
        w.click(QStringLiteral("cmdCalibrate200mV0"));
        QCOMPARE(w.zero(3), Green);
        QCOMPARE(w.span(3), Green);
    }
    CalibWindow again(state);
    QCOMPARE(again.zero(3), Black);
    QCOMPARE(again.span(3), Black);
    QVERIFY(again.selected(3)->isChecked() && again.selected(0)->isChecked());
    QCOMPARE(state.zero200mV[3], 0);
    QCOMPARE(state.span200mV[3], 24000);
}

void TstFrmCalib::exportThenImportThroughDialogs()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cal.txt"));
    AcquisitionState source = defaultState();
    for (int i = 0; i < 8; ++i) {
        source.zero10V[i] = Integer(-100 - i);
        source.span200mV[i] = Integer(23000 + i);
    }
    CalibWindow exporter(source);
    exporter.selectOnly({}); // export covers every channel whatever is ticked
    exporter.prompts.queueFile(path);
    exporter.click(QStringLiteral("cmdExport"));
    QVERIFY(exporter.prompts.shown.isEmpty());
    QVERIFY(exporter.prompts.fileRequests[0].filter.isEmpty());
    QVERIFY(exporter.prompts.fileRequests[0].defaultSuffix.isEmpty());

    AcquisitionState target = defaultState();
    CalibWindow importer(target);
    importer.prompts.queueFile(path);
    importer.click(QStringLiteral("cmdImport"));
    QCOMPARE(importer.messages(QStringLiteral("File Import")),
        QList<Message> {Message(
            QStringLiteral("Calibration File inported successfully."), PromptIcon::Information)});
    QCOMPARE(target.zero10V, source.zero10V);
    QCOMPARE(target.span200mV, source.span200mV);
    QCOMPARE(importer.span(0), Black); // an import colours no indicator
}

void TstFrmCalib::importMessagesAndSilences_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<Message>>("expected");
    QTest::newRow("wrong case") << QByteArray("\"tarvane2020 ver.1.1 calib file\"\r\n1\r\n")
                                << QList<Message> {
                                       Message(QStringLiteral("Incompatible Calibration File!"),
                                           PromptIcon::Error)};
    QTest::newRow("twenty counts: silence")
        << QByteArray("\"Tarvane2020 ver.1.1 Calib File\"\r\n") + QByteArray("7\r\n").repeated(20)
        << QList<Message>();
}

void TstFrmCalib::importMessagesAndSilences()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<Message>, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.cal"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    AcquisitionState state = defaultState();
    CalibWindow w(state);
    w.prompts.queueFile(path);
    w.click(QStringLiteral("cmdImport"));
    w.prompts.queueFile(std::nullopt); // a cancelled import says nothing either
    w.click(QStringLiteral("cmdImport"));
    w.prompts.queueFile(dir.filePath(QStringLiteral("none.cal"))); // nor a missing file
    w.click(QStringLiteral("cmdImport"));
    QCOMPARE(w.messages(QStringLiteral("File Import")), expected);
}

void TstFrmCalib::closeButtonClosesSubWindow()
{
    AcquisitionState state = defaultState();
    ScriptedPrompts prompts;
    QMdiArea area;
    auto *calib = new FrmCalib(state, prompts);
    QPointer<QMdiSubWindow> frame = area.addSubWindow(calib);
    area.show();
    QVERIFY(frame->isVisible());
    QTest::mouseClick(calib->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
    QVERIFY(frame.isNull() || !frame->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(frame.isNull(), "the sub-window is discarded when closed");
}

QTEST_MAIN(TstFrmCalib)
#include "tst_frmcalib.moc"
