// The main window and the windows that show the card: menus and child windows,
// start-up and closing, the card going away and coming back, conversion fault
// boxes, the status and data views, the Qt dialogs behind the prompts, and a guard
// that every window's texts fit their controls.
#include "link/cardlink.h"
#include "logging/frmsave.h"
#include "support/mainwindowrig.h"
#include "support/ptypair.h"
#include "support/testfiles.h"
#include "ui/config/frmcalib.h"
#include "ui/designfonts.h"
#include "ui/filledshape.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmviewanalogdata.h"
#include "ui/main/frmviewdigitaldata.h"
#include "ui/main/qtprompts.h"
#include "ui/trend/frmtrend.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QtTest>

using namespace tarv;
using testsupport::namedChild;
using Frames = QList<QList<int>>; // per frame, the channels that fail to convert

namespace {

// The texts of the named labels, joined by " | ".
QString texts(const QWidget &window, std::initializer_list<const char *> names)
{
    QStringList list;
    for (const char *name : names)
        list << namedChild<QLabel>(window, name)->text();
    return list.join(QStringLiteral(" | "));
}

// Every box shown: "title: text", its icon (-, I, W, E), and "modeless" if so.
QStringList boxes(const testsupport::ScriptedPrompts &prompts)
{
    QStringList list;
    for (const auto &s : prompts.shown)
        list << QStringLiteral("%1: %2 %3%4")
                    .arg(s.title, s.text, QChar(u"-IWE"[int(s.icon)]),
                        s.modal ? QString() : QStringLiteral(" modeless"));
    return list;
}

QList<ui::FrmAbout *> visibleAbout()
{
    QList<ui::FrmAbout *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *about = qobject_cast<ui::FrmAbout *>(w); about && about->isVisible())
            found << about;
    return found;
}

// Answers the modal dialog that the call about to be made opens, from inside its
// own event loop; a failed check there still closes it, so the call returns.
template<typename Dialog> void whenShown(std::function<void(Dialog *)> answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        const QPointer<QDialog> modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        const auto unblock = qScopeGuard([&modal] {
            if (modal && modal->isVisible())
                modal->reject();
        });
        QVERIFY2(qobject_cast<Dialog *>(modal.data()), "the expected dialog is open and modal");
        answer(qobject_cast<Dialog *>(modal.data()));
    });
}

