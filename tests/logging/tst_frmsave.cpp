#include "logging/frmsave.h"
#include "support/logrig.h"
#include "support/testfiles.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QtTest>

// The line formats belong to tst_logger; these tests cover what the dialog adds:
// loading and storing the settings, refusing bad input, and starting logging.

using namespace tarv;
using core::False;
using core::True;

namespace {

// A dialog over a logger rig, opened once the test has set the state up and shown
// (offscreen) so clicks reach it.
struct DialogRig : testsupport::LogRig
{
    std::optional<logging::FrmSave> dialog;

    void open()
    {
        dialog.emplace(state, logger, prompts);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*dialog));
    }
    template<typename T = QLineEdit> T *control(const char *name)
    {
        return testsupport::namedChild<T>(*dialog, name);
    }
    // Clicked near its left edge: a Qt option reacts only on its indicator and text.
    void click(const char *name)
    {
        auto *button = control<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    // The stored settings besides savingActive, in one comparable value.
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
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // The dialog shows the settings as stored, and OK keeps them and starts logging;
    // values only a hand-edited settings file holds leave the design selections.
    // Select offers the system's file chooser; cancelling it keeps the name shown.
    void okKeepsTheShownSettings_data()
    {
        QTest::addColumn<int>("mode"); // separator, unit and stamp alike
        QTest::addColumn<int>("interval");
        QTest::addColumn<QVariantList>("shown"); // separator, unit, interval, stamp
        QTest::newRow("stored values") << 2 << 300 << QVariantList {2, 2, 300, 2};
        QTest::newRow("zero") << 0 << 0 << QVariantList {1, 1, 1, 3};
        QTest::newRow("above the tables") << 5 << 301 << QVariantList {1, 1, 1, 3};
    }
    void okKeepsTheShownSettings()
    {
        QFETCH(int, mode);
        QFETCH(int, interval);
        QFETCH(QVariantList, shown);
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.useChannelHeaders = False;
        rig.state.separatorMode = rig.state.saveIntervalUnit = rig.state.stampMode
            = core::Integer(mode);
        rig.state.saveInterval = core::Integer(interval);
        rig.state.channelNames[3] = QStringLiteral("Oven");
        rig.open();
        const QString chosen = rig.path(QStringLiteral("chosen.csv"));
        rig.prompts.queueFile(std::nullopt);
        rig.prompts.queueFile(chosen);
        rig.click("cmdSelect");
        QCOMPARE(rig.control("txtFile")->text(), rig.state.saveFileName);
        rig.click("cmdSelect");
        rig.click("cmdOK");

        QVERIFY(rig.prompts.shown.isEmpty());
        QCOMPARE(rig.dialog->result(), int(QDialog::Accepted));
        QVERIFY(!rig.dialog->isVisible());
        QCOMPARE(rig.state.savingActive, True);
        QCOMPARE(rig.settings(),
            (QVariantList({chosen, False}) + shown + QVariantList {"Channel 0", "Oven"}));
    }

    // Everything is edited, then OK, Cancel, or OK with a double quote typed last. OK
    // stores what was typed before checking it; each refusal shows one message and
    // keeps the dialog open, and only an empty file name switches logging off. A
    // double quote would end a text early when the settings file is read back, so it
    // is refused before anything is stored; Cancel stores nothing either.
    void refusedOrDiscarded_data()
    {
        QTest::addColumn<QString>("file"); // in the rig's folder; empty for none
        QTest::addColumn<int>("channel"); // the one enabled for saving, -1 for none
        QTest::addColumn<QString>("action"); // a button, or the text given a quote
        QTest::addColumn<QString>("message"); // its start; empty: no message
        QTest::addColumn<QString>("title");
        QTest::addColumn<core::PromptIcon>("icon");
        const auto row = [](const char *name, const char *file, int channel, const char *action,
                             const char *message, const char *title, core::PromptIcon icon) {
            QTest::newRow(name) << file << channel << action << message << title << icon;
        };
        const auto error = core::PromptIcon::Error, info = core::PromptIcon::Information;
        const char *noChannels = "No channels for saving selected!";
        row("empty file name", "", 3, "cmdOK", "File name cannot be left empty", "File Name Error",
            error);
        row("no channel enabled", "log.csv", -1, "cmdOK", noChannels, "Saving Error", info);
        // The header would hold no channel name: refused the same way.
        row("only channel without details", "log.csv", 0, "cmdOK", noChannels, "Saving Error",
            info);
        row("header cannot be written", "missing/log.csv", 3, "cmdOK", "The log file \"",
            "Saving Error", error);
        row("double quote in the file name", "log.csv", 3, "txtFile",
            "The file name cannot contain a double quote (\"). Nothing has been changed.", "Save",
            error);
        row("double quote in a channel's details", "log.csv", 3, "txtChannel5",
            "The details of Channel 5 cannot contain a double quote (\"). Nothing has been "
            "changed.",
            "Save", error);
        row("Cancel", "log.csv", 3, "cmdCancel", "", "", error);
    }
    void refusedOrDiscarded()
    {
        QFETCH(QString, file);
        QFETCH(int, channel);
        QFETCH(QString, action);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(core::PromptIcon, icon);
        DialogRig rig;
        if (channel >= 0)
            rig.state.saveEnable[channel] = True;
        rig.state.saveFileName = rig.path(QStringLiteral("old.csv"));
        rig.state.savingActive = True;
        rig.open();
        const QVariantList before = rig.settings();
        const QString path = file.isEmpty() ? file : rig.path(file);
        rig.control("txtFile")->setText(path);
        rig.control("txtChannel3")->setText(QStringLiteral("Flow, l/min"));
        rig.control("txtChannel0")->clear();
        for (const char *name : {"chkHeaders", "optTSV", "optHour", "optSN"})
            rig.click(name);
        rig.control<QComboBox>("cmbIntv")->setCurrentIndex(299);
        const bool quote = action.startsWith("txt");
        if (quote)
            rig.control(qPrintable(action))->setText(QStringLiteral("say \"hi\""));
        rig.click(quote ? "cmdOK" : qPrintable(action));

        const bool stored = action == QLatin1String("cmdOK");
        QCOMPARE(rig.settings(),
            (stored ? QVariantList {path, False, 2, 3, 300, 1, "", "Flow, l/min"} : before));
        QCOMPARE(rig.state.savingActive, core::toFlag(!(stored && file.isEmpty())));
        QCOMPARE(rig.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(rig.dialog->isVisible(), !message.isEmpty());
        QCOMPARE(rig.prompts.shown.size(), message.isEmpty() ? 0 : 1);
        for (const auto &shown : rig.prompts.shown) {
            QVERIFY2(shown.text.startsWith(message), qPrintable(shown.text));
            QCOMPARE(shown.title, title);
            QCOMPARE(shown.icon, icon);
        }
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestFrmSave)
#include "tst_frmsave.moc"
