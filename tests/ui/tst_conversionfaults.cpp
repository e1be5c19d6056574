#include "link/cardlink.h"
#include "support/mainwindowrig.h"
#include "ui/main/mdidaq.h"
#include "ui/uitexts.h"

#include <QTest>

#include <functional>

using tarv::core::FileDialogOptions;
using tarv::core::PromptIcon;
using Frames = QList<QList<int>>; // per frame, the channels that fail to convert

namespace {

// Eight plain counts and an ambient temperature.
const QByteArray AnalogFrame = "+01000,+02000,+03000,+04000,+05000,+06000,+07000,+08000,+25.0\r";

// What the operator reads: the fault, then the channel, one line each.
QStringList boxTexts(const Frames &boxes)
{
    QStringList texts;
    for (const QList<int> &channels : boxes) {
        QStringList lines;
        for (int c : channels)
            lines.append(QStringLiteral("Division by zero") + QString::number(c));
        texts.append(lines.join(u'\n'));
    }
    return texts;
}

// Message boxes as they behave in the program, where each runs a nested event
// loop: while the first box is open, `whileOpen` runs (frames keep arriving).
class NestingPrompts final : public tarv::core::Prompts
{
public:
    void message(const QString &text, const QString &title, PromptIcon icon) override
    {
        texts.append(text);
        if (title != tarv::ui::ApplicationTitle || icon != PromptIcon::Error)
            ++wrongTitleOrIcon;
        maxDepth = std::max(maxDepth, ++depth);
        if (whileOpen)
            std::exchange(whileOpen, nullptr)();
        --depth;
    }
    void notify(const QString &, const QString &, PromptIcon) override { }
    std::optional<QString> saveFileName(const FileDialogOptions &) override { return {}; }
    std::optional<QString> openFileName(const FileDialogOptions &) override { return {}; }
    std::optional<std::uint32_t> chooseColor() override { return {}; }

    QStringList texts;
    int wrongTitleOrIcon = 0;
    std::function<void()> whileOpen;
    int depth = 0;
    int maxDepth = 0;
};

} // namespace

class TestConversionFaults : public QObject
{
    Q_OBJECT

private slots:
    void boxOncePerChangeOneAtATime_data();
    void boxOncePerChangeOneAtATime();
};

void TestConversionFaults::boxOncePerChangeOneAtATime_data()
{
    // The first frame fails on channel 2 and opens a box; then come the frames that
    // arrive while it is open, and those that arrive after it was answered.
    QTest::addColumn<Frames>("underTheBox");
    QTest::addColumn<Frames>("afterwards");
    QTest::addColumn<Frames>("boxes");
    QTest::newRow("same, then a new set")
        << Frames {} << Frames {{2}, {2, 5}, {2, 5}} << Frames {{2}, {2, 5}};
    // A clean frame forgets what was shown: the fault coming back is news again.
    QTest::newRow("clean, then back") << Frames {} << Frames {{}, {2}} << Frames {{2}, {2}};
    // Only the set standing when the box closes is shown, and only if it is new.
    QTest::newRow("changed under the box")
        << Frames {{2, 5}, {5}} << Frames {{5}} << Frames {{2}, {5}};
    QTest::newRow("changed and back") << Frames {{5}, {2}} << Frames {} << Frames {{2}};
    QTest::newRow("cleared") << Frames {{}} << Frames {} << Frames {{2}};
    QTest::newRow("cleared and back") << Frames {{}, {2}} << Frames {} << Frames {{2}, {2}};
}

void TestConversionFaults::boxOncePerChangeOneAtATime()
{
    QFETCH(Frames, underTheBox);
    QFETCH(Frames, afterwards);
    QFETCH(Frames, boxes);
    tarv::testsupport::MainWindowRig rig;
    NestingPrompts prompts;
    tarv::ui::MdiDaq &window = rig.make(prompts);
    window.link().attachDevice(&rig.line);
    // Every +/-10 V channel is calibrated but the failing ones, whose span is their zero.
    auto feed = [&rig](const Frames &frames) {
        for (const QList<int> &failing : frames) {
            for (int c = 0; c < tarv::core::ChannelCount; ++c) {
                rig.state.inputType[c] = 0;
                rig.state.zero10V[c] = 100;
                rig.state.span10V[c] = failing.contains(c) ? 100 : 27100;
            }
            rig.line.feed(AnalogFrame);
        }
    };
    prompts.whileOpen = [&] { feed(underTheBox); };

    feed({{2}});
    feed(afterwards);
    QCOMPARE(prompts.texts, boxTexts(boxes));
    QCOMPARE(prompts.wrongTitleOrIcon, 0);
    QCOMPARE(prompts.maxDepth, 1);
    // Frames are handled under the box too: none is lost.
    QCOMPARE(window.link().counters().analogAccepted,
        quint64(1 + underTheBox.size() + afterwards.size()));
}

QTEST_MAIN(TestConversionFaults)
#include "tst_conversionfaults.moc"
