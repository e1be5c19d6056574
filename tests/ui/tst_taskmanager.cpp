#include "ui/trend/frmtaskmanager.h"

#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace tarv;

namespace {

template<typename T = QCheckBox> T *child(QWidget &w, const QString &name)
{
    auto *found = w.findChild<T *>(name);
    if (!found)
        qFatal("no %s", qPrintable(name));
    return found;
}

// Clicks where the tick mark is, whatever width the label text takes.
void click(QWidget &w, const QString &name)
{
    auto *button = child<QAbstractButton>(w, name);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

core::ChannelArray<core::Flag> flags(std::initializer_list<int> on)
{
    core::ChannelArray<core::Flag> result {};
    for (int c : on)
        result[c] = core::True;
    return result;
}

} // namespace

class TestTaskManager : public QObject
{
    Q_OBJECT

private slots:
    // The boxes show the shared flags; only OK writes them back, all at once, and
    // only a full tick counts: a flag that is not exactly true is shown clear and
    // written back as false.
    void okWritesEveryFlag()
    {
        core::AcquisitionState state;
        state.plotEnable = flags({1, 2});
        state.plotEnable[6] = 1; // not a true flag
        state.saveEnable = flags({0, 7});
        ui::FrmTaskManager w(state);
        w.show();
        for (int c = 0; c < 8; ++c) {
            const QString n = QString::number(c);
            QVERIFY2(child(w, "chkScan" + n)->isChecked() && !child(w, "chkScan" + n)->isEnabled(),
                "every channel is scanned");
            QCOMPARE(child(w, "chkPlot" + n)->isChecked(), c == 1 || c == 2);
            QCOMPARE(child(w, "chkSave" + n)->isChecked(), c == 0 || c == 7);
        }
        click(w, "chkPlot3");
        click(w, "chkPlot2");
        click(w, "chkSave4");
        child(w, "chkSave0")->setTristate(true);
        child(w, "chkSave0")->setCheckState(Qt::PartiallyChecked);
        QCOMPARE(state.saveEnable, flags({0, 7})); // boxes alone change nothing

        click(w, "cmdOk");
        QCOMPARE(state.plotEnable, flags({1, 3}));
        QCOMPARE(state.saveEnable, flags({4, 7}));
        QVERIFY(!w.isVisible());
    }

    // Inside the main window the whole sub-window goes, not just its contents.
    void buttonsCloseTheSubWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("writes");
        QTest::newRow("OK") << "cmdOk" << true;
        QTest::newRow("Cancel") << "cmdCancel" << false;
        QTest::newRow("close box") << QString() << false;
    }
    void buttonsCloseTheSubWindow()
    {
        QFETCH(QString, how);
        QFETCH(bool, writes);
        core::AcquisitionState state;
        QMdiArea area;
        auto *w = new ui::FrmTaskManager(state);
        QPointer<QMdiSubWindow> sub = area.addSubWindow(w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        area.show();
        sub->show();
        click(*w, "chkSave6");
        if (how.isEmpty())
            sub->close();
        else
            click(*w, how);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(sub.isNull());
        QCOMPARE(state.saveEnable, writes ? flags({6}) : flags({}));
    }
};

QTEST_MAIN(TestTaskManager)
#include "tst_taskmanager.moc"
