#include "core/acquisitionstate.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"
#include "ui/config/frmcalib.h"
#include "ui/filledshape.h"

#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

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
    FrmCalib window;

    explicit CalibWindow(AcquisitionState &state)
        : window(state, prompts)
    { }

    template<typename T> T *child(const char *name, int index = -1) const
    {
        return tarv::testsupport::namedChild<T>(window, name, index);
    }
    QString text(const char *label, int index = -1) const
    {
        return child<QLabel>(label, index)->text();
    }
    QCheckBox *selected(int i) const { return child<QCheckBox>("chkSel", i); }
    QColor zero(int i) const { return child<FilledShape>("shpZero", i)->fillColor(); }
    QColor span(int i) const { return child<FilledShape>("shpSpan", i)->fillColor(); }
    void click(const char *button) const
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void selectOnly(const QList<int> &channels) const
    {
        for (int i = 0; i < 8; ++i)
            selected(i)->setChecked(channels.contains(i));
    }
    // Every message shown, each checked to be a modal box titled `title`.
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

} // namespace

class TstFrmCalib : public QObject
{
    Q_OBJECT

private slots:
    void refreshOnlyOnCompleteFrames();
    void captureHonoursLimits_data();
    void captureHonoursLimits();
    void messagesFollowTickedChannels_data();
    void messagesFollowTickedChannels();
    void exportAndImportThroughDialogs();
    void closeButtonClosesSubWindow();
};

void TstFrmCalib::refreshOnlyOnCompleteFrames()
{
    AcquisitionState state = defaultState();
    CalibWindow w(state);
    auto *timer = w.child<QTimer>("tmrUpdate");
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);

    // Only a frame of 62 characters has fresh counts; the start-up frame is one.
    state.rawCounts = {-32768, 0, 150, 151, 26000, 32767, -1, 23000};
    w.window.tick();
    QCOMPARE(w.text("lblData", 0), QStringLiteral("-32768"));
    QCOMPARE(w.text("lblData", 7), QStringLiteral("23000"));
    QCOMPARE(w.text("lblAmb"), QStringLiteral("Ambient Temperature: 0 deg.C"));

    state.rawCounts[0] = 5;
    state.ambientTemp = 23.45f;
    for (const int length : {61, 63}) {
        state.analogFrame = QString(length, u'x');
        w.window.tick();
        QCOMPARE(w.text("lblData", 0), QStringLiteral("-32768"));
    }
    state.analogFrame = QString(62, u'x');
    w.window.tick();
    QCOMPARE(w.text("lblData", 0), QStringLiteral("5"));
    QCOMPARE(w.text("lblAmb"), QStringLiteral("Ambient Temperature: 23.45 deg.C"));
}

void TstFrmCalib::captureHonoursLimits_data()
{
    // Targets 0 and 1 are zero points, refused as too high and shown on the zero
    // indicator; the rest are spans, refused as too low and shown on the span one.
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QColor>("colour");

    const QByteArray zero10 = "cmdCalibrate10V1";
    const QByteArray span10 = "cmdCalibrate10V0";
    const QByteArray zero200 = "cmdCalibrate200mV1";
    const QByteArray span200 = "cmdCalibrate200mV0";
    QTest::newRow("0V at 150") << zero10 << 150 << 0 << true << Blue;
    QTest::newRow("0V at 151") << zero10 << 151 << 0 << false << Blue;
    QTest::newRow("0mV at 150") << zero200 << 150 << 1 << true << Green;
    QTest::newRow("10V at 26000") << span10 << 26000 << 2 << true << Blue;
    QTest::newRow("10V at 25999") << span10 << 25999 << 2 << false << Blue;
    QTest::newRow("200mV at 23000") << span200 << 23000 << 3 << true << Green;
    QTest::newRow("200mV at 22999") << span200 << 22999 << 3 << false << Green;
    QTest::newRow("RTD takes any count")
        << QByteArray("cmdCalibrateRTD") << -32768 << 4 << true << QColor(255, 0, 0);
}

