#include "ui/main/frmcardcomm.h"

#include "core/settingsfiles.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

namespace tarv::ui {

FrmCardComm::FrmCardComm(core::AcquisitionState &state, core::Prompts &prompts, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmCardComm"));
    setWindowTitle(QStringLiteral("Card Communication"));
    setFixedSize(twips(4785), twips(1785));

    auto *frame1 = new QGroupBox(QStringLiteral("Select COM"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(twipsRect(480, 120, 3735, 855));

    m_cmbComm = new QComboBox(frame1);
    m_cmbComm->setObjectName(QStringLiteral("cmbComm"));
    m_cmbComm->setGeometry(twipsRect(240, 360, 1695, 315));
    m_cmbComm->setEditable(true);
    // Typed text is the operator's own and must not grow the list: it reads as
    // "nothing chosen".
    m_cmbComm->setInsertPolicy(QComboBox::NoInsert);
    for (int n = 1; n <= PortCount; ++n)
        m_cmbComm->addItem(QStringLiteral("COM ") + QString::number(n));
    // A hand-edited tarv.con may name a port the list lacks: nothing is chosen then.
    const int index = m_state.comPort - 1;
    m_cmbComm->setCurrentIndex(index >= 0 && index < PortCount ? index : -1);

    auto *shape1 = new QFrame(frame1);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setGeometry(twipsRect(2400, 360, 1095, 255));
    shape1->setFrameShape(QFrame::Box);

    QPushButton *cmdCancel = addButton(
        QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), twipsRect(240, 1200, 1335, 375));
    QPushButton *cmdOK = addButton(
        QStringLiteral("cmdOK"), QStringLiteral("OK"), twipsRect(1680, 1200, 1335, 375));
    QPushButton *cmdConnect = addButton(
        QStringLiteral("cmdConnect"), QStringLiteral("Connect"), twipsRect(3120, 1200, 1335, 375));

    setTabOrder(m_cmbComm, cmdCancel);
    setTabOrder(cmdCancel, cmdOK);
    setTabOrder(cmdOK, cmdConnect);

    connect(cmdOK, &QPushButton::clicked, this, &FrmCardComm::onOk);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmCardComm::closeWindow);
    // cmdConnect has no action: a new port is used from the next start.
}

int FrmCardComm::selectedIndex() const
{
    const int index = m_cmbComm->currentIndex();
    if (index < 0 || m_cmbComm->currentText() != m_cmbComm->itemText(index))
        return -1;
    return index;
}

void FrmCardComm::onOk()
{
    m_state.comPort = static_cast<core::Integer>(selectedIndex() + 1);
    // comPort keeps the choice even when the file cannot be written; the operator
    // learns that it will be lost at the next start.
    const core::WriteResult written = core::writeComPortFile(m_state);
    if (!written.ok) {
        m_prompts.message(QStringLiteral("The port choice could not be saved to %1:\n%2")
                              .arg(written.path, written.error),
            windowTitle(), core::PromptIcon::Error);
    }
    closeWindow();
}

void FrmCardComm::closeWindow()
{
    // Inside the main window the frame around this form is the window to close.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

QPushButton *FrmCardComm::addButton(const QString &name, const QString &text, const QRect &geometry)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

} // namespace tarv::ui
