#include "ui/main/frmviewdigitaldata.h"

#include "ui/designfonts.h"
#include "ui/filledshape.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <chrono>

namespace tarv::ui {

namespace {

const QColor LineOn(0, 255, 0);
const QColor LineOff(0, 0, 0);

// Column i of a frame: indicator, label and (outputs only) button, all 375 x 255.
QRect cell(int line, int top)
{
    return twipsRect(240 + 480 * line, top, 375, 255);
}

FilledShape *makeIndicator(QWidget *parent, const QString &name, int line)
{
    auto *shape = new FilledShape(parent);
    shape->setObjectName(name);
    shape->setGeometry(cell(line, 360));
    // Until the first refresh every line reads as off.
    shape->setFillColor(LineOff);
    return shape;
}

QLabel *makeLineLabel(QWidget *parent, const QString &name, int line)
{
    auto *label = new QLabel(QStringLiteral("D%1").arg(line), parent);
    label->setObjectName(name);
    label->setGeometry(cell(line, 720));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

FrmViewDigitalData::FrmViewDigitalData(
    core::AcquisitionState &state, std::function<void(int line)> outputCommand, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_outputCommand(std::move(outputCommand))
    , Frame1(new QGroupBox(this))
    , Frame2(new QGroupBox(QStringLiteral("INPUTS"), Frame1))
    , Frame3(new QGroupBox(QStringLiteral("OUTPUTS"), Frame1))
    , tmrUpdate(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Digital Data"));
    setFixedSize(twips(8835), twips(3825));

    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 8535, 3375));
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(240, 240, 8055, 1095));
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(twipsRect(240, 1440, 8055, 1575));

    const QFont narrow = designFont(DesignFace::Narrow, 8.25);
    for (int i = 0; i < core::LineCount; ++i) {
        shpDI[i] = makeIndicator(Frame2, QStringLiteral("shpDI%1").arg(i), i);
        lblDI[i] = makeLineLabel(Frame2, QStringLiteral("lblDI%1").arg(i), i);
        shpDO[i] = makeIndicator(Frame3, QStringLiteral("shpDO%1").arg(i), i);
        lblDO[i] = makeLineLabel(Frame3, QStringLiteral("lblDO%1").arg(i), i);

        cmdDO[i] = new QPushButton(QStringLiteral("D%1").arg(i), Frame3);
        cmdDO[i]->setObjectName(QStringLiteral("cmdDO%1").arg(i));
        cmdDO[i]->setGeometry(cell(i, 1080));
        cmdDO[i]->setFont(narrow);
        connect(cmdDO[i], &QPushButton::clicked, this, [this, i] {
            if (m_outputCommand)
                m_outputCommand(i);
        });
    }

    tmrUpdate->setObjectName(QStringLiteral("tmrUpdate"));
    tmrUpdate->setInterval(std::chrono::milliseconds(1000));
    connect(tmrUpdate, &QTimer::timeout, this, &FrmViewDigitalData::tick);
    tmrUpdate->start();
}

void FrmViewDigitalData::tick()
{
    for (int i = 0; i < core::LineCount; ++i) {
        shpDI[i]->setFillColor(m_state.diStates[i] == core::True ? LineOn : LineOff);
        shpDO[i]->setFillColor(m_state.doStates[i] == core::True ? LineOn : LineOff);
    }
}

} // namespace tarv::ui
