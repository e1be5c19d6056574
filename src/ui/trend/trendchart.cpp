#include "ui/trend/trendchart.h"

#include "core/numberformat.h"
#include "ui/trend/trendmemory.h"

#include <QAction>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tarv::ui {

namespace {

const QColor GridColor(64, 64, 64);
const QColor TimeColor(0, 255, 0);
const QColor ScaleColor(0, 255, 255);
const QColor PausedColor(255, 255, 0);
const QColor CursorColor(160, 160, 160);

// One device pixel at ratio 1, as drawn since the start; on a denser screen the
// same share of the picture, so lines keep their weight.
QPen hairline(const QPainter &painter, const QColor &color)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1;
    QPen pen(color, ratio > 1 ? ratio : 0);
    pen.setCosmetic(true);
    return pen;
}

void drawGrid(QPainter &painter)
{
    std::array<QLine, 22> lines;
    for (int k = 0; k <= 10; ++k) {
        const int at = 1000 + 1000 * k;
        lines[k] = QLine(1000, at, 11000, at); // horizontal
        lines[11 + k] = QLine(at, 1000, at, 11000); // vertical
    }
    painter.setPen(hairline(painter, GridColor));
    painter.drawLines(lines.data(), int(lines.size()));
}

void drawTrace(QPainter &painter, const TrendModel::History &history, int pointCount, float range,
    const QColor &color)
{
    // A second without a trustworthy value (NaN) breaks the trace on both sides.
    std::array<QLineF, TrendModel::SlotCount - 1> segments;
    int drawn = 0;
    QPointF from(chartX(0, pointCount), chartY(history[0], range));
    for (int j = 0; j < pointCount; ++j) {
        const QPointF to(chartX(j + 1, pointCount), chartY(history[j + 1], range));
        if (std::isfinite(history[j]) && std::isfinite(history[j + 1]))
            segments[drawn++] = QLineF(from, to);
        from = to;
    }
    painter.setPen(hairline(painter, color));
    painter.drawLines(segments.data(), drawn);
}

// Texts are placed by their top-left corner in user units but drawn unscaled, so
// they stay legible whatever the surface's aspect ratio.
void drawText(QPainter &painter, const QTransform &toPixels, QPointF at, const QColor &color,
    const QString &text)
{
    if (text.isEmpty())
        return;
    const QPointF topLeft = toPixels.map(at);
    painter.setPen(color);
    painter.drawText(
        QRectF(topLeft, QSizeF(1000, 1000)), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

QTransform userToPixels(QSize size)
{
    return QTransform::fromScale(
        size.width() / double(ChartUnits), size.height() / double(ChartUnits));
}

} // namespace

void paintTrend(QPainter &painter, QSize size, const TrendModel &model)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QRect device(QPoint(0, 0), size);
    painter.fillRect(device, Qt::black);

    painter.setViewport(device);
    painter.setWindow(0, 0, ChartUnits, ChartUnits);
    drawGrid(painter);

    // The texts go first and the traces over them: a value outside the range is
    // drawn across a label rather than hidden under it. They are placed in
    // device-independent pixels, the unit the painter's own scale for a dense
    // screen starts from, so they stand where they stand at ratio 1.
    painter.save();
    painter.resetTransform();
    painter.setViewport(device);
    painter.setWindow(device);
    const QTransform toPixels = userToPixels(size);
    drawText(painter, toPixels, {10700, 11250}, TimeColor, model.endTime);
    drawText(painter, toPixels, {700, 11250}, TimeColor, model.startTime);
    drawText(painter, toPixels, {500, 10750}, ScaleColor, model.bottomLabel);
    drawText(painter, toPixels, {500, 750}, ScaleColor, model.topLabel);
    painter.restore();

    const int pointCount = std::clamp(model.pointCount, 1, TrendModel::SlotCount - 1);
    for (int c = 0; c < core::ChannelCount; ++c)
        if (model.plotted[c])
            drawTrace(painter, model.history[c], pointCount, model.trendRange, model.colors[c]);
    painter.restore();
}

TrendChart::TrendChart(QWidget *parent)
    : QWidget(parent)
    , m_pauseAction(new QAction(QStringLiteral("Pause"), this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Focus by click only: the window's own tab order and first focus stay as they were.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_pauseAction->setObjectName(QStringLiteral("actPause"));
    connect(m_pauseAction, &QAction::triggered, this, [this] { setPaused(!m_paused); });
    auto *picture = new QAction(QStringLiteral("Save picture..."), this);
    picture->setObjectName(QStringLiteral("actSavePicture"));
    connect(picture, &QAction::triggered, this, &TrendChart::savePictureRequested);
    auto *data = new QAction(QStringLiteral("Save data..."), this);
    data->setObjectName(QStringLiteral("actSaveData"));
    connect(data, &QAction::triggered, this, &TrendChart::saveDataRequested);
    addActions({m_pauseAction, picture, data});
}

const TrendModel &TrendChart::model() const
{
    return m_paused ? m_held : m_model;
}

void TrendChart::setModel(const TrendModel &model)
{
    m_model = model;
    m_liveNewest = m_memory ? m_memory->newest() : -1;
    if (!m_paused)
        update();
}

void TrendChart::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    // The picture of the moment is kept as it is, even where a span change left
    // older slots on it, so pausing never makes it jump.
    m_held = m_model;
    m_pausedNewest = m_liveNewest;
    m_back = 0;
    m_pauseAction->setText(paused ? QStringLiteral("Live") : QStringLiteral("Pause"));
    update();
}

