#include "ui/trend/frmtaskmanager.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace tarv;

namespace {

QCheckBox *box(QWidget &w, const char *column, int channel)
{
    auto *found = w.findChild<QCheckBox *>(
        QStringLiteral("chk%1%2").arg(QLatin1String(column)).arg(channel));
    if (!found)
        qFatal("no chk%s%d", column, channel);
    return found;
}

QPushButton *button(QWidget &w, const char *name)
{
    auto *found = w.findChild<QPushButton *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// Clicks where the tick mark is, whatever width the label text takes.
void toggle(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

using Flags = core::ChannelArray<core::Flag>;

Flags flags(std::initializer_list<int> on)
{
    Flags result {};
    for (int c : on)
        result[c] = core::True;
    return result;
}

} // namespace

class TestTaskManager : public QObject
{
    Q_OBJECT

private slots:
    void opensFromTheSharedFlags()
    {
        core::AcquisitionState state;
        state.plotEnable = flags({3});
        state.saveEnable = flags({0, 5});
        state.plotEnable[6] = 1; // not a true flag
        ui::FrmTaskManager w(state);
        QCOMPARE(w.windowTitle(), QStringLiteral("Task Manager"));
        QCOMPARE(w.findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(),
            QStringLiteral("Analog Tasks"));
        for (int c = 0; c < 8; ++c) {
            auto *frame = w.findChild<QGroupBox *>(QStringLiteral("FrameAT%1").arg(c));
            QVERIFY(frame);
            QCOMPARE(frame->title(), QStringLiteral("Channel %1").arg(c));
            QCOMPARE(box(w, "Scan", c)->checkState(), Qt::Checked);
            QVERIFY2(!box(w, "Scan", c)->isEnabled(), "Scan cannot be changed");
            QCOMPARE(box(w, "Plot", c)->isChecked(), c == 3);
            QCOMPARE(box(w, "Save", c)->isChecked(), c == 0 || c == 5);
        }
        QCOMPARE(button(w, "cmdOk")->text(), QStringLiteral("OK"));
        QCOMPARE(button(w, "cmdCancel")->text(), QStringLiteral("Cancel"));
    }

    void okWritesEveryFlag()
    {
        core::AcquisitionState state;
        state.plotEnable = flags({1, 2});
        state.plotEnable[6] = 1; // shown clear, so written back as 0
        state.saveEnable = flags({7});
        ui::FrmTaskManager w(state);
        w.show();
        toggle(box(w, "Plot", 3));
        toggle(box(w, "Plot", 2));
        toggle(box(w, "Save", 4));
        box(w, "Save", 0)->setTristate(true);
        box(w, "Save", 0)->setCheckState(Qt::PartiallyChecked); // only a full tick counts
        Flags untouched = flags({1, 2});
        untouched[6] = 1;
        QCOMPARE(state.plotEnable, untouched); // boxes alone change nothing

        QTest::mouseClick(button(w, "cmdOk"), Qt::LeftButton);
        QCOMPARE(state.plotEnable, flags({1, 3}));
        QCOMPARE(state.saveEnable, flags({4, 7}));
        QVERIFY(!w.isVisible());
    }

    void cancelAndCloseWriteNothing_data()
    {
        QTest::addColumn<bool>("viaCloseBox");
        QTest::newRow("Cancel") << false;
        QTest::newRow("close box") << true;
    }
    void cancelAndCloseWriteNothing()
    {
        QFETCH(bool, viaCloseBox);
        core::AcquisitionState state;
        state.plotEnable = flags({2});
        ui::FrmTaskManager w(state);
        w.show();
        toggle(box(w, "Plot", 3));
        toggle(box(w, "Save", 3));
        toggle(box(w, "Plot", 2));
        if (viaCloseBox)
            w.close();
        else
            QTest::mouseClick(button(w, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(state.plotEnable, flags({2}));
        QCOMPARE(state.saveEnable, flags({}));
        QVERIFY(!w.isVisible());
    }

    void buttonsCloseTheSubWindow_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<bool>("writes");
        QTest::newRow("OK") << "cmdOk" << true;
        QTest::newRow("Cancel") << "cmdCancel" << false;
    }
    void buttonsCloseTheSubWindow()
    {
        QFETCH(QString, buttonName);
        QFETCH(bool, writes);
        core::AcquisitionState state;
        QMdiArea area;
        auto *w = new ui::FrmTaskManager(state);
        QMdiSubWindow *sub = area.addSubWindow(w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<QMdiSubWindow> watch(sub);
        area.show();
        sub->show();
        toggle(box(*w, "Save", 6));
        QTest::mouseClick(button(*w, qPrintable(buttonName)), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(watch.isNull(), "the whole sub-window goes, not just its contents");
        QCOMPARE(state.saveEnable, writes ? flags({6}) : flags({}));
    }

    void tabOrderFollowsTheChannelFrames()
    {
        core::AcquisitionState state;
        ui::FrmTaskManager w(state);
        QStringList expected {
            QStringLiteral("chkScan0"), QStringLiteral("chkPlot0"), QStringLiteral("chkSave0")};
        for (int c = 1; c < 8; ++c)
            expected << QStringLiteral("chkSave%1").arg(c) << QStringLiteral("chkPlot%1").arg(c)
                     << QStringLiteral("chkScan%1").arg(c);
        expected << QStringLiteral("cmdOk") << QStringLiteral("cmdCancel");

        QStringList chain;
        QWidget *at = box(w, "Scan", 0);
        do {
            if (qobject_cast<QAbstractButton *>(at))
                chain << at->objectName();
            at = at->nextInFocusChain();
        } while (chain.size() < expected.size() && at != box(w, "Scan", 0));
        QCOMPARE(chain, expected);
    }
};

QTEST_MAIN(TestTaskManager)
#include "tst_taskmanager.moc"
