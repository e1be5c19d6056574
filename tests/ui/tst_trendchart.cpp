#include "ui/trend/trendchart.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

using namespace tarv;

namespace {

// The chart surface of the trend window: 19815 x 6735 twips.
const QSize ChartSize(1321, 449);
const QColor Grid(64, 64, 64);

// Where a point in chart units lands on the image, computed independently of the
// painter: the 12000 x 12000 scale stretched over the whole surface.
QPointF toPixel(QPointF chart)
{
    return {chart.x() * ChartSize.width() / 12000.0, chart.y() * ChartSize.height() / 12000.0};
}

QPointF slotPoint(const ui::TrendModel &m, int c, int j)
{
    return toPixel(
        {1000.0 + j * 10000.0 / m.pointCount, 11000.0 - m.history[c][j] * 10000.0 / m.trendRange});
}

// Aliased lines may round a coordinate either way, so look one pixel around.
bool colourNear(const QImage &image, QPointF at, const QColor &colour)
{
    const int x0 = int(std::floor(at.x()));
    const int y0 = int(std::floor(at.y()));
    for (int y = y0 - 1; y <= y0 + 1; ++y)
        for (int x = x0 - 1; x <= x0 + 1; ++x)
            if (image.rect().contains(x, y) && image.pixelColor(x, y) == colour)
                return true;
    return false;
}

// Text is smoothed, so its pixels are the text colour blended into black: a
// colour channel that is off stays 0 and one that is on stays bright.
bool textColourInBox(const QImage &image, QPointF topLeft, const QColor &colour)
{
    const auto matches
        = [](int pixel, int wanted) { return wanted == 0 ? pixel == 0 : pixel >= 160; };
    const QRect box = QRect(topLeft.toPoint(), QSize(60, 20)) & image.rect();
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (matches(p.red(), colour.red()) && matches(p.green(), colour.green())
                && matches(p.blue(), colour.blue()))
                return true;
        }
    return false;
}

QImage render(const ui::TrendModel &model)
{
    QImage image(ChartSize, QImage::Format_RGB32);
    image.fill(QColor(200, 200, 200)); // anything the chart fails to paint shows
    QPainter painter(&image);
    ui::paintTrend(painter, ChartSize, model);
    painter.end();
    return image;
}

void setChannel(ui::TrendModel &m, int c, float value, const QColor &colour, bool plotted = true)
{
    m.history[c].fill(value);
    m.colors[c] = colour;
    m.plotted[c] = plotted;
}

} // namespace

class TestTrendChart : public QObject
{
    Q_OBJECT

private slots:
    // Values avoid the grid lines (multiples of 10 on a range of 100) so each
    // sampled pixel belongs to one trace only.
    void tracesLandOnTheirCoordinates()
    {
        ui::TrendModel m;
        setChannel(m, 0, 45, Qt::red);
        m.history[0][5] = 85; // a spike: steep segments up to slot 5 and down again
        setChannel(m, 1, 15, Qt::blue);
        setChannel(m, 2, 75, Qt::yellow, false);
        setChannel(m, 3, 110, Qt::magenta); // above the range: top edge, not clamped
        setChannel(m, 4, -5, QColor(255, 128, 0)); // below zero: under the bottom grid line
        setChannel(m, 5, 35, QColor(128, 0, 255));
        setChannel(m, 6, 35, Qt::white); // same trace as channel 5, drawn after it
        const QImage image = render(m);

        for (int j = 0; j < m.pointCount; ++j) {
            const auto mid
                = [&](int c) { return (slotPoint(m, c, j) + slotPoint(m, c, j + 1)) / 2; };
            QVERIFY2(colourNear(image, mid(1), Qt::blue), qPrintable(QString::number(j)));
            QVERIFY2(colourNear(image, mid(6), Qt::white), "the higher channel lies on top");
            QVERIFY2(!colourNear(image, mid(5), m.colors[5]), "the lower channel is covered");
            QVERIFY2(!colourNear(image, mid(2), Qt::yellow), "a channel not plotted draws nothing");
            QVERIFY2(
                colourNear(image, mid(4), m.colors[4]), "a negative value draws below the grid");
        }
        QVERIFY2(colourNear(image, slotPoint(m, 3, 4), Qt::magenta),
            "a value above the range draws at the top edge");

        // The spike: steep segments meet at slot 5's computed point and go no higher.
        const QPointF apex = slotPoint(m, 0, 5);
        QVERIFY(colourNear(image, apex, Qt::red));
        QVERIFY(!colourNear(image, apex - QPointF(0, 3), Qt::red));
        QVERIFY(colourNear(image, (slotPoint(m, 0, 4) + apex) / 2, Qt::red));

        // The trace starts on the left grid line and ends on the right one.
        const QPointF first = slotPoint(m, 0, 0);
        const QPointF last = slotPoint(m, 0, 10);
        QVERIFY(colourNear(image, first + QPointF(1, 0), Qt::red));
        QVERIFY(!colourNear(image, first - QPointF(3, 0), Qt::red));
        QVERIFY(colourNear(image, last - QPointF(1, 0), Qt::red));
        QVERIFY(!colourNear(image, last + QPointF(3, 0), Qt::red));
    }

