// Draws the program's artwork: the picture of the About window (a stylised
// acquisition card beside a strip chart) and the program icon in three sizes.
// The PNGs are committed under src/ui/main/resources; run this only to change them:
//   QT_QPA_PLATFORM=offscreen build/tools/render_artwork src/ui/main/resources
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cmath>
#include <cstdio>

namespace {

const QColor Teal(0, 192, 192);
const QColor Board(24, 110, 72);
const QColor BoardEdge(12, 70, 44);
const QColor Copper(120, 190, 140);
const QColor Screen(16, 32, 48);

void drawBoard(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(BoardEdge, 2));
    p.setBrush(Board);
    p.drawRoundedRect(r, 8, 8);

    // Mounting holes.
    p.setBrush(QColor(230, 230, 220));
    p.setPen(QPen(QColor(200, 170, 60), 2));
    for (const QPointF c : {r.topLeft() + QPointF(12, 12), r.topRight() + QPointF(-12, 12),
             r.bottomLeft() + QPointF(12, -12), r.bottomRight() + QPointF(-12, -12)})
        p.drawEllipse(c, 5, 5);

    // Copper traces from the terminals to the converter.
    p.setPen(QPen(Copper, 1.6));
    p.setBrush(Qt::NoBrush);
    const QRectF adc(r.left() + 120, r.top() + 70, 64, 64);
    for (int i = 0; i < 8; ++i) {
        const qreal x = r.left() + 40 + i * 30;
        QPainterPath path(QPointF(x, r.top() + 40));
        path.lineTo(x, r.top() + 55 + (i % 4) * 3);
        path.lineTo(adc.left() + 8 + i * 6.5, adc.top() - 6);
        path.lineTo(adc.left() + 8 + i * 6.5, adc.top());
        p.drawPath(path);
    }
    for (int i = 0; i < 5; ++i) {
        const qreal y = adc.top() + 10 + i * 11;
        p.drawLine(QPointF(adc.right(), y), QPointF(adc.right() + 40 + i * 6, y));
        p.drawLine(QPointF(adc.left() - 60, y), QPointF(adc.left(), y));
    }

    // Screw terminal block along the top edge: eight analog inputs.
    const QRectF block(r.left() + 26, r.top() + 14, 250, 26);
    p.setPen(QPen(QColor(20, 60, 120), 1.5));
    p.setBrush(QColor(40, 110, 200));
    p.drawRect(block);
    p.setBrush(QColor(200, 205, 210));
    p.setPen(QPen(QColor(90, 90, 100), 1.2));
    for (int i = 0; i < 8; ++i) {
        const QPointF c(r.left() + 40 + i * 30, block.center().y());
        p.drawEllipse(c, 8, 8);
        p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
    }

    // The converter and two support chips, with their pins.
    auto chip = [&p](const QRectF &body, int pinsPerSide) {
        p.setPen(QPen(QColor(190, 190, 190), 1.5));
        for (int i = 0; i < pinsPerSide; ++i) {
            const qreal t = (i + 0.5) / pinsPerSide;
            const qreal x = body.left() + t * body.width();
            const qreal y = body.top() + t * body.height();
            p.drawLine(QPointF(x, body.top() - 4), QPointF(x, body.top()));
            p.drawLine(QPointF(x, body.bottom()), QPointF(x, body.bottom() + 4));
            p.drawLine(QPointF(body.left() - 4, y), QPointF(body.left(), y));
            p.drawLine(QPointF(body.right(), y), QPointF(body.right() + 4, y));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 30, 34));
        p.drawRect(body);
        p.setBrush(QColor(70, 70, 76));
        p.drawEllipse(body.topLeft() + QPointF(7, 7), 3, 3);
    };
    chip(adc, 8);
    chip(QRectF(r.left() + 228, r.top() + 78, 40, 30), 4);
    chip(QRectF(r.left() + 40, r.top() + 96, 34, 40), 4);

    // The USB socket on the right edge.
    p.setPen(QPen(QColor(120, 120, 130), 1.5));
    p.setBrush(QColor(205, 210, 215));
    p.drawRoundedRect(QRectF(r.right() - 30, r.center().y() - 2, 40, 30), 3, 3);
    p.setBrush(QColor(60, 60, 70));
    p.drawRect(QRectF(r.right() - 22, r.center().y() + 8, 26, 10));

    // Sixteen digital lines along the bottom edge, with their status LEDs.
    for (int i = 0; i < 16; ++i) {
        const qreal x = r.left() + 26 + i * 16;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(215, 175, 60));
        p.drawRect(QRectF(x, r.bottom() - 14, 10, 14));
        p.setBrush((i % 3 == 0) ? QColor(80, 255, 80) : QColor(20, 60, 30));
        p.drawEllipse(QPointF(x + 5, r.bottom() - 26), 3.5, 3.5);
    }
}

void drawChart(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(80, 90, 100), 2));
    p.setBrush(Screen);
    p.drawRoundedRect(r, 10, 10);

    const QRectF plot = r.adjusted(12, 12, -12, -12);
    p.setPen(QPen(QColor(45, 70, 90), 1));
    for (int i = 1; i < 8; ++i) {
        const qreal x = plot.left() + plot.width() * i / 8;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (int i = 1; i < 6; ++i) {
        const qreal y = plot.top() + plot.height() * i / 6;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

    auto trace = [&](const QColor &colour, auto &&f) {
        QPainterPath path;
        const int steps = 200;
        for (int i = 0; i <= steps; ++i) {
            const qreal t = qreal(i) / steps;
            const QPointF pt(plot.left() + t * plot.width(), plot.top() + f(t) * plot.height());
            if (i == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    };
    trace(QColor(0, 220, 220), [](qreal t) { return 0.30 - 0.20 * qSin(t * 4 * M_PI); });
    trace(QColor(255, 210, 60), [](qreal t) { return 0.80 - 0.28 * (std::fmod(t * 3, 1.0)); });
    trace(QColor(120, 255, 120), [](qreal t) { return (int(t * 10) % 2 == 0) ? 0.93 : 0.86; });
}

QImage picture()
{
    QImage image(583, 238, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, Qt::white);
    sky.setColorAt(1, QColor(214, 244, 244));
    p.fillRect(image.rect(), sky);

    drawBoard(p, QRectF(18, 24, 300, 190));

    // The cable from the card's USB socket to the chart.
    p.setPen(QPen(QColor(60, 60, 70), 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable(QPointF(328, 136));
    cable.cubicTo(QPointF(350, 136), QPointF(338, 200), QPointF(362, 200));
    p.drawPath(cable);

    drawChart(p, QRectF(360, 30, 206, 180));
    return image;
}

QImage icon(int size)
{
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Teal);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    p.setBrush(Screen);
    p.drawRoundedRect(QRectF(36, 52, 184, 152), 20, 20);

    QPainterPath wave;
    for (int i = 0; i <= 100; ++i) {
        const qreal t = qreal(i) / 100;
        const QPointF pt(52 + t * 152, 128 - 48 * qSin(t * 2 * M_PI));
        if (i == 0)
            wave.moveTo(pt);
        else
            wave.lineTo(pt);
    }
    p.setPen(QPen(Qt::white, 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.end();
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_artwork OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = picture().save(out.filePath(QStringLiteral("about.png")));
    for (const int size : {32, 64, 256})
        ok = icon(size).save(out.filePath(QStringLiteral("icon-%1.png").arg(size))) && ok;
    if (!ok) {
        std::fprintf(stderr, "render_artwork: could not write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
