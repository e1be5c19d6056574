#include "logging/frmsave.h"
#include "support/logrig.h"
#include "support/testfiles.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QtTest>

// What the dialog adds to the logger: showing and storing the settings, refusing
// bad input, starting logging. The line formats belong to tst_logger.

using namespace tarv;
using core::False;
using core::True;

namespace {

// A dialog over a logger rig, opened once the test has set the state up.
struct DialogRig : testsupport::LogRig
{
    std::optional<logging::FrmSave> dialog;

    void open()
    {
        dialog.emplace(state, logger, prompts);
        dialog->show();
    }
    QLineEdit *text(const char *name) { return testsupport::namedChild<QLineEdit>(*dialog, name); }
    // Clicked near its left edge: a Qt option reacts only on its indicator and text.
    void click(const char *name)
    {
        auto *button = testsupport::namedChild<QAbstractButton>(*dialog, name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    QVariantList settings() const
    {
        return {state.saveFileName, state.useChannelHeaders, state.separatorMode,
            state.saveIntervalUnit, state.saveInterval, state.stampMode, state.channelNames[0],
            state.channelNames[3]};
    }
};

} // namespace

class TestFrmSave : public QObject
{
    Q_OBJECT

private slots:
    // The dialog shows the stored settings, is edited, then OK, Cancel, or OK with a
    // double quote typed last. Values only a hand-edited settings file holds leave
    // the design selections. OK stores what was typed before checking it; each
    // refusal shows one message and keeps the dialog open, and only an empty file
    // name switches logging off. A double quote would end a text early when the
    // settings file is read back, so it is refused before anything is stored.
    void okOrCancel_data()
    {
        QTest::addColumn<QString>("file"); // in the rig's folder; empty for none
        QTest::addColumn<int>("channel"); // the one enabled for saving, -1 for none
        QTest::addColumn<QList<int>>("shown"); // separator and interval: stored, then shown
        QTest::addColumn<QString>("action"); // a button, or the text given a quote
        QTest::addColumn<QString>("message"); // title: start of the text; empty: none
        QTest::addColumn<core::PromptIcon>("icon");
        const auto error = core::PromptIcon::Error, info = core::PromptIcon::Information;
        const auto row = [](const char *name, const char *file, int channel, QList<int> shown,
                             const char *action, const char *message, core::PromptIcon icon) {
            QTest::newRow(name) << file << channel << shown << action << message << icon;
        };
        const QList<int> stored {2, 17, 2, 17};
        row("accepted", "log.csv", 3, stored, "cmdOK", "", info);
        row("accepted, the last of each list", "log.csv", 3, {3, 300, 3, 300}, "cmdOK", "", info);
        row("hand-edited zeros", "log.csv", 3, {0, 0, 1, 1}, "cmdOK", "", info);
        row("hand-edited, above the lists", "log.csv", 3, {5, 301, 1, 1}, "cmdOK", "", info);
        row("empty file name", "", 3, stored, "cmdOK",
            "File Name Error: File name cannot be left empty", error);
        // The header would hold no channel name.
        row("only channel without details", "log.csv", 0, stored, "cmdOK",
            "Saving Error: No channels for saving selected!", info);
        row("header cannot be written", "missing/log.csv", 3, stored, "cmdOK",
            "Saving Error: The log file \"", error);
        row("double quote in a channel's details", "log.csv", 3, stored, "txtChannel5",
            "Save: The details of Channel 5 cannot contain a double quote (\"). Nothing has been "
            "changed.",
            error);
        row("Cancel", "log.csv", 3, stored, "cmdCancel", "", error);
    }
    void okOrCancel()
    {
        QFETCH(QString, file);
        QFETCH(int, channel);
        QFETCH(QList<int>, shown);
        QFETCH(QString, action);
        QFETCH(QString, message);
        QFETCH(core::PromptIcon, icon);
        DialogRig rig;
        if (channel >= 0)
            rig.state.saveEnable[channel] = True;
        rig.state.saveFileName = rig.path(QStringLiteral("old.csv"));
        rig.state.separatorMode = core::Integer(shown[0]);
        rig.state.saveInterval = core::Integer(shown[1]);
        rig.state.savingActive = True;
        rig.open();
        const QVariantList before = rig.settings();
        const QString path = file.isEmpty() ? file : rig.path(file);
        rig.text("txtFile")->setText(path);
        rig.text("txtChannel3")->setText(QStringLiteral("Flow, l/min"));
        rig.text("txtChannel0")->clear();
        for (const char *name : {"chkHeaders", "optHour", "optSN"})
            rig.click(name);
        const bool quote = action.startsWith("txt");
        if (quote)
            rig.text(qPrintable(action))->setText(QStringLiteral("say \"hi\""));
        rig.click(quote ? "cmdOK" : qPrintable(action));

        const bool stored = action == QLatin1String("cmdOK"),
                   accepted = stored && message.isEmpty();
        QCOMPARE(rig.settings(),
            (stored ? QVariantList {path, False, shown[2], 3, shown[3], 1, "", "Flow, l/min"}
                    : before));
        QCOMPARE(rig.state.savingActive, core::toFlag(!(stored && file.isEmpty())));
        QCOMPARE(rig.dialog->result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(rig.dialog->isVisible(), !message.isEmpty());
        QCOMPARE(rig.prompts.shown.size(), message.isEmpty() ? 0 : 1);
        for (const auto &prompt : rig.prompts.shown) {
            QVERIFY2(
                (prompt.title + ": " + prompt.text).startsWith(message), qPrintable(prompt.text));
            QCOMPARE(prompt.icon, icon);
        }
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files),
            accepted ? QStringList {"log.csv"} : QStringList());
    }
};

QTEST_MAIN(TestFrmSave)
#include "tst_frmsave.moc"