void TrendChart::lookBack(qint64 seconds)
{
    if (!m_paused || !m_memory)
        return;
    const qint64 earliest
        = std::max<qint64>(0, m_pausedNewest - m_model.pointCount - m_memory->oldest());
    const qint64 back = std::clamp<qint64>(m_back + seconds, 0, earliest);
    if (back == m_back)
        return;
    m_back = back;
    m_held = lookBackModel(*m_memory, m_pausedNewest - m_back, m_model);
    update();
}

qint64 TrendChart::newestShown() const
{
    return m_paused ? m_pausedNewest - m_back : m_liveNewest;
}

std::optional<TrendReadout> TrendChart::readout() const
{
    if (!m_hoverX || !m_memory || width() <= 0)
        return std::nullopt;
    const TrendModel &shown = model();
    const int span = std::clamp(shown.pointCount, 1, TrendModel::SlotCount - 1);
    const double user = *m_hoverX * ChartUnits / width();
    const long slot = std::lround((user - 1000) * span / 10000);
    const qint64 second = newestShown() - span + slot;
    if (slot < 0 || slot > span || !m_memory->contains(second))
        return std::nullopt;

    const TrendMemory::Second &kept = m_memory->at(second);
    TrendReadout readout;
    readout.slot = int(slot);
    readout.time = QDateTime::fromMSecsSinceEpoch(kept.msecs).toString(QStringLiteral("hh:mm:ss"));
    const QChar point = core::regionalDecimalPoint();
    for (int c = 0; c < core::ChannelCount; ++c) {
        if (!shown.plotted[c])
            continue;
        // Not good: what is wrong, after the value when there is one to show.
        const core::ChannelQuality &quality = kept.quality[c];
        QString text = std::isfinite(kept.values[c])
            ? core::formatForInputType(kept.values[c], shown.inputTypes[c], point)
            : QString();
        if (!quality.good())
            text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + u'('
                + core::qualityDescription(quality) + u')';
        readout.values << text;
        readout.colors << shown.colors[c];
    }
    return readout;
}

void TrendChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintTrend(painter, size(), model());
    paintOverlays(painter);
}

void TrendChart::paintOverlays(QPainter &painter)
{
    const QTransform toPixels = userToPixels(size());
    const QFontMetrics metrics(font());
    if (m_paused) {
        const QString mark = QStringLiteral("Paused");
        const QPointF topRight = toPixels.map(QPointF(11000, 250));
        painter.setPen(PausedColor);
        painter.drawText(QPointF(topRight.x() - metrics.horizontalAdvance(mark),
                             topRight.y() + metrics.ascent()),
            mark);
    }
    const std::optional<TrendReadout> read = readout();
    if (!read)
        return;
    const int span = std::clamp(model().pointCount, 1, TrendModel::SlotCount - 1);
    const QPointF top = toPixels.map(QPointF(chartX(read->slot, span), 1000));
    const QPointF bottom = toPixels.map(QPointF(chartX(read->slot, span), 11000));
    painter.setPen(hairline(painter, CursorColor));
    painter.drawLine(top, bottom);

    // The values stand in a dark box beside the cursor, on the side with room.
    int boxWidth = metrics.horizontalAdvance(read->time);
    for (const QString &value : read->values)
        boxWidth = std::max(boxWidth, metrics.horizontalAdvance(value));
    const int pad = 4;
    const QSizeF box(boxWidth + 2 * pad, metrics.height() * (1 + read->values.size()) + 2 * pad);
    const double left
        = top.x() + pad + box.width() <= width() ? top.x() + pad : top.x() - pad - box.width();
    const QRectF frame(QPointF(left, top.y() + pad), box);
    painter.fillRect(frame, Qt::black);
    double baseline = frame.top() + pad + metrics.ascent();
    painter.setPen(TimeColor);
    painter.drawText(QPointF(frame.left() + pad, baseline), read->time);
    for (qsizetype i = 0; i < read->values.size(); ++i) {
        baseline += metrics.height();
        painter.setPen(read->colors[i]);
        painter.drawText(QPointF(frame.left() + pad, baseline), read->values[i]);
    }
}

void TrendChart::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)
        setPaused(!m_paused);
    else
        QWidget::keyPressEvent(event);
}

void TrendChart::wheelEvent(QWheelEvent *event)
{
    if (!m_paused) {
        event->ignore();
        return;
    }
    // A notch is 120 eighths of a degree; finer wheels add up to whole notches.
    m_wheelAngle += event->angleDelta().y();
    const int notches = m_wheelAngle / 120;
    m_wheelAngle -= notches * 120;
    lookBack(qint64(notches) * std::max(1, m_model.pointCount / 10));
    event->accept();
}

void TrendChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragX = event->position().x();
        m_dragBack = m_back;
    }
    QWidget::mousePressEvent(event);
}

void TrendChart::mouseMoveEvent(QMouseEvent *event)
{
    m_hoverX = event->position().x();
    if (m_paused && m_dragX && (event->buttons() & Qt::LeftButton)) {
        // The trace follows the mouse: dragging to the right brings earlier seconds in.
        const double plotWidth = width() * 10000.0 / ChartUnits;
        const double seconds = (event->position().x() - *m_dragX) * m_model.pointCount / plotWidth;
        lookBack(m_dragBack + std::llround(seconds) - m_back);
    }
    update();
}

void TrendChart::leaveEvent(QEvent *event)
{
    m_hoverX.reset();
    update();
    QWidget::leaveEvent(event);
}

} // namespace tarv::ui
