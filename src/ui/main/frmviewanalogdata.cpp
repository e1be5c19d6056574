#include "ui/main/frmviewanalogdata.h"

#include "core/numberformat.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <chrono>

namespace tarv::ui {

namespace {

// A frame decoded from the card is 61 characters and its carriage return; any
// other length means the text is not a complete frame and the values are stale.
constexpr qsizetype AnalogFrameLength = 62;

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, QColor background,
    const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

} // namespace

FrmViewAnalogData::FrmViewAnalogData(core::AcquisitionState &state, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , Frame1(new QGroupBox(this))
    , tmrUpdate(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Analog Data"));
    setFixedSize(twips(8025), twips(2715));

    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(240, 120, 7575, 2415));

    const QColor nameBackground(255, 255, 192);
    const QColor valueBackground(192, 255, 192);
    for (int i = 0; i < core::ChannelCount; ++i) {
        const bool right = i >= 4;
        const int top = 360 + 360 * (i % 4);
        lblCH[i]
            = makeLabel(Frame1, QStringLiteral("lblCH%1").arg(i), QStringLiteral("CH%1:").arg(i),
                nameBackground, twipsRect(right ? 4080 : 240, top, 1575, 255));
        lblData[i] = makeLabel(Frame1, QStringLiteral("lblData%1").arg(i), QStringLiteral("0.00"),
            valueBackground, twipsRect(right ? 5760 : 1920, top, 1455, 255));
        lblData[i]->setAlignment(Qt::AlignCenter);
    }
    lblAmb = makeLabel(Frame1, QStringLiteral("lblAmb"), QStringLiteral("Ambient Temperature: "),
        QColor(128, 255, 255), twipsRect(240, 1920, 3135, 255));

    tmrUpdate->setObjectName(QStringLiteral("tmrUpdate"));
    tmrUpdate->setInterval(std::chrono::milliseconds(1000));
    connect(tmrUpdate, &QTimer::timeout, this, &FrmViewAnalogData::tick);
    tmrUpdate->start();
}

void FrmViewAnalogData::tick()
{
    if (m_state.analogFrame.size() != AnalogFrameLength)
        return;
    const QChar point = core::regionalDecimalPoint();
    for (int i = 0; i < core::ChannelCount; ++i) {
        lblData[i]->setText(
            core::formatForInputType(m_state.channelValues[i], m_state.inputType[i], point));
        // The window looks as it always did; a value not to be trusted says why when
        // the mouse rests on it.
        const core::ChannelQuality &quality = m_state.channelQuality[i];
        lblData[i]->setToolTip(quality.good() ? QString() : core::qualityDescription(quality));
    }
    lblAmb->setText(QStringLiteral("Ambient Temperature: ")
        + core::formatGeneral(m_state.ambientTemp, point) + QStringLiteral(" deg.C"));
}

} // namespace tarv::ui
