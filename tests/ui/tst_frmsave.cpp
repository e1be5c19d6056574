#include "support/logrig.h"
#include "support/testfiles.h"
#include "ui/logging/frmsave.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QtTest>

// What the dialog adds to the logger; the line formats belong to tst_logger.

using namespace tarv;
using core::False;
using core::True;

class TestFrmSave : public QObject
{
    Q_OBJECT

private slots:
    // Shown, edited, then OK, Cancel, or OK with a double quote typed last. Values only
    // a hand-edited file holds leave the design selections. OK stores what was typed,
    // then checks it: a refusal shows one message and keeps the dialog open; only an
    // empty file name stops logging. A double quote would end a text early when the
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
        const QList<int> stored {2, 300, 2, 300}; // 300: the last interval offered
        row("accepted", "log.csv", 3, stored, "cmdOK", "", info);
        row("hand-edited, above the lists", "log.csv", 3, {5, 301, 1, 1}, "cmdOK", "", info);
        row("empty file name", "", 3, stored, "cmdOK",
            "File Name Error: File name cannot be left empty", error);
        row("the only channel has no details: no header column", "log.csv", 0, stored, "cmdOK",
            "Saving Error: No channels for saving selected!", info);
        row("header cannot be written", "missing/log.csv", 3, stored, "cmdOK",
            "Saving Error: The log file \"", error);
        row("double quote in a channel's details", "log.csv", 3, stored, "txtChannel5",
            "Save: The details of Channel 5 cannot contain a double quote", error);
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
        testsupport::LogRig rig;
        core::AcquisitionState &s = rig.state;
        if (channel >= 0)
            s.saveEnable[channel] = True;
        s.saveFileName = rig.path(QStringLiteral("old.csv"));
        s.separatorMode = core::Integer(shown[0]);
        s.saveInterval = core::Integer(shown[1]);
        s.savingActive = True;
        ui::FrmSave dialog(s, rig.logger, rig.prompts);
        dialog.show();
        const auto text = [&](const QString &name) {
            return testsupport::namedChild<QLineEdit>(dialog, qPrintable(name));
        };
        // Clicked near its left edge: a Qt option reacts only on its indicator and text.
        const auto click = [&](const QString &name) {
            auto *button = testsupport::namedChild<QAbstractButton>(dialog, qPrintable(name));
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        };
        const auto settings = [&] {
            return QVariantList {s.saveFileName, s.useChannelHeaders, s.separatorMode,
                s.saveIntervalUnit, s.saveInterval, s.stampMode, s.channelNames[0],
                s.channelNames[3]};
        };
        const QVariantList before = settings();
        const QString path = file.isEmpty() ? file : rig.path(file);
        text("txtFile")->setText(path);
        text("txtChannel3")->setText(QStringLiteral("Flow, l/min"));
        text("txtChannel0")->clear();
        for (const char *name : {"chkHeaders", "optHour", "optSN"})
            click(name);
        const bool quote = action.startsWith("txt");
        if (quote)
            text(action)->setText(QStringLiteral("say \"hi\""));
        click(quote ? QStringLiteral("cmdOK") : action);

        const bool stored = action == "cmdOK", accepted = stored && message.isEmpty();
        QCOMPARE(settings(),
            (stored ? QVariantList {path, False, shown[2], 3, shown[3], 1, "", "Flow, l/min"}
                    : before));
        QCOMPARE(s.savingActive, core::toFlag(!(stored && file.isEmpty())));
        QCOMPARE(dialog.result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(dialog.isVisible(), !message.isEmpty());
        QCOMPARE(rig.prompts.shown.size(), int(!message.isEmpty()));
        for (const auto &p : rig.prompts.shown)
            QVERIFY2((p.title + ": " + p.text).startsWith(message) && p.icon == icon,
                qPrintable(p.text));
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files),
            accepted ? QStringList {"log.csv"} : QStringList());
    }
};

QTEST_MAIN(TestFrmSave)
#include "tst_frmsave.moc"