// The texts of `window` that do not fit their controls, with the room they need.
QStringList clippedTexts(const QWidget &window)
{
    QStringList out;
    const auto check = [&out](const QWidget *w, const QString &text, int needs, int has) {
        if (!text.isEmpty() && needs > has)
            out << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                       .arg(w->objectName(), text)
                       .arg(needs)
                       .arg(has);
    };
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisibleTo(&window))
            continue;
        if (auto *label = qobject_cast<const QLabel *>(w);
            label && label->textFormat() != Qt::RichText) {
            const QFontMetrics fm = label->fontMetrics();
            const QRect room = label->contentsRect().marginsRemoved(QMargins() + label->margin());
            if (label->wordWrap()) {
                check(label, label->text(), label->heightForWidth(label->width()), label->height());
            } else {
                check(label, label->text(), fm.horizontalAdvance(label->text()), room.width());
                check(label, label->text(), fm.height(), room.height() + 1);
            }
        } else if (auto *button = qobject_cast<const QAbstractButton *>(w)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const auto room = qobject_cast<const QCheckBox *>(button) ? QStyle::SE_CheckBoxContents
                : qobject_cast<const QRadioButton *>(button) ? QStyle::SE_RadioButtonContents
                                                             : QStyle::SE_PushButtonContents;
            check(button, button->text(),
                button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width(),
                button->style()->subElementRect(room, &option, button).width());
        } else if (auto *box = qobject_cast<const QGroupBox *>(w)) {
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.lineWidth = 1;
            option.textAlignment = box->alignment();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect title = box->style()->subControlRect(
                QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
            check(box, box->title(), box->rect().contains(title) ? 0 : title.right() + 1,
                box->width());
        } else if (auto *combo = qobject_cast<const QComboBox *>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = combo->isEditable();
            const QRect room = combo->style()->subControlRect(
                QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i)
                check(combo, combo->itemText(i),
                    combo->fontMetrics().horizontalAdvance(combo->itemText(i)), room.width());
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

    // The status window's lines after a refresh: fault, card, task, logging.
    QString status()
    {
        m_rig->statusWindow()->tick();
        return texts(*m_rig->statusWindow(), {"lblFault", "lblStatus", "lblTask", "lblSave"});
    }
    QAction *item(const char *name) { return m_window->action(QLatin1String(name)); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        m_rig = std::make_unique<testsupport::MainWindowRig>();
        m_window = &m_rig->make();
    }
    void cleanup() { m_rig.reset(); }

    // Stop is offered only once a task runs; History, Settings and Contents do nothing.
    void menus()
    {
        QCOMPARE(
            m_window->windowTitle(), QStringLiteral("Tarvane 2020 ~ Data Acquisition Solution"));
        QStringList menus;
        for (QAction *top : m_window->menuBar()->actions()) {
            QStringList items;
            for (QAction *item : top->menu()->actions())
                items << (item->isSeparator() ? QStringLiteral("-") : item->text())
                        + (item->isEnabled() ? "" : " (off)");
            menus << top->text() + QStringLiteral(": ") + items.join(QStringLiteral(", "));
        }
        QCOMPARE(menus,
            (QStringList {"File: Save, Exit",
                "View: Analog Data, Digital Data, -, Trend, History, -, Status",
                "Task: Start, Stop (off), -, Task Manager",
                "Options: Card Configuration, Card Communication, -, Settings, Calibration",
                "Help: Contents, About"}));
        const auto topLevels = QApplication::topLevelWidgets().size();
        for (const char *name : {"ViewHistory", "OptionsSettings", "HelpContents"})
            item(name)->trigger();
        QCoreApplication::processEvents();
        QVERIFY(m_window->mdiArea()->subWindowList().isEmpty() && m_rig->prompts.shown.isEmpty());
        QCOMPARE(QApplication::topLevelWidgets().size(), topLevels);
    }

    // One window per item: chosen again, the open one comes to the front; closed, by
    // its frame or its own buttons, it is discarded and the next choice builds one
    // whose load step runs again. Configuration and calibration cannot be shrunk.
    void childWindows()
    {
        m_window->show();
        QPointer<QMdiSubWindow> first = m_window->openChild(QStringLiteral("ViewStatus"));
        item("OptionsCardComm")->trigger();
        item("ViewStatus")->trigger();
        QCOMPARE(m_window->mdiArea()->subWindowList().size(), 2);
        QCOMPARE(m_window->mdiArea()->activeSubWindow(), first.data());
        m_rig->state.comPort = 7;
        first->close();
        QVERIFY(!m_window->childWindow(QStringLiteral("ViewStatus")));
        testsupport::processDeferredDeletes();
        QVERIFY2(!first, "a closed child window is discarded");
        item("ViewStatus")->trigger();
        QCOMPARE(texts(*m_rig->statusWindow(), {"lblUSB"}), QStringLiteral("USB : COM7"));
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

    // Start needs the card's answer, and a running task can only be stopped. File >
    // Save opens the logging dialog, and its check mark shows whether logging is on.
    void itemsFollowTheState()
    {
        m_window->link().attachDevice(&m_rig->line);
        item("TaskStart")->trigger();
        QVERIFY(item("TaskStart")->isEnabled() && !item("TaskStop")->isEnabled());
        m_rig->line.feed("V1.02\r");
        item("TaskStart")->trigger();
        QVERIFY(!item("TaskStart")->isEnabled() && item("TaskStop")->isEnabled());
        item("TaskStop")->trigger();
        QVERIFY(item("TaskStart")->isEnabled() && !item("TaskStop")->isEnabled());
        QCOMPARE(m_rig->line.written, QByteArray("@TA00\r@F\r"));

        QString caption;
        QTimer::singleShot(0, [&caption] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                caption = dialog->windowTitle();
                dialog->reject();
            }
        });
        item("FileSave")->trigger();
        QCOMPARE(caption, QStringLiteral("Save"));
        QVERIFY(!item("FileSave")->isChecked());
        for (const auto logging : {core::True, core::False}) {
            m_window->setSaveDialog([this, logging] { m_rig->state.savingActive = logging; });
            item("FileSave")->trigger();
            QCOMPARE(item("FileSave")->isChecked(), logging == core::True);
        }
    }

    // The splash shows first, modal, until its timer ends it; then the window and its
    // status window, which knows at once that there is no port.
    void startWithTheSplashAndNoPort()
    {
        m_window = &m_rig->make(m_rig->prompts, std::chrono::minutes(1));
        ui::MdiDaq &window = *m_window;
        QString seen;
        QTimer::singleShot(0, this, [&] { // inside the splash's own event loop
            const QList<ui::FrmAbout *> about = visibleAbout();
            auto *timer = about.size() == 1 ? about[0]->findChild<QTimer *>("Timer1") : nullptr;
            if (!timer)
                return;
            seen = QStringLiteral("%1 %2 %3")
                       .arg(about[0]->isModal())
                       .arg(timer->interval())
                       .arg(window.isVisible());
            timer->start(0); // due at once: what it does is the point, not the wait
        });
        window.load();
        QCOMPARE(seen, QStringLiteral("1 60000 0")); // modal, for its time, main window hidden
        testsupport::processDeferredDeletes();
        QVERIFY2(window.isVisible() && window.findChildren<ui::FrmAbout *>().isEmpty(),
            "the splash is gone");
        QVERIFY(m_rig->state.portOpened == core::False && !window.link().isPortOpen());
        QCOMPARE(status(),
            QStringLiteral("COM not found | Card Disconnected |  No Task Running | Not Saving"));
        QVERIFY(m_rig->prompts.shown.isEmpty());
    }

    // About opens once, frameless and without blocking, and goes with the main window.
    void about()
    {
        m_window->show();
        item("HelpAbout")->trigger();
        item("HelpAbout")->trigger();
        const QList<ui::FrmAbout *> opened = visibleAbout();
        QCOMPARE(opened.size(), 1);
        QVERIFY(
            !opened[0]->isModal() && opened[0]->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(texts(*opened[0], {"Label3", "Label4", "Label1"}),
            "Tarvane 2020 | Ver.1.1" + QString(31, u' ')
                + "Data Acquisition Solution | Designed & Developed by:");
        m_window->close();
        QVERIFY(visibleAbout().isEmpty());
    }

    // The box about settings that cannot be saved runs its own event loop for longer
    // than the task's start pause: the card must not be told to run after it was told
    // to stop. The program ends anyway.
    void closeDuringTheStartPause()
    {
        m_rig->state.appPath = m_rig->filePath(QStringLiteral("gone/away"));
        m_rig->prompts.whileModal = [] {
            QEventLoop loop;
            QTimer::singleShot(150, &loop, &QEventLoop::quit);
            loop.exec();
        };
        m_window->show();
        m_window->link().attachDevice(&m_rig->line);
        m_rig->line.feed("V1.02\r");
        item("TaskStart")->trigger();
        QVERIFY(m_window->close() && !m_window->isVisible());
        QCOMPARE(m_rig->line.written, QByteArray("@TA00\r@F\r"));
        const QString dir = m_rig->state.appPath;
        const QStringList shown = boxes(m_rig->prompts);
        QVERIFY2(shown.size() == 1
                && shown[0].startsWith(
                    "Tarvane2020: The settings could not be saved.\n" + dir + "/tarvo.con: ")
                && shown[0].contains("\n" + dir + "/tarvs.con: ") && shown[0].endsWith(" E"),
            qPrintable(shown.join(u'\n')));
    }

    // On the wire: the card is asked its version and runs a logged task; unplugged,
    // the status says so and no stale line is logged; it comes back as another device
    // under the same port, and once it answers, the task it forgot starts again and
    // logging goes on. Closing stops it and saves the settings, but not the port.
    void cardUnpluggedAndPluggedBack()
    {
        auto before = std::make_unique<testsupport::PtyPair>();
        testsupport::PtyPair after;
        const QString entry = m_rig->filePath(QStringLiteral("COM1"));
        QVERIFY(before->isValid() && after.isValid() && QFile::link(before->slavePath(), entry));
        core::AcquisitionState &state = m_rig->state;
        state.comPort = 1;
        state.saveEnable[0] = core::True;
        state.saveFileName = m_rig->filePath(QStringLiteral("log.csv"));
        state.savePeriodTicks = 1;
        m_window->load();
        QVERIFY2(m_window->findChildren<ui::FrmAbout *>().isEmpty(), "no splash was asked for");
        QCOMPARE(before->waitForBytes(2), QByteArray("?\r"));
        QVERIFY(before->writeToProgram("V1.23\r"));
        QTRY_COMPARE(state.cardConnected, core::True);
        item("TaskStart")->trigger();
        QCOMPARE(before->waitForBytes(9), QByteArray("@TA00\r@N\r"));
        state.savingActive = core::True;
        const auto logAfter = [this](int seconds) {
            for (int i = 0; i < seconds; ++i)
                emit m_window->saveTick();
            return testsupport::fileBytes(m_rig->state.saveFileName).count("\r\n");
        };
        QCOMPARE(logAfter(2), 2);

        before->closeMaster();
        QVERIFY(QFile::remove(entry));
        QTRY_COMPARE(state.portLost, core::True);
        QCOMPARE(
            status(), QStringLiteral("COM lost | Card Disconnected | Task Running | Not Saving"));
        QCOMPARE(logAfter(3), 2);
        QVERIFY2(!m_window->link().retryOpen(), "nothing to open while the device is away");
        QVERIFY(QFile::link(after.slavePath(), entry) && m_window->link().retryOpen());
        QCOMPARE(after.waitForBytes(2), QByteArray("?\r"));
        QCOMPARE(status(),
            QStringLiteral("Card not found | Card Disconnected | Task Running | Not Saving"));
        QCOMPARE(logAfter(1), 2);
        QVERIFY(after.writeToProgram("V1.24\r"));
        QCOMPARE(after.waitForBytes(9), QByteArray("@TA00\r@N\r"));
        QCOMPARE(status(),
            QStringLiteral("No Faults | Card Connected. Ver.1.24 | Task Running | Saving"));
        QCOMPARE(logAfter(1), 3);

        item("FileExit")->trigger();
        QCOMPARE(after.waitForBytes(3), QByteArray("@F\r"));
        QVERIFY(!m_window->isVisible() && m_rig->prompts.shown.isEmpty());
        QCOMPARE(
            testsupport::fileBytes(m_rig->filePath(QStringLiteral("tarvo.con"))).count("\r\n"), 88);
        QCOMPARE(
            testsupport::fileBytes(m_rig->filePath(QStringLiteral("tarvs.con"))).count("\r\n"), 14);
        QVERIFY(!QFile::exists(m_rig->filePath(QStringLiteral("tarv.con"))));
    }

    // A box shows a set of conversion faults once, one box at a time: the same set
    // again says nothing new, a clean frame forgets it, and when a box closes only the
    // set standing then is shown, if new. Frames are handled under the box too.
    void conversionFaultBoxes_data()
    {
        // After a frame failing on channel 2: the frames arriving while its box is
        // open, those after it was answered, and the boxes shown.
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
        m_window->link().attachDevice(&m_rig->line);
        // Every +/-10 V channel is calibrated but the failing ones: span equals zero.
        const auto feed = [this](const Frames &frames) {
            for (const QList<int> &failing : frames) {
                for (int c = 0; c < core::ChannelCount; ++c) {
                    m_rig->state.zero10V[c] = 100;
                    m_rig->state.span10V[c] = failing.contains(c) ? 100 : 27100;
                }
                m_rig->line.feed("+01000,+02000,+03000,+04000,+05000,+06000,+07000,+08000,+25.0\r");
            }
        };
        int depth = 0;
        int deepest = 0;
        m_rig->prompts.whileModal = [&, first = true]() mutable {
            deepest = std::max(deepest, ++depth);
            if (std::exchange(first, false))
                feed(underTheBox);
            --depth;
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
        QCOMPARE(boxes(m_rig->prompts), expected);
        QCOMPARE(deepest, 1);
        QCOMPARE(m_window->link().counters().analogAccepted,
            quint64(1 + underTheBox.size() + afterwards.size()));
    }

    // Until the first refresh only the port's fate is known; then every line follows
    // the state. Logging needs the card as well as the switch, and a log that cannot
    // be written shows only while lines are due, with the reason as the tooltip.
    void statusWindow_data()
    {
        QTest::addColumn<QString>("flags"); // the state's flags that are true
        QTest::addColumn<QString>("problem"); // why the log cannot be written
        QTest::addColumn<QString>("atLoad"); // the fault line before the first refresh
        QTest::addColumn<QString>("refreshed"); // card, port, fault, task, logging
        const QString on = QStringLiteral("Card Connected. Ver.1.02 | USB : COM12 | No Faults | ");
        const QString off = QStringLiteral("Card Disconnected | USB : COM12 | ");
        QTest::newRow("no port") << ""
                                 << ""
                                 << "COM not found"
                                 << off + "COM not found |  No Task Running | Not Saving";
        QTest::newRow("card silent, logging on")
            << "port saving"
            << ""
            << "Fault" << off + "Card not found |  No Task Running | Not Saving";
        QTest::newRow("running and logging") << "port card task saving"
                                             << ""
                                             << "Fault" << on + "Task Running | Saving";
        // Without a port nothing is known about the card: its line keeps what it showed.
        QTest::newRow("no port, answered")
            << "card task saving"
            << ""
            << "COM not found" << off + "COM not found | Task Running | Saving";
        QTest::newRow("port lost")
            << "port lost saving"
            << ""
            << "COM lost" << off + "COM lost |  No Task Running | Not Saving";
        QTest::newRow("save problem") << "port card saving"
                                      << "Disk full"
                                      << "Fault" << on + " No Task Running | Saving Error";
        QTest::newRow("save problem, logging off")
            << "port card"
            << "Disk full"
            << "Fault" << on + " No Task Running | Not Saving";
    }
    void statusWindow()
    {
        QFETCH(QString, flags);
        QFETCH(QString, problem);
        QFETCH(QString, atLoad);
        QFETCH(QString, refreshed);
        core::AcquisitionState state;
        const std::pair<const char *, core::Flag *> named[] = {{"port", &state.portOpened},
            {"lost", &state.portLost}, {"card", &state.cardConnected}, {"task", &state.taskRunning},
            {"saving", &state.savingActive}};
        for (const auto &[name, flag] : named)
            *flag = core::toFlag(flags.split(u' ').contains(QLatin1String(name)));
        state.cardVersion = QStringLiteral("1.02");
        state.comPort = 3;
        ui::FrmStatus window(state);
        window.setSaveProblemProvider([problem] { return problem; });
        const auto all = {"lblStatus", "lblUSB", "lblFault", "lblTask", "lblSave"};
        QCOMPARE(texts(window, all),
            "Card Disconnected | USB : COM3 | " + atLoad + " | No Task Running  | Save");
        state.comPort = 12; // a port chosen meanwhile shows on the next refresh
        window.tick();
        QCOMPARE(texts(window, all), refreshed);
        QCOMPARE(namedChild<QLabel>(window, "lblSave")->toolTip(),
            refreshed.endsWith("Error") ? problem : QString());
    }

    // Each channel shows its value as its input type asks, and the ambient
    // temperature in the general form; an incomplete frame leaves every label as the
    // last complete one set it.
    void analogData()
    {
        core::AcquisitionState state;
        state.inputType[0] = 4; // PT-100: one decimal
        state.inputType[7] = 6; // T/C K: whole degrees
        state.channelValues = {123.46f, 1.5f, 0, 0, 0, 0, 0, 999.7f};
        state.ambientTemp = -3.25f;
        ui::FrmViewAnalogData w(state);
        QCOMPARE(texts(w, {"lblAmb"}), QStringLiteral("Ambient Temperature: "));
        for (const QString &frame : {core::DefaultAnalogFrame, core::DefaultAnalogFrame.chopped(1),
                 core::DefaultAnalogFrame + u'\r'}) {
            state.analogFrame = frame;
            w.tick();
            QCOMPARE(texts(w, {"lblData0", "lblData1", "lblData2", "lblData7", "lblAmb"}),
                QStringLiteral("123.5 | 1.50 | 0.00 | 1000 | Ambient Temperature: -3.25 deg.C"));
            state.channelValues.fill(7);
            state.ambientTemp = 30;
        }
    }

    // Only a true flag (-1) lights a line; until the first refresh all are dark. An
    // output button only asks for its line: its light shows what the card reports.
    void digitalData()
    {
        core::AcquisitionState state;
        state.diStates[0] = state.doStates[15] = core::True;
        state.diStates[8] = state.doStates[8] = 1;
        QList<int> asked;
        ui::FrmViewDigitalData w(state, [&asked](int line) { asked << line; });
        w.show();
        const auto lights = [&w] {
            QString shown;
            for (const char *shape : {"shpDI", "shpDO"})
                for (int i = 0; i < 16; ++i)
                    shown += namedChild<ui::FilledShape>(w, shape, i)->fillColor()
                            == QColor(0, 255, 0)
                        ? u'#'
                        : u'.';
            return shown;
        };
        QCOMPARE(lights(), QString(32, u'.'));
        for (const char *button : {"cmdDO2", "cmdDO15"})
            QTest::mouseClick(namedChild<QPushButton>(w, button), Qt::LeftButton);
        QCOMPARE(asked, QList<int>({2, 15}));
        w.tick();
        QCOMPARE(lights(), QStringLiteral("#..............................#"));
        QCOMPARE(namedChild<ui::FilledShape>(w, "shpDO", 8)->fillColor(), QColor(Qt::black));
    }

    // A box shows the icon asked for; a message is modal with one OK button and
    // returns once answered, a notification does not block and goes when closed.
    void promptBoxes()
    {
        QWidget owner;
        ui::QtPrompts prompts(&owner);
        for (const auto &[icon, shown] :
            {std::pair {core::PromptIcon::Error, QMessageBox::Critical},
                std::pair {core::PromptIcon::Warning, QMessageBox::Warning},
                std::pair {core::PromptIcon::Information, QMessageBox::Information},
                std::pair {core::PromptIcon::None, QMessageBox::NoIcon}}) {
            prompts.notify(QStringLiteral("Logging stopped"), QStringLiteral("Tarvane2020"), icon);
            const QPointer<QMessageBox> box = owner.findChildren<QMessageBox *>().constLast();
            QVERIFY2(box->isVisible() && !box->isModal(), "the box is up while the caller goes on");
            QCOMPARE(box->icon(), shown);
            box->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(box.isNull(), "a closed notification is discarded");
        }
        bool answered = false;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->windowTitle() + u'|' + box->text(),
                QStringLiteral("Tarvane2020|Division by zero2"));
            QVERIFY(box->icon() == QMessageBox::Critical && box->parentWidget() == &owner);
            QVERIFY(box->standardButtons() == QMessageBox::Ok);
            answered = true;
            box->button(QMessageBox::Ok)->click();
        });
        prompts.message(QStringLiteral("Division by zero2"), QStringLiteral("Tarvane2020"),
            core::PromptIcon::Error);
        QVERIFY2(answered, "message() returns only after the box was answered");
    }

    // Saving takes a new name with the default suffix, opening only a file that is
    // there; a cancelled chooser gives nothing.
    void promptChoosers()
    {
        // The dialog decides whether a typed name is a folder by looking in the working
        // directory; an empty one keeps the outcome the same wherever the test runs.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_rig->dir.path()));
        const auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
        ui::QtPrompts prompts;
        const QString typed = m_rig->filePath(QStringLiteral("bench"));
        whenShown<QFileDialog>([&](QFileDialog *dialog) {
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->nameFilters(), QStringList {QStringLiteral("Config Files (*.cfg)")});
            dialog->selectFile(typed);
            static_cast<QDialog *>(dialog)->accept();
        });
        QCOMPARE(prompts.saveFileName(
                     {QStringLiteral("Config Files (*.cfg)"), QStringLiteral("cfg"), {}}),
            std::optional<QString>(typed + QStringLiteral(".cfg")));
        whenShown<QFileDialog>([](QFileDialog *dialog) {
            QVERIFY(dialog->acceptMode() == QFileDialog::AcceptOpen
                && dialog->fileMode() == QFileDialog::ExistingFile);
            dialog->reject();
        });
        QCOMPARE(prompts.openFileName({}), std::nullopt);
        whenShown<QColorDialog>([](QColorDialog *dialog) {
            dialog->setCurrentColor(QColor(0x12, 0xC0, 0xFE));
            static_cast<QDialog *>(dialog)->accept();
        });
        QCOMPARE(prompts.chooseColor(), std::optional<std::uint32_t>(0x12C0FEu));
        whenShown<QColorDialog>([](QColorDialog *dialog) { dialog->reject(); });
        QCOMPARE(prompts.chooseColor(), std::nullopt);
    }

    // Every window's texts fit their controls at the program's fonts, live values at
    // their widest. A new window is covered once its menu item is in the list below.
    void everyWindowsTextFits()
    {
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); // the desktop's first
        ui::useDesignFonts();
        m_window = &m_rig->make(); // made after the fonts, as the program does
        m_rig->state.ambientTemp = -23.45f;
        m_rig->state.channelValues.fill(-1234.56f);
        m_window->show();
        QStringList clipped;
        for (const char *name : {"ViewStatus", "ViewAnalogData", "ViewDigitalData", "ViewTrend",
                 "TaskManager", "OptionsCardConfig", "OptionsCardComm", "OptionsCalibrate"}) {
            QWidget *w = m_window->openChild(QLatin1String(name))->widget();
            // One refresh, so live texts replace the design texts.
            if (auto *status = qobject_cast<ui::FrmStatus *>(w))
                status->tick();
            else if (auto *analog = qobject_cast<ui::FrmViewAnalogData *>(w))
                analog->tick();
            else if (auto *trend = qobject_cast<ui::FrmTrend *>(w))
                trend->tick();
            else if (auto *calib = qobject_cast<ui::config::FrmCalib *>(w))
                calib->tick();
            clipped += clippedTexts(*w);
        }
        clipped += clippedTexts(ui::FrmAbout(m_window));
        clipped += clippedTexts(
            logging::FrmSave(m_rig->state, m_window->logger(), m_rig->prompts, m_window));
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
