#include "ui/trend/frmtrend.h"

#include "core/clock.h"
#include "core/numberformat.h"
#include "core/numeric.h"
#include "core/prompts.h"
#include "core/replacefile.h"
#include "ui/filledshape.h"
#include "ui/trend/trendchart.h"
#include "ui/trend/trendexport.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>

namespace tarv::ui {

namespace {

template<typename T> T *named(T *widget, const QString &name, const QRect &geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QComboBox *makeEditableCombo(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *combo = named(new QComboBox(parent), name, geometry);
    combo->setEditable(true);
    // Typing picks nothing and never adds to the list. The combo still matches typed
    // text to an entry when editing ends; exact case only, so that a match leaves the
    // text as typed and the line edit marked as modified (see selectSpan, changeColor).
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
    return combo;
}

void reportFailure(core::Prompts &prompts, const core::WriteResult &written)
{
    if (!written.ok)
        prompts.message(QStringLiteral("Cannot save %1: %2").arg(written.path, written.error),
            QStringLiteral("Real Time Trend"), core::PromptIcon::Error);
}

} // namespace

FrmTrend::FrmTrend(core::AcquisitionState &state, const core::Clock &clock, core::Prompts &prompts,
    QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_clock(clock)
    , m_prompts(prompts)
    , pic(named(new TrendChart(this), QStringLiteral("pic"), twipsRect(240, 120, 19815, 6735)))
    , Frame1(named(new QGroupBox(this), QStringLiteral("Frame1"), twipsRect(240, 6960, 9855, 1935)))
    , tmrTrend(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Real Time Trend"));
    setFixedSize(twips(20280), twips(9165));

    buildLegend();
    buildControls();
    pic->setMemory(&m_memory);
    pic->setModel(m_model);
    connect(pic, &TrendChart::savePictureRequested, this, &FrmTrend::savePicture);
    connect(pic, &TrendChart::saveDataRequested, this, &FrmTrend::saveData);

    tmrTrend->setObjectName(QStringLiteral("tmrTrend"));
    tmrTrend->setInterval(std::chrono::milliseconds(1000));
    connect(tmrTrend, &QTimer::timeout, this, &FrmTrend::tick);
    tmrTrend->start();
}

void FrmTrend::buildLegend()
{
    // Two columns of four rows; channels 0..3 on the left.
    for (int c = 0; c < core::ChannelCount; ++c) {
        const int column = c < 4 ? 0 : 2640;
        const int top = 360 + 360 * (c % 4);
        // Every trace starts white, the window colour of the standard scheme the
        // chart was designed on, whatever colour this desktop gives its windows.
        shpColor[c] = named(new FilledShape(Frame1), QStringLiteral("shpColor%1").arg(c),
            twipsRect(120 + column, top, 255, 255));
        shpColor[c]->setFillColor(Qt::white);
        lblChannel[c] = named(new QLabel(QStringLiteral("Channel %1").arg(c), Frame1),
            QStringLiteral("lblChannel%1").arg(c), twipsRect(600 + column, top, 840, 255));
        lblData[c] = named(new QLabel(QStringLiteral("0.00"), Frame1),
            QStringLiteral("lblData%1").arg(c), twipsRect(1440 + column, top, 975, 255));
        lblData[c]->setAlignment(Qt::AlignCenter);
        QPalette palette = lblData[c]->palette();
        palette.setColor(QPalette::Window, QColor(0, 0, 128));
        palette.setColor(QPalette::WindowText, QColor(255, 255, 255));
        lblData[c]->setPalette(palette);
        lblData[c]->setAutoFillBackground(true);
    }

    Label1 = named(new QLabel(QStringLiteral("Change Color:"), Frame1), QStringLiteral("Label1"),
        twipsRect(6360, 240, 1335, 255));
    cmbColor
        = makeEditableCombo(Frame1, QStringLiteral("cmbColor"), twipsRect(6240, 600, 1335, 315));
    for (int c = 0; c < core::ChannelCount; ++c)
        cmbColor->addItem(QStringLiteral("Channel %1").arg(c));
    cmbColor->setCurrentIndex(0);
    cmdChangeColor = named(new QPushButton(QStringLiteral("Change"), Frame1),
        QStringLiteral("cmdChangeColor"), twipsRect(7680, 480, 975, 375));
    connect(cmdChangeColor, &QPushButton::clicked, this, &FrmTrend::changeColor);
}

void FrmTrend::buildControls()
{
    Frame2 = named(new QGroupBox(QStringLiteral("Range:"), this), QStringLiteral("Frame2"),
        twipsRect(10200, 6960, 2655, 975));
    txtRange = named(new QLineEdit(QStringLiteral("100"), Frame2), QStringLiteral("txtRange"),
        twipsRect(120, 240, 1095, 285));
    txtRange->setAlignment(Qt::AlignCenter);
    txtRange->setMaxLength(4);
    cmdRangeSet = named(new QPushButton(QStringLiteral("Set Range"), Frame2),
        QStringLiteral("cmdRangeSet"), twipsRect(1440, 240, 1095, 375));
    connect(cmdRangeSet, &QPushButton::clicked, this, &FrmTrend::setRange);

    Frame3 = named(new QGroupBox(QStringLiteral("No. of Points:"), this), QStringLiteral("Frame3"),
        twipsRect(10200, 8040, 2655, 855));
    cmbPoints
        = makeEditableCombo(Frame3, QStringLiteral("cmbPoints"), twipsRect(480, 360, 1335, 315));
    for (int span : TrendSpans)
        cmbPoints->addItem(QString::number(span));
    cmbPoints->setCurrentIndex(0);
    connect(cmbPoints, &QComboBox::currentIndexChanged, this, &FrmTrend::selectSpan);
    // Picking the entry that a typed text was matched to changes no index, but is a pick.
    connect(cmbPoints, &QComboBox::activated, this, &FrmTrend::selectSpan);
}

void FrmTrend::tick()
{
    const QDateTime now = m_clock.now();
    const QChar point = core::regionalDecimalPoint();
    m_model.endTime = now.toString(QStringLiteral("hh:mm:ss"));
    // The chart assumes one sample a second, so the left edge is simply the span
    // back from now.
    m_model.startTime = now.addSecs(-m_model.pointCount).toString(QStringLiteral("hh:mm:ss"));
    m_model.bottomLabel = QStringLiteral("  0");
    m_model.topLabel = core::formatPicture(m_model.trendRange, 0, point);

    for (int c = 0; c < core::ChannelCount; ++c) {
        const float value = m_state.channelValues[c];
        // A bad second is a gap in the trace; the legend shows the value as always.
        const bool bad = m_state.channelQuality[c].level == core::Quality::Bad;
        shiftIn(m_model.history[c], m_model.pointCount,
            bad ? std::numeric_limits<float>::quiet_NaN() : value);
        lblData[c]->setText(core::formatForInputType(value, m_state.inputType[c], point));
    }
    m_memory.append(now, m_state.channelValues, m_state.channelQuality);
    for (int c = 0; c < core::ChannelCount; ++c) {
        m_model.plotted[c] = m_state.plotEnable[c] == core::True;
        m_model.colors[c] = shpColor[c]->fillColor();
        m_model.inputTypes[c] = m_state.inputType[c];
    }
    pic->setModel(m_model);
}

void FrmTrend::selectSpan(int index)
{
    // Typed text has no effect, even when the combo has matched it to an entry.
    if (cmbPoints->lineEdit()->isModified())
        return;
    // No entry selected leaves the span alone. The history is kept as it is: a
    // wider span shows older slots again, a narrower one shifts them out.
    if (index >= 0 && index < int(TrendSpans.size()))
        m_model.pointCount = TrendSpans[index];
}

void FrmTrend::setRange()
{
    if (core::leadingNumber(txtRange->text()) < 1)
        txtRange->setText(QStringLiteral("1"));
    const double range = core::leadingNumber(txtRange->text());
    // Four characters can still spell 9e99, which no single-precision range holds.
    if (range > double(std::numeric_limits<float>::max()))
        return;
    m_model.trendRange = float(range);
}

void FrmTrend::changeColor()
{
    const std::optional<std::uint32_t> chosen = m_prompts.chooseColor();
    // Only an entry picked from the list selects a channel. Text typed in selects none,
    // even a channel's exact name that the combo has matched to its entry meanwhile:
    // typing marks the line edit as modified, and only a pick puts an entry's text back.
    const int c = cmbColor->lineEdit()->isModified() ? -1 : cmbColor->currentIndex();
    // A cancelled chooser keeps the trace colour the operator already had.
    if (!chosen || c < 0 || c >= core::ChannelCount)
        return;
    shpColor[c]->setFillColor(QColor::fromRgb(QRgb(*chosen)));
}

void FrmTrend::savePicture()
{
    const auto path = m_prompts.saveFileName(
        {QStringLiteral("PNG Images (*.png)"), QStringLiteral("png"), QString()});
    if (!path || path->isEmpty())
        return;
    // What is shown, without the cursor or the pause mark, at the screen's density.
    const QByteArray png = trendPng(pic->model(), pic->size(), pic->devicePixelRatioF());
    reportFailure(m_prompts, core::replaceFile(*path, png));
}

void FrmTrend::saveData()
{
    const auto path = m_prompts.saveFileName(
        {QStringLiteral("CSV Files (*.csv)"), QStringLiteral("csv"), QString()});
    if (!path || path->isEmpty())
        return;
    const TrendModel &shown = pic->model();
    const qint64 last = pic->newestShown();
    const QByteArray csv
        = trendCsv(m_memory, last - shown.pointCount, last, shown.plotted, m_state.channelNames);
    reportFailure(m_prompts, core::replaceFile(*path, csv));
}

} // namespace tarv::ui
