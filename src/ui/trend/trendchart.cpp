#include "ui/trend/trendchart.h"

#include <QPainter>

#include <algorithm>

namespace tarv::ui {

namespace {

const QColor GridColor(64, 64, 64);
const QColor TimeColor(0, 255, 0);
const QColor ScaleColor(0, 255, 255);

void drawGrid(QPainter &painter)
{
    std::array<QLine, 22> lines;
    for (int k = 0; k <= 10; ++k) {
        const int at = 1000 + 1000 * k;
        lines[k] = QLine(1000, at, 11000, at); // horizontal
        lines[11 + k] = QLine(at, 1000, at, 11000); // vertical
    }
    painter.setPen(QPen(GridColor, 0));
    painter.drawLines(lines.data(), int(lines.size()));
}

void drawTrace(QPainter &painter, const TrendModel::History &history, int pointCount, float range,
    const QColor &color)
{
    std::array<QLineF, TrendModel::SlotCount - 1> segments;
    QPointF from(chartX(0, pointCount), chartY(history[0], range));
    for (int j = 0; j < pointCount; ++j) {
        const QPointF to(chartX(j + 1, pointCount), chartY(history[j + 1], range));
        segments[j] = QLineF(from, to);
        from = to;
    }
    painter.setPen(QPen(color, 0));
    painter.drawLines(segments.data(), pointCount);
}

// Texts are placed by their top-left corner in user units but drawn unscaled, so
// they stay legible whatever the surface's aspect ratio.
void drawText(QPainter &painter, const QTransform &toDevice, QPointF at, const QColor &color,
    const QString &text)
{
    if (text.isEmpty())
        return;
    const QPointF topLeft = toDevice.map(at);
    painter.setPen(color);
    painter.drawText(
        QRectF(topLeft, QSizeF(1000, 1000)), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
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
    const QTransform toDevice = painter.combinedTransform();

    drawGrid(painter);

    // The texts go first and the traces over them: a value outside the range is
    // drawn across a label rather than hidden under it.
    painter.save();
    painter.resetTransform();
    painter.setViewport(device);
    painter.setWindow(device);
    drawText(painter, toDevice, {10700, 11250}, TimeColor, model.endTime);
    drawText(painter, toDevice, {700, 11250}, TimeColor, model.startTime);
    drawText(painter, toDevice, {500, 10750}, ScaleColor, model.bottomLabel);
    drawText(painter, toDevice, {500, 750}, ScaleColor, model.topLabel);
    painter.restore();

    const int pointCount = std::clamp(model.pointCount, 1, TrendModel::SlotCount - 1);
    for (int c = 0; c < core::ChannelCount; ++c)
        if (model.plotted[c])
            drawTrace(painter, model.history[c], pointCount, model.trendRange, model.colors[c]);
    painter.restore();
}

TrendChart::TrendChart(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrendChart::setModel(const TrendModel &model)
{
    m_model = model;
    update();
}

void TrendChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintTrend(painter, size(), m_model);
}

} // namespace tarv::ui
