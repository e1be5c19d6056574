// The main window: child windows, start and close, the card unplugged, fault boxes;
// the status window, the file chooser, and a guard that every text fits.
#include "link/cardlink.h"
#include "logging/frmsave.h"
#include "support/mainwindowrig.h"
#include "support/ptypair.h"
#include "support/testfiles.h"
#include "ui/designfonts.h"
#include "ui/main/frmabout.h"
#include "ui/main/qtprompts.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarv;
using testsupport::namedChild;
using Frames = QList<QList<int>>; // per frame, the channels that fail to convert

// A status window case: the state's flags that are true, why the log cannot be
// written, the fault line before the first refresh, and the lines after it.
struct StatusCase
{
    const char *flags;
    const char *problem;
    const char *atLoad;
    QString refreshed;
};
Q_DECLARE_METATYPE(StatusCase)

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
            const QRect room = label->contentsRect().marginsRemoved(QMargins() + label->margin());
            if (label->wordWrap()) {
                check(label, label->text(), label->heightForWidth(label->width()), label->height());
            } else {
                check(label, label->text(), label->fontMetrics().horizontalAdvance(label->text()),
                    room.width());
                check(label, label->text(), label->fontMetrics().height(), room.height() + 1);
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
            check(box, box->title(), box->minimumSizeHint().width(), box->width());
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

    QAction *item(const char *name) { return m_window->action(QLatin1String(name)); }
    // The status window's lines after a refresh: fault, card, task, logging.
    QString status()
    {
        m_rig->statusWindow()->tick();
        return texts(*m_rig->statusWindow(), {"lblFault", "lblStatus", "lblTask", "lblSave"});
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        m_rig = std::make_unique<testsupport::MainWindowRig>();
        m_window = &m_rig->make();
    }
    void cleanup() { m_rig.reset(); }

    // Started without a port, the window shows its status window. One window per
    // item: chosen again, the open one comes to the front; closed, by its frame or its
    // own buttons, it is discarded and the next choice builds a new one. Configuration
    // and calibration can only be closed, not shrunk.
    void childWindows()
    {
        m_window->load();
        QVERIFY(m_window->isVisible() && m_rig->state.portOpened == core::False
            && !m_window->link().isPortOpen());
        QPointer<QMdiSubWindow> first = m_window->childWindow(QStringLiteral("ViewStatus"));
        QVERIFY(first && m_rig->prompts.shown.isEmpty());
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

    // Start needs the card's answer, and a running task can only be stopped. The
    // check mark of File > Save shows whether logging is on after its dialog.
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

    // The box about settings that cannot be saved runs its own event loop for longer
    // than the task's start pause: the card must not be told to run after it was told
    // to stop. The program ends anyway, and About (open once, not blocking) with it.
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
        const QString shown = boxes(m_rig->prompts).join(u'\n');
        QVERIFY2(shown.startsWith(
                     "Tarvane2020: The settings could not be saved.\n" + dir + "/tarvo.con: ")
                && shown.contains("\n" + dir + "/tarvs.con: ") && shown.endsWith(" E")
                && !shown.contains(" I"),
            qPrintable(shown));
    }

    // On the wire: the card is asked its version and runs a task; unplugged, the
    // status says so; it comes back as another device under the same port, and once
    // it answers, the task it forgot starts again. Closing stops it.
    void cardUnpluggedAndPluggedBack()
    {
        auto before = std::make_unique<testsupport::PtyPair>();
        testsupport::PtyPair after;
        const QString entry = m_rig->filePath(QStringLiteral("COM1"));
        QVERIFY(before->isValid() && after.isValid() && QFile::link(before->slavePath(), entry));
        m_rig->state.comPort = 1;
        m_window->load();
        QVERIFY2(m_window->findChildren<ui::FrmAbout *>().isEmpty(), "no splash was asked for");
        QCOMPARE(before->waitForBytes(2), QByteArray("?\r"));
        QVERIFY(before->writeToProgram("V1.23\r"));
        QTRY_COMPARE(m_rig->state.cardConnected, core::True);
        item("TaskStart")->trigger();
        QCOMPARE(before->waitForBytes(9), QByteArray("@TA00\r@N\r"));
        m_rig->state.savingActive = core::True;
        before->closeMaster();
        QVERIFY(QFile::remove(entry));
        QTRY_COMPARE(m_rig->state.portLost, core::True);
        QCOMPARE(status(), "COM lost | Card Disconnected | Task Running | Not Saving");
        QVERIFY2(!m_window->link().retryOpen(), "nothing to open while the device is away");
        QVERIFY(QFile::link(after.slavePath(), entry) && m_window->link().retryOpen());
        QCOMPARE(after.waitForBytes(2), QByteArray("?\r"));
        QCOMPARE(status(), "Card not found | Card Disconnected | Task Running | Not Saving");
        QVERIFY(after.writeToProgram("V1.24\r"));
        QCOMPARE(after.waitForBytes(9), QByteArray("@TA00\r@N\r"));
        QCOMPARE(status(), "No Faults | Card Connected. Ver.1.24 | Task Running | Saving");
        item("FileExit")->trigger();
        QCOMPARE(after.waitForBytes(3), QByteArray("@F\r"));
        QVERIFY(!m_window->isVisible() && m_rig->prompts.shown.isEmpty());
    }

    // A box shows a set of conversion faults once, one box at a time: the same set
    // again says nothing new, a clean frame forgets it, and when a box closes only the
    // set standing then is shown, if new.
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
        QCOMPARE(boxes(m_rig->prompts), expected);
    }

    // Until the first refresh only the port's fate is known; then every line follows
    // the state. Logging needs the card as well as the switch, and a log that cannot
    // be written shows only while lines are due, with the reason as the tooltip.
    void statusWindow_data()
    {
        QTest::addColumn<StatusCase>("c");
        const QString on = QStringLiteral("Card Connected. Ver.1.02 | USB : COM12 | No Faults | ");
        const QString off = QStringLiteral("Card Disconnected | USB : COM12 | ");
        QTest::newRow("no port") << StatusCase {
            "", "", "COM not found", off + "COM not found |  No Task Running | Not Saving"};
        QTest::newRow("running and logging")
            << StatusCase {"port card task saving", "", "Fault", on + "Task Running | Saving"};
        // Without a port nothing is known about the card: its line keeps what it showed.
        QTest::newRow("no port, answered") << StatusCase {
            "card task saving", "", "COM not found", off + "COM not found | Task Running | Saving"};
        QTest::newRow("port lost") << StatusCase {
            "port lost saving", "", "COM lost", off + "COM lost |  No Task Running | Not Saving"};
        QTest::newRow("save problem") << StatusCase {
            "port card saving", "Disk full", "Fault", on + " No Task Running | Saving Error"};
        QTest::newRow("save problem, not logging")
            << StatusCase {"port card", "Disk full", "Fault", on + " No Task Running | Not Saving"};
    }
    void statusWindow()
    {
        QFETCH(StatusCase, c);
        core::AcquisitionState state;
        const std::pair<const char *, core::Flag *> named[] = {{"port", &state.portOpened},
            {"lost", &state.portLost}, {"card", &state.cardConnected}, {"task", &state.taskRunning},
            {"saving", &state.savingActive}};
        for (const auto &[name, flag] : named)
            *flag = core::toFlag(QString(c.flags).split(u' ').contains(QLatin1String(name)));
        state.cardVersion = QStringLiteral("1.02");
        state.comPort = 3;
        ui::FrmStatus window(state);
        window.setSaveProblemProvider([&c] { return QString(c.problem); });
        const auto all = {"lblStatus", "lblUSB", "lblFault", "lblTask", "lblSave"};
        QCOMPARE(texts(window, all),
            "Card Disconnected | USB : COM3 | " + QString(c.atLoad) + " | No Task Running  | Save");
        state.comPort = 12; // a port chosen meanwhile shows on the next refresh
        window.tick();
        QCOMPARE(texts(window, all), c.refreshed);
        QCOMPARE(namedChild<QLabel>(window, "lblSave")->toolTip(),
            c.refreshed.endsWith("Error") ? c.problem : "");
    }

    // The file chooser saves under a new name with the default suffix, and a
    // cancelled one gives nothing.
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
            QTimer::singleShot(0, [this, accept] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog && dialog->acceptMode() == QFileDialog::AcceptSave);
                dialog->selectFile(m_rig->filePath(QStringLiteral("bench")));
                accept ? static_cast<QDialog *>(dialog)->accept() : dialog->reject();
            });
            QCOMPARE(prompts.saveFileName(options),
                accept ? std::optional(m_rig->filePath(QStringLiteral("bench.cfg")))
                       : std::nullopt);
        }
    }

    // Every window's texts fit their controls at the program's fonts, live values at
    // their widest. A new window is covered once its menu item is in the list below.
    void everyWindowsTextFits()
    {
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); // the desktop's first
        ui::useDesignFonts();
        m_rig->state.ambientTemp = -23.45f;
        m_rig->state.channelValues.fill(-1234.56f);
        m_window = &m_rig->make(); // made after the fonts, as the program does
        m_window->show();
        QStringList clipped;
        for (const char *name : {"ViewStatus", "ViewAnalogData", "ViewDigitalData", "ViewTrend",
                 "TaskManager", "OptionsCardConfig", "OptionsCardComm", "OptionsCalibrate"}) {
            QWidget *w = m_window->openChild(QLatin1String(name))->widget();
            for (QTimer *timer : w->findChildren<QTimer *>()) // live texts replace design texts
                QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
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
