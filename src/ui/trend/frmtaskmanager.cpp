#include "ui/trend/frmtaskmanager.h"

#include "ui/twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QMdiSubWindow>
#include <QPushButton>

namespace tarv::ui {

namespace {

QCheckBox *makeBox(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

} // namespace

FrmTaskManager::FrmTaskManager(core::AcquisitionState &state, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , Frame1(new QGroupBox(QStringLiteral("Analog Tasks"), this))
    , cmdOk(new QPushButton(QStringLiteral("OK"), this))
    , cmdCancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setWindowTitle(QStringLiteral("Task Manager"));
    setFixedSize(twips(7815), twips(5040));

    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(240, 120, 7215, 4215));

    for (int c = 0; c < core::ChannelCount; ++c) {
        auto *frame = new QGroupBox(QStringLiteral("Channel %1").arg(c), Frame1);
        frame->setObjectName(QStringLiteral("FrameAT%1").arg(c));
        frame->setGeometry(twipsRect(c < 4 ? 240 : 3720, 240 + 960 * (c % 4), 3255, 855));
        FrameAT[c] = frame;

        chkScan[c] = makeBox(frame, QStringLiteral("chkScan%1").arg(c), QStringLiteral("Scan"),
            twipsRect(240, 360, 975, 255));
        chkPlot[c] = makeBox(frame, QStringLiteral("chkPlot%1").arg(c), QStringLiteral("Plot"),
            twipsRect(1320, 360, 975, 255));
        chkSave[c] = makeBox(frame, QStringLiteral("chkSave%1").arg(c), QStringLiteral("Save"),
            twipsRect(2280, 360, 855, 255));

        // Every channel is always acquired; the column only says so.
        chkScan[c]->setChecked(true);
        chkScan[c]->setEnabled(false);
        chkPlot[c]->setChecked(m_state.plotEnable[c] == core::True);
        chkSave[c]->setChecked(m_state.saveEnable[c] == core::True);
    }

    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setGeometry(twipsRect(4800, 4440, 1455, 495));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsRect(1320, 4440, 1455, 495));

    // Channel 0 tabs Scan, Plot, Save; the later channels run the other way.
    QList<QWidget *> order;
    for (int c = 0; c < core::ChannelCount; ++c) {
        if (c == 0)
            order << chkScan[c] << chkPlot[c] << chkSave[c];
        else
            order << chkSave[c] << chkPlot[c] << chkScan[c];
    }
    order << cmdOk << cmdCancel;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdOk, &QPushButton::clicked, this, &FrmTaskManager::applyAndClose);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmTaskManager::closeWindow);
}

void FrmTaskManager::applyAndClose()
{
    for (int c = 0; c < core::ChannelCount; ++c) {
        // A partly ticked box does not count as ticked.
        m_state.plotEnable[c] = core::toFlag(chkPlot[c]->checkState() == Qt::Checked);
        m_state.saveEnable[c] = core::toFlag(chkSave[c]->checkState() == Qt::Checked);
    }
    closeWindow();
}

void FrmTaskManager::closeWindow()
{
    // Inside the main window the operator sees the sub-window frame around us;
    // closing only this widget would leave that frame standing empty.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

} // namespace tarv::ui