void TstFrmCalib::captureHonoursLimits()
{
    QFETCH(QByteArray, button);
    QFETCH(int, count);
    QFETCH(int, target);
    QFETCH(bool, accepted);
    QFETCH(QColor, colour);
    const std::array<CountArray, 5> targets
        = {&AcquisitionState::zero10V, &AcquisitionState::zero200mV, &AcquisitionState::span10V,
            &AcquisitionState::span200mV, &AcquisitionState::rtdCal};

    AcquisitionState state = defaultState();
    CalibWindow w(state);
    w.selectOnly({5});
    state.rawCounts.fill(100); // unticked channels would be accepted by a zero capture
    state.rawCounts[5] = Integer(count);
    w.click(button.constData());

    const AcquisitionState untouched = defaultState();
    for (int t = 0; t < 5; ++t) {
        for (int i = 0; i < 8; ++i) {
            const bool changes = t == target && i == 5 && accepted;
            QCOMPARE((state.*targets[t])[i], changes ? Integer(count) : (untouched.*targets[t])[i]);
        }
    }
    QCOMPARE(w.messages(Title), QList<Message> {accepted ? Stored : target < 2 ? TooHigh : TooLow});
    for (int i = 0; i < 8; ++i) {
        const bool lit = i == 5 && accepted;
        QCOMPARE(w.span(i), lit && target >= 2 ? colour : Black);
        QCOMPARE(w.zero(i), lit && target < 2 ? colour : Black);
    }

    // Opened again, the window starts dark with every channel ticked.
    CalibWindow again(state);
    QCOMPARE(again.zero(5), Black);
    QCOMPARE(again.span(5), Black);
    QVERIFY(again.selected(5)->isChecked() && again.selected(0)->isChecked());
}

void TstFrmCalib::messagesFollowTickedChannels_data()
{
    // Channels 1 and 6 read a full 10 V span, the others too little.
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QList<Message>>("expected");
    QTest::newRow("a refusal does not stop later channels")
        << QList<int> {1, 4, 6} << QList<Message> {TooLow, Stored};
    QTest::newRow("every ticked channel refused: no stored message")
        << QList<int> {0, 2, 7} << QList<Message> {TooLow, TooLow, TooLow};
}

void TstFrmCalib::messagesFollowTickedChannels()
{
    QFETCH(QList<int>, ticked);
    QFETCH(QList<Message>, expected);
    AcquisitionState state = defaultState();
    CalibWindow w(state);
    w.selectOnly(ticked);
    state.rawCounts = {0, 26001, 0, 0, 25000, 0, 32000, 0};
    w.click("cmdCalibrate10V0");

    QCOMPARE(w.messages(Title), expected);
    for (int i = 0; i < 8; ++i) {
        const bool taken = ticked.contains(i) && state.rawCounts[i] >= 26000;
        QCOMPARE(state.span10V[i], taken ? state.rawCounts[i] : Integer(32000));
        QCOMPARE(w.span(i), taken ? Blue : Black);
    }
}

void TstFrmCalib::exportAndImportThroughDialogs()
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
    exporter.click("cmdExport");
    QVERIFY(exporter.prompts.shown.isEmpty());
    // No filter and no default extension: the operator names the file freely.
    QCOMPARE(exporter.prompts.fileRequests.size(), 1);
    QVERIFY(exporter.prompts.fileRequests[0].filter.isEmpty());
    QVERIFY(exporter.prompts.fileRequests[0].defaultSuffix.isEmpty());

    // Only a complete or an incompatible file says anything; a cancel, a missing
    // file or a cut-off one end silently.
    AcquisitionState target = defaultState();
    CalibWindow importer(target);
    auto scratch = [&dir](const QByteArray &bytes) {
        return tarv::testsupport::scratchFile(dir, bytes, QStringLiteral(".cal"));
    };
    importer.prompts.queueFile(scratch("\"tarvane2020 ver.1.1 calib file\"\r\n1\r\n"));
    importer.prompts.queueFile(std::nullopt);
    importer.prompts.queueFile(dir.filePath(QStringLiteral("none.cal")));
    importer.prompts.queueFile(scratch("\"Tarvane2020 ver.1.1 Calib File\"\r\n7\r\n"));
    importer.prompts.queueFile(path);
    for (int i = 0; i < 5; ++i)
        importer.click("cmdImport");
    QCOMPARE(importer.messages(QStringLiteral("File Import")),
        (QList<Message> {
            Message(QStringLiteral("Incompatible Calibration File!"), PromptIcon::Error),
            Message(QStringLiteral("Calibration File inported successfully."),
                PromptIcon::Information)}));
    QCOMPARE(target.zero10V, source.zero10V);
    QCOMPARE(target.span200mV, source.span200mV);
    QCOMPARE(importer.span(0), Black); // an import colours no indicator
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
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(frame.isNull(), "the sub-window is closed and discarded");
}

QTEST_MAIN(TstFrmCalib)
#include "tst_frmcalib.moc"
