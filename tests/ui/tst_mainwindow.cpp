// The main window: child windows, start and close, the card unplugged, fault boxes;
// the status window, the file chooser, the Alarms dialog, and a guard that every text fits.
#include "alarms/alarmrules.h"
#include "core/inifile.h"
#include "link/cardlink.h"
#include "logging/logger.h"
#include "support/mainwindowrig.h"
#include "support/ptypair.h"
#include "support/testfiles.h"
#include "ui/designfonts.h"
#include "ui/logging/frmsave.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmalarms.h"
#include "ui/main/frmpublishing.h"
#include "ui/main/qtprompts.h"
#include "ui/twips.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarv;
using testsupport::namedChild;
using Frames = QList<QList<int>>; // per frame, the channels that fail to convert

namespace {

// The texts of `window` that do not fit their controls, with the room they need, and
// the captions that draw otherwise than written or gain a shortcut.
QStringList clippedTexts(const QWidget &window)
{
    // The written captions that hold an "&"; no other caption of a button or group has one.
    const QHash<QString, QString> ampersands {{"optDT", "Use Date & Time"}};
    // A button or a group draws "&&" as "&" and takes a lone "&" as its shortcut mark.
    const auto drawn = [](QString text) { return text.replace(QRegularExpression("&(.)"), "\\1"); };
    QStringList out;
    const auto check = [&out](const QWidget *w, const QString &text, int needs, int has) {
        if (!text.isEmpty() && needs > has)
            out << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                       .arg(w->objectName(), text)
                       .arg(needs)
                       .arg(has);
    };
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        const auto *label = qobject_cast<const QLabel *>(w);
        const auto *button = qobject_cast<const QAbstractButton *>(w);
        const auto *box = qobject_cast<const QGroupBox *>(w);
        const QString text = label ? label->text()
            : button               ? button->text()
            : box                  ? box->title()
                                   : QString();
        if ((button || box)
            && (drawn(text) != ampersands.value(w->objectName(), QString(text).remove(u'&'))
                || !QKeySequence::mnemonic(text).isEmpty()))
            out << QStringLiteral("%1 \"%2\" draws \"%3\"").arg(w->objectName(), text, drawn(text));
        if (!w->isVisibleTo(&window) || (label && label->textFormat() == Qt::RichText)) {
            continue;
        } else if (label && label->wordWrap()) {
            check(w, text, label->heightForWidth(w->width()), w->height());
        } else if (qobject_cast<const QPushButton *>(w)) { // its minimum is wider than its text
            QStyleOptionButton option;
            option.initFrom(button);
            check(w, text, w->fontMetrics().size(Qt::TextShowMnemonic, text).width(),
                w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w).width());
        } else if (auto *combo = qobject_cast<const QComboBox *>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = combo->isEditable();
            const QRect room = combo->style()->subControlRect(
                QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i)
                check(w, combo->itemText(i), w->fontMetrics().horizontalAdvance(combo->itemText(i)),
                    room.width());
        } else {
            check(w, text, w->minimumSizeHint().width(), w->width());
            if (label)
                check(w, text, w->minimumSizeHint().height(), w->height() + 1);
        }
    }
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    std::unique_ptr<testsupport::MainWindowRig> m_rig;
    ui::MdiDaq *m_window = nullptr;

    QAction *item(const char *name) { return namedChild<QAction>(*m_window->menuBar(), name); }
    // Publishing to a port nobody listens on.
    void enablePublishing()
    {
        testsupport::putFile(
            m_rig->filePath("tarvane.ini"), "[mqtt]\nenabled=true\nhost=127.0.0.1\nport=1\n");
    }
    // The status window's lines joined by " | ", after a refresh unless asked not to.
    QString status(bool refresh = true)
    {
        if (refresh)
            m_rig->statusWindow()->tick();
        QStringList lines;
        for (const char *name : {"lblStatus", "lblUSB", "lblFault", "lblTask", "lblSave"})
            lines << namedChild<QLabel>(*m_rig->statusWindow(), name)->text();
        return lines.join(QStringLiteral(" | "));
    }
    // The Alarms dialog's rules, one a row, its cells joined by "|".
    static QStringList rules(const QWidget &dialog)
    {
        const auto *table = namedChild<QTableWidget>(dialog, "grdRules");
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->item(row, c)->text();
            rows << cells.join(u'|');
        }
        return rows;
    }
    // Adds rules so written to the Alarms dialog, typed in place, and clicks OK.
    static void addRules(QWidget &dialog, const QStringList &typed)
    {
        auto *table = namedChild<QTableWidget>(dialog, "grdRules");
        for (const QString &rule : typed) {
            QTest::mouseClick(namedChild<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
            const QStringList cells = rule.split(u'|');
            for (int c = 0; c < cells.size(); ++c)
                table->item(table->rowCount() - 1, c)->setText(cells[c]);
        }
        QTest::mouseClick(namedChild<QPushButton>(dialog, "cmdOk"), Qt::LeftButton);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        m_rig = std::make_unique<testsupport::MainWindowRig>();
        m_window = &m_rig->make();
    }
    void cleanup() { m_rig.reset(); }

    // Started without a port, the window opens its status window. One window per item,
    // brought to the front when chosen again, discarded when closed; configuration and
    // calibration can only be closed, not shrunk.
    void childWindows()
    {
        m_window->load();
        QVERIFY(m_window->isVisible() && m_rig->state.portOpened == core::False
            && !m_window->link().isPortOpen());
        QPointer<QMdiSubWindow> first = m_window->childWindow(QStringLiteral("ViewStatus"));
        QVERIFY(first && m_rig->prompts.shown.isEmpty());
        // Without publishing the status window is as it always was.
        QVERIFY(namedChild<QLabel>(*first->widget(), "lblPublish")->isHidden()
            && first->widget()->size() == QSize(ui::twips(3210), ui::twips(1560)));
        // Until the first refresh only the port's fate is known; a port chosen
        // meanwhile shows at the next.
        QCOMPARE(status(false),
            "Card Disconnected | USB : COM255 | COM not found | No Task Running  | Save");
        const QString reason = namedChild<QLabel>(*m_rig->statusWindow(), "lblFault")->toolTip();
        QVERIFY2(reason.startsWith("no device for COM 255; tried " + m_rig->filePath("COM255")),
            qPrintable(reason));
        m_rig->state.comPort = 7;
        QCOMPARE(status(),
            "Card Disconnected | USB : COM7 | COM not found |  No Task Running | Not Saving");
        item("OptionsCardComm")->trigger();
        item("ViewStatus")->trigger();
        QCOMPARE(m_window->mdiArea()->subWindowList().size(), 2);
        QCOMPARE(m_window->mdiArea()->activeSubWindow(), first.data());
        first->close();
        QVERIFY(!m_window->childWindow(QStringLiteral("ViewStatus")));
        testsupport::processDeferredDeletes();
        QVERIFY2(!first, "a closed child window is discarded");
        item("ViewStatus")->trigger();
        QVERIFY(m_rig->statusWindow());
        for (const char *name : {"ViewStatus", "OptionsCardConfig", "OptionsCalibrate"}) {
            const Qt::WindowFlags flags = m_window->openChild(QLatin1String(name))->windowFlags();
            QVERIFY2(bool(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
                        == (name == std::string_view("ViewStatus"))
                    && flags.testFlag(Qt::WindowCloseButtonHint),
                name);
        }
        for (const auto &[name, button] :
            {std::pair {"TaskManager", "cmdOk"}, std::pair {"TaskManager", "cmdCancel"},
                std::pair {"OptionsCalibrate", "cmdClose"}}) {
            QTest::mouseClick(
                namedChild<QPushButton>(*m_window->openChild(QLatin1String(name)), button),
                Qt::LeftButton);
            QVERIFY2(!m_window->childWindow(QLatin1String(name)), button);
        }
    }

    // Start needs the card's answer; a running task can only be stopped. File > Save
    // is checked while logging is on.
    void itemsFollowTheState()
    {
        m_window->link().attachDevice(&m_rig->line);
        const auto offered
            = [this] { return item("TaskStart")->isEnabled() && !item("TaskStop")->isEnabled(); };
        item("TaskStart")->trigger();
        QVERIFY(offered());
        m_rig->line.feed("V1.02\r");
        item("TaskStart")->trigger();
        QVERIFY(!item("TaskStart")->isEnabled() && item("TaskStop")->isEnabled());
        item("TaskStop")->trigger();
        QVERIFY(offered());
        QCOMPARE(m_rig->line.written, QByteArray("@TA00\r@F\r"));
        for (const auto logging : {core::True, core::False}) {
            m_window->setSaveDialog([this, logging] { m_rig->state.savingActive = logging; });
            item("FileSave")->trigger();
            QCOMPARE(item("FileSave")->isChecked(), logging == core::True);
        }
    }

    // The box about unsaved settings outlasts the task's start pause: the card must not
    // be told to run after it was told to stop. About (once, not blocking) goes too.
    void closeDuringTheStartPause()
    {
        const QString dir = m_rig->state.appPath = m_rig->filePath(QStringLiteral("gone/away"));
        m_rig->prompts.whileModal = [] {
            QEventLoop loop;
            QTimer::singleShot(150, &loop, &QEventLoop::quit);
            loop.exec();
        };
        m_window->show();
        item("HelpAbout")->trigger();
        item("HelpAbout")->trigger();
        const auto about = m_window->findChildren<ui::FrmAbout *>();
        QVERIFY(about.size() == 1 && about[0]->isVisible() && !about[0]->isModal());
        m_window->link().attachDevice(&m_rig->line);
        m_rig->line.feed("V1.02\r");
        item("TaskStart")->trigger();
        QVERIFY(m_window->close() && !m_window->isVisible() && !about[0]->isVisible());
        QCOMPARE(m_rig->line.written, QByteArray("@TA00\r@F\r"));
        const QStringList shown = m_rig->prompts.boxes();
        QVERIFY2(shown.size() == 1
                && shown[0].startsWith("Tarvane2020: The settings could not be saved.\n")
                && shown[0].contains(dir + "/tarvo.con: ")
                && shown[0].contains(dir + "/tarvs.con: ") && shown[0].endsWith(" E"),
            qPrintable(shown.join(u'\n')));
    }

    // On the wire, logging: a log that cannot be written shows as the saving line's
    // error, its reason as the tooltip, but only while lines are due. Unplugged, the
    // status says so; back as another device under the same port, once it answers,
    // the task it forgot starts again.
    void cardUnpluggedAndPluggedBack()
    {
        auto before = std::make_unique<testsupport::PtyPair>();
        testsupport::PtyPair after;
        const QString entry = m_rig->filePath(QStringLiteral("COM1"));
        QVERIFY(before->isValid() && after.isValid() && QFile::link(before->slavePath(), entry));
        QVERIFY(QDir(m_rig->dir.path()).mkdir(QStringLiteral("logs")));
        m_rig->state.comPort = 1;
        m_rig->state.saveEnable[0] = core::True;
        m_rig->state.saveFileName = m_rig->filePath(QStringLiteral("logs/log.csv"));
        m_rig->state.savePeriodTicks = 1;
        m_window->load();
        QVERIFY2(m_window->findChildren<ui::FrmAbout *>().isEmpty(), "no splash was asked for");
        QCOMPARE(before->waitForBytes(2), QByteArray("?\r"));
        QVERIFY(before->writeToProgram("V1.23\r"));
        QTRY_COMPARE(m_rig->state.cardConnected, core::True);
        item("TaskStart")->trigger();
        QCOMPARE(before->waitForBytes(9), QByteArray("@TA00\r@N\r"));
        m_rig->state.savingActive = core::True;
        emit m_window->saveTick();
        QCOMPARE(
            status(), "Card Connected. Ver.1.23 | USB : COM1 | No Faults | Task Running | Saving");
        QVERIFY(QDir(m_rig->filePath(QStringLiteral("logs"))).removeRecursively());
        emit m_window->saveTick();
        const auto *save = namedChild<QLabel>(*m_rig->statusWindow(), "lblSave");
        QCOMPARE(status(),
            "Card Connected. Ver.1.23 | USB : COM1 | No Faults | Task Running | Saving Error");
        QVERIFY(!save->toolTip().isEmpty() && save->toolTip() == m_window->logger().writeProblem());
        before->closeMaster();
        QVERIFY(QFile::remove(entry));
        QTRY_COMPARE(m_rig->state.portLost, core::True);
        QCOMPARE(status(), "Card Disconnected | USB : COM1 | COM lost | Task Running | Not Saving");
        QVERIFY(save->toolTip().isEmpty());
        QVERIFY2(!m_window->link().retryOpen(), "nothing to open while the device is away");
        QVERIFY(QFile::link(after.slavePath(), entry) && m_window->link().retryOpen());
        QCOMPARE(after.waitForBytes(2), QByteArray("?\r"));
        QCOMPARE(status(),
            "Card Disconnected | USB : COM1 | Card not found | Task Running | Not Saving");
        QVERIFY(after.writeToProgram("V1.24\r"));
        QCOMPARE(after.waitForBytes(9), QByteArray("@TA00\r@N\r"));
        QCOMPARE(status(),
            "Card Connected. Ver.1.24 | USB : COM1 | No Faults | Task Running | Saving Error");
        item("FileExit")->trigger();
        QCOMPARE(after.waitForBytes(3), QByteArray("@F\r"));
        QVERIFY(!m_window->isVisible());
        QCOMPARE(m_rig->prompts.boxes().size(), 1); // the failing log's own notice
    }

    // A set of conversion faults is shown once, one box at a time: a clean frame forgets
    // it, and a box closing shows only the set standing then, if new. After a frame
    // failing on channel 2 come those under its box, then those after it.
    void conversionFaultBoxes_data()
    {
        QTest::addColumn<Frames>("underTheBox");
        QTest::addColumn<Frames>("afterwards");
        QTest::addColumn<Frames>("shown");
        QTest::newRow("same, then a new set")
            << Frames {} << Frames {{2}, {2, 5}, {2, 5}} << Frames {{2}, {2, 5}};
        QTest::newRow("clean, then back") << Frames {} << Frames {{}, {2}} << Frames {{2}, {2}};
        QTest::newRow("changed under the box")
            << Frames {{2, 5}, {5}} << Frames {{5}} << Frames {{2}, {5}};
        QTest::newRow("changed and back") << Frames {{5}, {2}} << Frames {} << Frames {{2}};
        QTest::newRow("cleared") << Frames {{}} << Frames {} << Frames {{2}};
        QTest::newRow("cleared and back") << Frames {{}, {2}} << Frames {} << Frames {{2}, {2}};
    }
    void conversionFaultBoxes()
    {
        QFETCH(Frames, underTheBox);
        QFETCH(Frames, afterwards);
        QFETCH(Frames, shown);
        const auto feed = [this](const Frames &frames) {
            for (const QList<int> &failing : frames) {
                link::ChannelFailures failures;
                for (int c : failing)
                    failures.push_back({c, link::ConversionError::DivisionByZero});
                emit m_window->link().conversionFailed(failures);
            }
        };
        m_rig->prompts.whileModal = [&, first = true]() mutable {
            if (std::exchange(first, false))
                feed(underTheBox);
        };
        feed({{2}});
        feed(afterwards);
        QStringList expected;
        for (const QList<int> &channels : shown) {
            QStringList lines;
            for (int c : channels)
                lines << QStringLiteral("Division by zero%1").arg(c);
            expected << QStringLiteral("Tarvane2020: %1 E").arg(lines.join(u'\n'));
        }
        QCOMPARE(m_rig->prompts.boxes(), expected);
    }

    // Saving takes a new name with the default suffix and would replace an existing file
    // without a question; a cancel gives nothing.
    void promptChooser()
    {
        // The dialog decides whether a typed name is a folder by looking in the working
        // directory; an empty one keeps the outcome the same wherever the test runs.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_rig->dir.path()));
        const auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
        ui::QtPrompts prompts;
        const core::FileDialogOptions options {
            QStringLiteral("Config Files (*.cfg)"), QStringLiteral("cfg"), {}};
        for (const bool accept : {true, false}) {
            bool asks = true; // recorded, so a failure still closes the dialog
            QTimer::singleShot(0, [this, accept, &asks] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog && dialog->acceptMode() == QFileDialog::AcceptSave);
                asks = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                dialog->selectFile(m_rig->filePath(QStringLiteral("bench")));
                accept ? static_cast<QDialog *>(dialog)->accept() : dialog->reject();
            });
            QCOMPARE(prompts.saveFileName(options),
                accept ? std::optional(m_rig->filePath(QStringLiteral("bench.cfg")))
                       : std::nullopt);
            QVERIFY2(!asks, "the save dialog asks before replacing a file");
        }
    }

    // The Alarms dialog lets the file's reader judge the rules typed: what it refuses is
    // named in a box and nothing is written; the rest is written beside the other groups,
    // read back equal and handed on. One rule was there; it is removed first.
    void alarmsDialog_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("round trip") << QStringList {"2|Oven high|3|80.5||2|5|0.25|hold|3|off",
            "7|Alarm 7|0||-1.5|0|0|0|clear||on"}
                                    << QString();
        QTest::newRow("an input line") << QStringList {"1|Pump|0|5||0|0|0|set|5|on"}
                                       << "[alarm.1] refused: output 5 is configured as an input";
        QTest::newRow("no limit") << QStringList {"1|Pump|0|||0|0|0|set||on"}
                                  << "[alarm.1] refused: it has neither high nor low";
        QTest::newRow("a number twice") << QStringList {"1|A|0|5||0|0|0|set||on", "1|B|0|||||||"}
                                        << "rule number \"1\" is used twice";
    }
    void alarmsDialog()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, refusal);
        testsupport::putFile(
            m_rig->filePath("tarvane.ini"), "[mqtt]\nhost=broker\n[alarm.9]\nchannel=1\nhigh=5\n");
        m_rig->state.dioDirection[3] = core::True;
        std::optional<alarms::AlarmSettings> applied;
        ui::FrmAlarms dialog(m_rig->state, m_rig->prompts,
            [&applied](const alarms::AlarmSettings &settings) { applied = settings; });
        QCOMPARE(rules(dialog), QStringList {"9|Alarm 9|1|5||0|0|0|set||on"});
        namedChild<QTableWidget>(dialog, "grdRules")->selectRow(0);
        QTest::mouseClick(namedChild<QPushButton>(dialog, "cmdRemove"), Qt::LeftButton);
        namedChild<QLineEdit>(dialog, "txtSafeState")->setText("8");
        addRules(dialog, typed);
        QStringList problems;
        const core::IniFile ini = core::IniFile::read(m_rig->dir.path());
        const auto read = alarms::readAlarmSettings(ini, m_rig->state, problems);
        QVERIFY(problems.isEmpty() && ini.group("mqtt").text("host") == "broker");
        if (!refusal.isEmpty()) {
            QCOMPARE(m_rig->prompts.boxes(),
                QStringList {"Alarms: The rules were not saved:\n" + refusal + " W"});
            QVERIFY(!applied && dialog.result() == QDialog::Rejected && read.rules.size() == 1);
            return;
        }
        QVERIFY(m_rig->prompts.shown.isEmpty() && dialog.result() == QDialog::Accepted);
        QVERIFY(applied && applied->rules == read.rules && applied->safeState == 8
            && read.safeState == 8);
        QCOMPARE(rules(ui::FrmAlarms(m_rig->state, m_rig->prompts, {})), typed);
    }

    // The operator's click on a line a rule drives (set in Options > Alarms..., taken by
    // the session at once) is refused, naming the rule; without rules the view switches
    // the line as ever. The status window has an alarm line only while rules exist.
    void operatorClickOnARulesLine_data()
    {
        QTest::addColumn<bool>("rule");
        QTest::newRow("no tarvane.ini") << false;
        QTest::newRow("a rule on D3") << true;
    }
    void operatorClickOnARulesLine()
    {
        QFETCH(bool, rule);
        m_rig->state.dioDirection[3] = core::True;
        m_window->link().attachDevice(&m_rig->line);
        m_rig->line.feed("V1.02\r");
        if (rule) {
            QTimer::singleShot(0, [] {
                if (QWidget *dialog = QApplication::activeModalWidget())
                    addRules(*dialog, {"1|Oven high|0|80||0|0|0|set|3|on"});
            });
            item("OptionsAlarms")->trigger();
        }
        QTest::mouseClick(
            namedChild<QPushButton>(*m_window->openChild("ViewDigitalData")->widget(), "cmdDO3"),
            Qt::LeftButton);
        QCoreApplication::processEvents(); // written once the change in hand is made
        QCOMPARE(m_rig->line.written, rule ? QByteArray() : QByteArray("#D0008\r"));
        QCOMPARE(m_rig->prompts.boxes(),
            rule ? QStringList {"Tarvane2020: Output D3 is driven by the alarm \"Oven high\". I"}
                 : QStringList());
        m_window->openChild("ViewStatus");
        m_rig->statusWindow()->tick();
        QCOMPARE(namedChild<QLabel>(*m_rig->statusWindow(), "lblAlarm")
                     ->isVisibleTo(m_rig->statusWindow()),
            rule);
    }

    // Every window's texts fit at the program's fonts, live values at their widest, and
    // draw as written. A new window is covered once its menu item is in the list below.
    void everyWindowsTextFits()
    {
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); // the desktop's first
        ui::useDesignFonts();
        m_rig->state.ambientTemp = -23.45f;
        m_rig->state.channelValues.fill(-1234.56f);
        enablePublishing();
        m_window = &m_rig->make(); // made after the fonts, as the program does
        m_window->show();
        m_window->startPublishing();
        QStringList clipped;
        for (const char *name : {"ViewStatus", "ViewAnalogData", "ViewDigitalData", "ViewTrend",
                 "TaskManager", "OptionsCardConfig", "OptionsCardComm", "OptionsCalibrate"}) {
            QWidget *w = m_window->openChild(QLatin1String(name))->widget();
            for (QTimer *timer : w->findChildren<QTimer *>()) // live texts replace design texts
                QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
            clipped += clippedTexts(*w);
        }
        // The broker's line, only while publishing is on, says why in its tooltip.
        const auto *line = namedChild<QLabel>(*m_rig->statusWindow(), "lblPublish");
        QTRY_VERIFY2((m_rig->statusWindow()->tick(),
                         line->toolTip().startsWith("127.0.0.1:1: Connection refused")),
            qPrintable(line->toolTip()));
        QVERIFY(line->isVisible() && line->text() == "Broker Not Connected"
            && line->toolTip().contains("Messages dropped: ")
            && m_rig->statusWindow()->rect().contains(line->geometry()));
        clipped += clippedTexts(ui::FrmAbout(m_window));
        ui::FrmPublishing publishing(m_rig->dir.path(), m_rig->prompts, {}, m_window);
        publishing.show(); // laid out only when shown
        clipped += clippedTexts(publishing);
        ui::FrmAlarms alarmsDialog(m_rig->state, m_rig->prompts, {}, m_window);
        alarmsDialog.show();
        clipped += clippedTexts(alarmsDialog);
        clipped += clippedTexts(
            ui::FrmSave(m_rig->state, m_window->logger(), m_rig->prompts, m_window));
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
