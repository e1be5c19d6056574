#include "link/cardlink.h"
#include "support/mainwindowrig.h"
#include "ui/main/mdidaq.h"
#include "ui/uitexts.h"

#include <QTest>

#include <functional>
#include <memory>

using tarv::core::AcquisitionState;
using tarv::core::PromptIcon;
using tarv::link::ChannelFailure;
using tarv::link::ConversionError;
using tarv::testsupport::MainWindowRig;
using tarv::ui::MdiDaq;

namespace {

// Eight plain counts and an ambient temperature: every channel converts when it is
// calibrated.
const QByteArray AnalogFrame = "+01000,+02000,+03000,+04000,+05000,+06000,+07000,+08000,+25.0\r";

void calibrateAll(AcquisitionState &state)
{
    for (int c = 0; c < tarv::core::ChannelCount; ++c) {
        state.inputType[c] = 0;
        state.zero10V[c] = 100;
        state.span10V[c] = 27100;
    }
}

// An uncalibrated +/-10 V channel divides by a zero span.
void breakChannel(AcquisitionState &state, int channel)
{
    state.zero10V[channel] = state.span10V[channel] = 32000;
}

QString divisionByZero(std::initializer_list<int> channels)
{
    QStringList lines;
    for (int c : channels)
        lines.append(ChannelFailure {c, ConversionError::DivisionByZero}.text());
    return lines.join(u'\n');
}

// Message boxes as they behave in the program, where each runs a nested event
// loop: while a box is open, `whileOpen` runs (frames keep arriving), and the
// nesting depth is recorded.
class NestingPrompts final : public tarv::core::Prompts
{
public:
    void message(const QString &text, const QString &, PromptIcon) override
    {
        texts.append(text);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (whileOpen) {
            auto once = std::exchange(whileOpen, nullptr);
            once();
        }
        --depth;
    }
    void notify(const QString &, const QString &, PromptIcon) override { }
    std::optional<QString> saveFileName(const tarv::core::FileDialogOptions &) override
    {
        return std::nullopt;
    }
    std::optional<QString> openFileName(const tarv::core::FileDialogOptions &) override
    {
        return std::nullopt;
    }
    std::optional<std::uint32_t> chooseColor() override { return std::nullopt; }

    QStringList texts;
    std::function<void()> whileOpen;
    int depth = 0;
    int maxDepth = 0;
};

} // namespace

class TestConversionFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void conversionFaultsShownOncePerSet();
    void conversionBoxNeverStacks_data();
    void conversionBoxNeverStacks();

private:
    std::unique_ptr<MainWindowRig> m_rig;
};

void TestConversionFaults::init()
{
    m_rig = std::make_unique<MainWindowRig>();
    QVERIFY(m_rig->dir.isValid());
}

void TestConversionFaults::cleanup()
{
    m_rig.reset();
}

void TestConversionFaults::conversionFaultsShownOncePerSet()
{
    calibrateAll(m_rig->state);
    breakChannel(m_rig->state, 2);
    MdiDaq &window = m_rig->make();
    window.link().attachDevice(&m_rig->line);
    auto texts = [this] {
        QStringList t;
        for (const auto &shown : m_rig->prompts.shown)
            t.append(shown.text);
        return t;
    };

    for (int i = 0; i < 3; ++i)
        m_rig->line.feed(AnalogFrame);
    QCOMPARE(texts(), QStringList {divisionByZero({2})});
    QCOMPARE(m_rig->prompts.shown.first().title, tarv::ui::ApplicationTitle);
    QCOMPARE(m_rig->prompts.shown.first().icon, PromptIcon::Error);

    breakChannel(m_rig->state, 5);
    m_rig->line.feed(AnalogFrame);
    m_rig->line.feed(AnalogFrame);
    QCOMPARE(texts(), (QStringList {divisionByZero({2}), divisionByZero({2, 5})}));

    // A clean frame forgets what was shown: the fault coming back is news again.
    calibrateAll(m_rig->state);
    m_rig->line.feed(AnalogFrame);
    QCOMPARE(m_rig->prompts.shown.size(), 2);
    breakChannel(m_rig->state, 2);
    m_rig->line.feed(AnalogFrame);
    QCOMPARE(texts().size(), 3);
    QCOMPARE(texts().last(), divisionByZero({2}));
    QCOMPARE(window.link().counters().analogAccepted, quint64(7));
}

void TestConversionFaults::conversionBoxNeverStacks_data()
{
    // What arrives while the first box (channel 2 failing) is open, and the boxes
    // that must have been shown once everything settled.
    QTest::addColumn<QList<QList<int>>>("underTheBox");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("unchanged") << QList<QList<int>> {{2}, {2}} << QStringList {divisionByZero({2})};
    QTest::newRow("changed") << QList<QList<int>> {{2, 5}, {5}}
                             << QStringList {divisionByZero({2}), divisionByZero({5})};
    QTest::newRow("changed and back")
        << QList<QList<int>> {{5}, {2}} << QStringList {divisionByZero({2})};
    QTest::newRow("cleared") << QList<QList<int>> {{}} << QStringList {divisionByZero({2})};
    QTest::newRow("cleared and back")
        << QList<QList<int>> {{}, {2}} << QStringList {divisionByZero({2}), divisionByZero({2})};
}

void TestConversionFaults::conversionBoxNeverStacks()
{
    QFETCH(QList<QList<int>>, underTheBox);
    QFETCH(QStringList, expected);
    calibrateAll(m_rig->state);
    breakChannel(m_rig->state, 2);
    NestingPrompts prompts;
    MdiDaq &window = m_rig->make(prompts);
    window.link().attachDevice(&m_rig->line);
    prompts.whileOpen = [&] {
        for (const QList<int> &failing : underTheBox) {
            calibrateAll(m_rig->state);
            for (int c : failing)
                breakChannel(m_rig->state, c);
            m_rig->line.feed(AnalogFrame);
        }
    };

    m_rig->line.feed(AnalogFrame);
    QCOMPARE(prompts.texts, expected);
    QCOMPARE(prompts.maxDepth, 1);
    QCOMPARE(window.link().counters().analogAccepted, quint64(1 + underTheBox.size()));
}

QTEST_MAIN(TestConversionFaults)
#include "tst_conversionfaults.moc"
