#include "logging/frmsave.h"
#include "support/logrig.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// The line formats belong to tst_logger; these tests cover what the dialog adds:
// loading and storing the settings, refusing bad input, and starting and stopping.

using namespace tarv;
using core::False;
using core::True;
using testsupport::LogRig;

namespace {

// The logging settings the dialog reads and writes, in one comparable value.
QVariantList settingsOf(const core::AcquisitionState &s)
{
    QVariantList v {s.saveFileName, s.useChannelHeaders, s.separatorMode, s.saveIntervalUnit,
        s.saveInterval, s.stampMode, s.savingActive};
    for (int c = 0; c < core::ChannelCount; ++c)
        v.append(s.channelNames[c]);
    return v;
}

// A dialog over a logger rig, opened once the test has set the state up and shown
// (offscreen) so clicks reach it.
struct DialogRig : LogRig
{
    std::optional<logging::FrmSave> dialog;

    void open()
    {
        dialog.emplace(state, logger, prompts);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*dialog));
    }
    template<typename T = QWidget> T *control(const QString &name)
    {
        T *widget = dialog->findChild<T *>(name);
        if (!widget)
            qFatal("no control named %s", qPrintable(name));
        return widget;
    }
    QLineEdit *text(const QString &name) { return control<QLineEdit>(name); }
    // Clicked near its left edge: a Qt option reacts only on its indicator and text.
    void click(const char *name)
    {
        auto *button = control<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    // Every field changed from the defaults; the file name stays to the caller.
    void editEverything()
    {
        text("txtChannel3")->setText(QStringLiteral("Flow, l/min"));
        text("txtChannel0")->clear();
        for (const char *name : {"chkHeaders", "optTSV", "optHour", "optSN"})
            click(name);
        control<QComboBox>("cmbIntv")->setCurrentIndex(299);
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
    void okKeepsTheShownSettings_data()
    {
        QTest::addColumn<int>("mode"); // separator, unit and stamp alike
        QTest::addColumn<int>("interval");
        QTest::addColumn<QVariantList>("stored"); // separator, unit, interval, stamp
        QTest::newRow("stored values") << 2 << 17 << QVariantList {2, 2, 17, 2};
        QTest::newRow("zero") << 0 << 0 << QVariantList {1, 1, 1, 3};
        QTest::newRow("above the tables") << 5 << 301 << QVariantList {1, 1, 1, 3};
    }
    void okKeepsTheShownSettings()
    {
        QFETCH(int, mode);
        QFETCH(int, interval);
        QFETCH(QVariantList, stored);
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.useChannelHeaders = False;
        rig.state.separatorMode = rig.state.saveIntervalUnit = rig.state.stampMode
            = core::Integer(mode);
        rig.state.saveInterval = core::Integer(interval);
        rig.state.channelNames[6] = QStringLiteral("Oven");
        rig.open();
        rig.click("cmdOK");

        QVERIFY(rig.prompts.shown.isEmpty());
        QCOMPARE(rig.dialog->result(), int(QDialog::Accepted));
        QVERIFY(!rig.dialog->isVisible());
        const core::AcquisitionState &st = rig.state;
        QCOMPARE((QVariantList {st.savingActive, st.saveFileName, st.useChannelHeaders,
                     st.channelNames[6], st.separatorMode, st.saveIntervalUnit, st.saveInterval,
                     st.stampMode}),
            QVariantList({True, rig.path(QStringLiteral("log.csv")), False, "Oven"}) + stored);
    }

    // OK stores what was typed before checking it; each refusal shows one message
    // and keeps the dialog open. Only an empty file name switches logging off.
    void refusedOk_data()
    {
        QTest::addColumn<QString>("file"); // in the rig's folder; empty for none
        QTest::addColumn<int>("channel"); // the one enabled for saving, -1 for none
        QTest::addColumn<QString>("message"); // %1 for the file, then the system's reason
        QTest::addColumn<QString>("title");
        QTest::addColumn<core::PromptIcon>("icon");
        QTest::addColumn<core::Flag>("logging");
        QTest::newRow("empty file name") << "" << 3 << "File name cannot be left empty"
                                         << "File Name Error" << core::PromptIcon::Error << False;
        QTest::newRow("no channel enabled")
            << "log.csv" << -1 << "No channels for saving selected!"
            << "Saving Error" << core::PromptIcon::Information << True;
        // The header would hold no channel name: refused the same way.
        QTest::newRow("only channel without details")
            << "log.csv" << 0 << "No channels for saving selected!"
            << "Saving Error" << core::PromptIcon::Information << True;
        QTest::newRow("header cannot be written")
            << "missing/log.csv" << 3 << "The log file \"%1\" cannot be written: "
            << "Saving Error" << core::PromptIcon::Error << True;
    }
    void refusedOk()
    {
        QFETCH(QString, file);
        QFETCH(int, channel);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(core::PromptIcon, icon);
        QFETCH(core::Flag, logging);
        DialogRig rig;
        if (channel >= 0)
            rig.state.saveEnable[channel] = True;
        rig.state.savingActive = True;
        rig.open();
        rig.editEverything();
        const QString path = file.isEmpty() ? file : rig.path(file);
        rig.text("txtFile")->setText(path);
        rig.click("cmdOK");

        const core::AcquisitionState &st = rig.state;
        QCOMPARE((QVariantList {st.saveFileName, st.channelNames[3], st.channelNames[0],
                     st.useChannelHeaders, st.separatorMode, st.saveIntervalUnit, st.saveInterval,
                     st.stampMode}),
            (QVariantList {path, "Flow, l/min", "", False, 2, 3, 300, 1}));
        QCOMPARE(rig.state.savingActive, logging);
        QCOMPARE(rig.prompts.shown.size(), 1);
        const auto shown = rig.prompts.shown[0];
        if (message.contains("%1"))
            QVERIFY2(shown.text.startsWith(message.arg(QDir::toNativeSeparators(path))),
                qPrintable(shown.text));
        else
            QCOMPARE(shown.text, message);
        QCOMPARE(shown.title, title);
        QCOMPARE(shown.icon, icon);
        QVERIFY(rig.dialog->isVisible());
        QVERIFY(!QFile::exists(rig.path(QStringLiteral("log.csv"))));
    }

    // A double quote would end the text early when the settings file is read back,
    // so it is refused before anything is stored; Cancel and the close box store
    // nothing either.
    void changesDiscarded_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        QTest::newRow("double quote in the file name")
            << "txtFile"
            << "The file name cannot contain a double quote (\"). Nothing has been changed.";
        QTest::newRow("double quote in a channel's details")
            << "txtChannel5"
            << "The details of Channel 5 cannot contain a double quote (\"). Nothing has been "
               "changed.";
        QTest::newRow("Cancel") << "cmdCancel" << QString();
        QTest::newRow("window closed") << "close" << QString();
    }
    void changesDiscarded()
    {
        QFETCH(QString, action);
        QFETCH(QString, message);
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        rig.open();
        const QVariantList before = settingsOf(rig.state);
        rig.editEverything();
        rig.text("txtFile")->setText(rig.path(QStringLiteral("other.csv")));
        if (action.startsWith("txt")) {
            rig.text(action)->setText(QStringLiteral("say \"hi\""));
            rig.click("cmdOK");
        } else if (action == "close") {
            rig.dialog->close();
        } else {
            rig.click("cmdCancel");
        }

        QCOMPARE(settingsOf(rig.state), before);
        QVERIFY(!QFile::exists(rig.path(QStringLiteral("other.csv"))));
        QCOMPARE(rig.dialog->isVisible(), !message.isEmpty());
        QCOMPARE(rig.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(rig.prompts.shown.size(), message.isEmpty() ? 0 : 1);
        for (const auto &shown : rig.prompts.shown) {
            QCOMPARE(shown.text, message);
            QCOMPARE(shown.title, QStringLiteral("Save"));
            QCOMPARE(shown.icon, core::PromptIcon::Error);
        }
    }

    // Select offers the system's file chooser; cancelling it keeps the name shown.
    void selectChoosesTheFile()
    {
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        rig.open();
        const QString path = rig.path(QStringLiteral("chosen.csv"));
        rig.prompts.queueFile(std::nullopt);
        rig.prompts.queueFile(path);
        rig.click("cmdSelect");
        QCOMPARE(rig.text("txtFile")->text(), rig.state.saveFileName);
        rig.click("cmdSelect");
        rig.click("cmdOK");
        QCOMPARE(rig.state.saveFileName, path);
        QCOMPARE(rig.contents(), QByteArray("TIME,Channel 0\r\n"));
    }
};

QTEST_MAIN(TestFrmSave)
#include "tst_frmsave.moc"
