#include "logging/frmsave.h"
#include "support/logrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

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

// A dialog over a logger rig, shown (offscreen) so clicks reach it.
struct DialogRig : LogRig
{
    logging::FrmSave dialog {state, logger, prompts};

    template<typename T = QWidget> T *control(const QString &name)
    {
        T *widget = dialog.findChild<T *>(name);
        if (!widget)
            qFatal("no control named %s", qPrintable(name));
        return widget;
    }
    QLineEdit *text(const QString &name) { return control<QLineEdit>(name); }
    // Clicked on its indicator: a Qt option reacts only there and on its text.
    void choose(const char *option)
    {
        auto *button = control<QRadioButton>(option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        if (!button->isChecked())
            qFatal("%s did not take the click", option);
    }
    void click(const char *button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    void showDialog()
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }
    // Every field changed from the defaults; the file name stays to the caller.
    void editEverything()
    {
        text("txtChannel3")->setText(QStringLiteral("Flow, l/min"));
        text("txtChannel0")->clear();
        auto *headers = control<QCheckBox>("chkHeaders");
        QTest::mouseClick(headers, Qt::LeftButton, {}, QPoint(6, headers->height() / 2));
        choose("optTSV");
        choose("optHour");
        control<QComboBox>("cmbIntv")->setCurrentIndex(299);
        choose("optSN");
    }
};

} // namespace

class TestFrmSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void loadsTheSharedState()
    {
        LogRig rig;
        rig.state.saveFileName = QStringLiteral("C:\\logs\\run 1.csv");
        rig.state.useChannelHeaders = False;
        rig.state.separatorMode = 2;
        rig.state.saveIntervalUnit = 3;
        rig.state.saveInterval = 17;
        rig.state.stampMode = 1;
        rig.state.channelNames[6] = QStringLiteral("Oven");
        logging::FrmSave dialog(rig.state, rig.logger, rig.prompts);

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Save"));
        QVERIFY(!(
            dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(dialog.findChild<QLineEdit *>("txtFile")->text(), rig.state.saveFileName);
        QVERIFY(!dialog.findChild<QCheckBox *>("chkHeaders")->isChecked());
        QVERIFY(dialog.findChild<QRadioButton *>("optTSV")->isChecked());
        QVERIFY(dialog.findChild<QRadioButton *>("optHour")->isChecked());
        QVERIFY(dialog.findChild<QRadioButton *>("optSN")->isChecked());
        auto *interval = dialog.findChild<QComboBox *>("cmbIntv");
        QCOMPARE(interval->currentText(), QStringLiteral("17"));
        QCOMPARE(interval->count(), 300);
        QCOMPARE(interval->itemText(299), QStringLiteral("300"));
        QVERIFY2(!interval->isEditable(), "the interval is picked, never typed");
        for (int c = 0; c < core::ChannelCount; ++c) {
            QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblChannel%1").arg(c))->text(),
                QStringLiteral("Channel %1:").arg(c));
            QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtChannel%1").arg(c))->text(),
                rig.state.channelNames[c]);
        }
    }

    // Values only a hand-edited settings file holds leave the design selections.
    void outOfRangeValuesKeepTheDesign_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("interval");
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("above the tables") << 5 << 301;
        QTest::newRow("negative") << -1 << -5;
    }
    void outOfRangeValuesKeepTheDesign()
    {
        QFETCH(int, mode);
        QFETCH(int, interval);
        LogRig rig;
        rig.state.separatorMode = rig.state.saveIntervalUnit = rig.state.stampMode
            = core::Integer(mode);
        rig.state.saveInterval = core::Integer(interval);
        logging::FrmSave dialog(rig.state, rig.logger, rig.prompts);
        QVERIFY(dialog.findChild<QRadioButton *>("optCSV")->isChecked());
        QVERIFY(dialog.findChild<QRadioButton *>("optSec")->isChecked());
        QVERIFY(dialog.findChild<QRadioButton *>("optT")->isChecked());
        QCOMPARE(dialog.findChild<QComboBox *>("cmbIntv")->currentIndex(), 0);
    }

    // Settings are stored before the file name is checked; an empty name stops logging.
    void emptyFileNameStopsLogging()
    {
        DialogRig rig;
        rig.state.saveEnable[3] = True;
        rig.state.savingActive = True;
        rig.showDialog();
        rig.editEverything();
        rig.text("txtFile")->clear();
        rig.click("cmdOK");

        QCOMPARE(rig.state.savingActive, False);
        QCOMPARE(rig.state.saveFileName, QString());
        QCOMPARE(rig.state.channelNames[3], QStringLiteral("Flow, l/min"));
        QCOMPARE(rig.state.channelNames[0], QString());
        QCOMPARE(rig.state.useChannelHeaders, False);
        QCOMPARE(rig.state.separatorMode, 2);
        QCOMPARE(rig.state.saveIntervalUnit, 3);
        QCOMPARE(rig.state.saveInterval, 300);
        QCOMPARE(rig.state.stampMode, 1);
        QCOMPARE(rig.prompts.shown.size(), 1);
        QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("File name cannot be left empty"));
        QCOMPARE(rig.prompts.shown[0].title, QStringLiteral("File Name Error"));
        QCOMPARE(rig.prompts.shown[0].icon, core::PromptIcon::Error);
        QVERIFY(rig.prompts.shown[0].modal);
        QVERIFY2(rig.dialog.isVisible(), "the dialog stays open");
    }

    void noChannelsEnabled()
    {
        DialogRig rig;
        rig.state.savingActive = True;
        rig.showDialog();
        rig.choose("optMin");
        rig.click("cmdOK");

        QCOMPARE(rig.prompts.shown.size(), 1);
        QCOMPARE(rig.prompts.shown[0].text, QStringLiteral("No channels for saving selected!"));
        QCOMPARE(rig.prompts.shown[0].title, QStringLiteral("Saving Error"));
        QCOMPARE(rig.prompts.shown[0].icon, core::PromptIcon::Information);
        QCOMPARE(rig.state.saveIntervalUnit, 2);
        QCOMPARE(rig.state.savingActive, True);
        QVERIFY(!QFile::exists(rig.state.saveFileName));
        QVERIFY(rig.dialog.isVisible());
    }

    // A double quote would end the text early when the settings file is read back.
    void doubleQuoteRefusedBeforeStoring_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("named");
        QTest::newRow("file name") << "txtFile"
                                   << "file name";
        QTest::newRow("channel 5") << "txtChannel5"
                                   << "Channel 5";
    }
    void doubleQuoteRefusedBeforeStoring()
    {
        QFETCH(QString, field);
        QFETCH(QString, named);
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        const QVariantList before = settingsOf(rig.state);
        rig.showDialog();
        rig.editEverything();
        rig.text(field)->setText(QStringLiteral("say \"hi\""));
        rig.click("cmdOK");

        QCOMPARE(settingsOf(rig.state), before);
        QCOMPARE(rig.prompts.shown.size(), 1);
        QVERIFY2(rig.prompts.shown[0].text.contains(named), qPrintable(rig.prompts.shown[0].text));
        QVERIFY(rig.prompts.shown[0].text.contains(QStringLiteral("double quote")));
        QCOMPARE(rig.prompts.shown[0].title, QStringLiteral("Save"));
        QCOMPARE(rig.prompts.shown[0].icon, core::PromptIcon::Error);
        QVERIFY(rig.dialog.isVisible());
    }

    void unwritableHeaderKeepsTheDialogOpen()
    {
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        rig.showDialog();
        const QString path = rig.path(QStringLiteral("no such folder/log.csv"));
        rig.text("txtFile")->setText(path);
        rig.click("cmdOK");

        QCOMPARE(rig.state.saveFileName, path);
        QCOMPARE(rig.state.savingActive, False);
        QCOMPARE(rig.prompts.shown.size(), 1);
        QVERIFY2(rig.prompts.shown[0].text.contains(QDir::toNativeSeparators(path)),
            qPrintable(rig.prompts.shown[0].text));
        QCOMPARE(rig.prompts.shown[0].title, QStringLiteral("Saving Error"));
        QCOMPARE(rig.prompts.shown[0].icon, core::PromptIcon::Error);
        QVERIFY(rig.dialog.isVisible());
    }

    void okStartsLogging_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("period");
        QTest::newRow("5 seconds") << "optSec" << 4 << 5;
        QTest::newRow("300 hours") << "optHour" << 299 << 1080000;
    }
    void okStartsLogging()
    {
        QFETCH(QString, unit);
        QFETCH(int, item);
        QFETCH(int, period);
        DialogRig rig;
        rig.state.saveEnable[1] = rig.state.saveEnable[2] = True;
        rig.showDialog();
        rig.choose(qPrintable(unit));
        rig.control<QComboBox>("cmbIntv")->setCurrentIndex(item);
        rig.click("cmdOK");

        QVERIFY(rig.prompts.shown.isEmpty());
        QCOMPARE(rig.dialog.result(), int(QDialog::Accepted));
        QVERIFY(!rig.dialog.isVisible());
        QCOMPARE(rig.state.savingActive, True);
        QCOMPARE(rig.state.savePeriodTicks, period);
        QCOMPARE(rig.lines(), QStringList {"TIME,Channel 1,Channel 2"});
    }

    void cancelStoresNothing_data()
    {
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("window closed") << true;
    }
    void cancelStoresNothing()
    {
        QFETCH(bool, byFrame);
        DialogRig rig;
        rig.state.saveEnable[0] = True;
        const QVariantList before = settingsOf(rig.state);
        rig.showDialog();
        rig.editEverything();
        rig.text("txtFile")->setText(rig.path(QStringLiteral("other.csv")));
        if (byFrame)
            rig.dialog.close();
        else
            rig.click("cmdCancel");

        QCOMPARE(rig.dialog.result(), int(QDialog::Rejected));
        QVERIFY(!rig.dialog.isVisible());
        QCOMPARE(settingsOf(rig.state), before);
        QVERIFY(!QFile::exists(rig.path(QStringLiteral("other.csv"))));
    }

    void selectPutsTheChosenName_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("chosen") << std::optional<QString>("/data/run.csv") << "/data/run.csv";
        QTest::newRow("cancelled") << std::optional<QString>() << "typed.csv";
    }
    void selectPutsTheChosenName()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, shown);
        DialogRig rig;
        rig.showDialog();
        rig.text("txtFile")->setText(QStringLiteral("typed.csv"));
        rig.prompts.queueFile(answer);
        rig.click("cmdSelect");

        QCOMPARE(rig.text("txtFile")->text(), shown);
        QCOMPARE(rig.prompts.fileRequests.size(), 1);
        QVERIFY2(rig.prompts.fileRequests[0].filter.isEmpty()
                && rig.prompts.fileRequests[0].defaultSuffix.isEmpty(),
            "a plain save dialog");
        QVERIFY(rig.prompts.shown.isEmpty());
        QVERIFY(rig.dialog.isVisible());
    }

    // The operator's whole path: choose the file, confirm, let the logger run, then
    // switch logging off from the dialog again.
    void endToEnd()
    {
        DialogRig rig;
        rig.state.saveEnable[0] = rig.state.saveEnable[3] = True;
        rig.state.channelValues[0] = 1.5f;
        rig.state.channelValues[3] = 25;
        const QString path = rig.path(QStringLiteral("chosen.csv"));
        rig.showDialog();
        rig.prompts.queueFile(path);
        rig.click("cmdSelect");
        rig.text("txtChannel3")->setText(QStringLiteral("Oven"));
        rig.choose("optDT");
        rig.choose("optSSV");
        rig.control<QComboBox>("cmbIntv")->setCurrentIndex(1); // 2 seconds
        rig.click("cmdOK");
        QCOMPARE(rig.dialog.result(), int(QDialog::Accepted));

        rig.run(1);
        rig.state.channelValues[3] = -0.25f;
        rig.run(2);
        QCOMPARE(rig.state.saveFileName, path);
        QCOMPARE(rig.lines(),
            (QStringList {"DATE,TIME,Channel 0 Oven", "05/12/26,18:11:43,1.5 25",
                "05/12/26,18:11:45,1.5 -0.25"}));

        logging::FrmSave again(rig.state, rig.logger, rig.prompts);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        again.findChild<QLineEdit *>("txtFile")->clear();
        QTest::mouseClick(again.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
        QCOMPARE(rig.state.savingActive, False);
        const QByteArray written = rig.contents(path);
        rig.run(10);
        QCOMPARE(rig.contents(path), written);
    }
};

QTEST_MAIN(TestFrmSave)
#include "tst_frmsave.moc"