    // Before the first tick the model is empty: only the grid on black. The texts
    // then start at their top-left corner points, in their colours.
    void gridAndTexts()
    {
        ui::TrendModel m;
        QImage image = render(m);
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        QCOMPARE(colours, (QSet<QRgb> {QColor(Qt::black).rgb(), Grid.rgb()}));
        for (int k = 0; k <= 10; ++k) {
            QVERIFY2(colourNear(image, toPixel({1000.0 + 1000 * k, 5250}), Grid),
                qPrintable(QString::number(k)));
            QVERIFY2(colourNear(image, toPixel({5250, 1000.0 + 1000 * k}), Grid),
                qPrintable(QString::number(k)));
        }
        QCOMPARE(image.pixelColor(toPixel({500, 5250}).toPoint()), QColor(Qt::black));
        QCOMPARE(image.pixelColor(toPixel({11500, 5250}).toPoint()), QColor(Qt::black));

        m.endTime = QStringLiteral("18:11:43");
        m.startTime = QStringLiteral("18:11:33");
        m.bottomLabel = QStringLiteral("  0");
        m.topLabel = QStringLiteral("100");
        image = render(m);
        QVERIFY(textColourInBox(image, toPixel({10700, 11250}), Qt::green));
        QVERIFY(textColourInBox(image, toPixel({700, 11250}), Qt::green));
        QVERIFY(textColourInBox(image, toPixel({500, 10750}), Qt::cyan));
        QVERIFY(textColourInBox(image, toPixel({500, 750}), Qt::cyan));
    }

    // A value below the range crosses the end time; the trace stays whole over it.
    void tracesLieOverTheTexts()
    {
        ui::TrendModel m;
        m.endTime = QStringLiteral("88:88:88");
        setChannel(m, 0, -3.9f, Qt::red);
        const QImage image = render(m);
        for (double x = toPixel({10720, 0}).x(); x < toPixel({10990, 0}).x(); ++x)
            QVERIFY2(colourNear(image, {x, slotPoint(m, 0, 9).y()}, Qt::red),
                qPrintable(QString::number(x)));
    }

    // A pass-through raw count on the smallest range lies millions of pixels above
    // or below the surface; the segment towards it is still drawn up to the edge.
    void farOutsideValuesAreCutByTheEdge()
    {
        for (const float value : {32767.0f, -32768.0f}) {
            ui::TrendModel m;
            m.trendRange = 1;
            m.history[0][10] = value;
            m.colors[0] = Qt::red;
            m.plotted[0] = true;
            const QImage image = render(m);
            const double x = toPixel({10000, 0}).x(); // slot 9 of 10
            QVERIFY(colourNear(image, {x, value > 0 ? 1.0 : 447.0}, Qt::red));
            QVERIFY(colourNear(image, toPixel({5500, 11000}), Qt::red));
        }
    }

    void wideSpanUsesEverySlot()
    {
        ui::TrendModel m;
        m.pointCount = 500;
        setChannel(m, 0, 25, Qt::red);
        m.history[0][0] = m.history[0][500] = 95; // the oldest and newest drawn samples
        const QImage image = render(m);
        for (const int j : {0, 250, 500})
            QVERIFY2(
                colourNear(image, slotPoint(m, 0, j), Qt::red), qPrintable(QString::number(j)));
    }
};

QTEST_MAIN(TestTrendChart)
#include "tst_trendchart.moc"
