#pragma once

#include "ui/trend/trendmodel.h"

#include <QWidget>

class QPainter;

namespace tarv::ui {

// Draws a trend onto any paint device of the given size: black background, the
// 10 x 10 grid, the traces of the plotted channels in ascending channel order
// (higher channels on top) and the four axis texts. The 12000 x 12000 user scale
// is stretched over the whole size. Aliased, so every pixel is either a trace
// colour or untouched.
void paintTrend(QPainter &painter, QSize size, const TrendModel &model);

// The chart surface of the trend window. It keeps the model of the last tick and
// draws it again whenever it is exposed.
class TrendChart : public QWidget
{
    Q_OBJECT

public:
    explicit TrendChart(QWidget *parent = nullptr);

    const TrendModel &model() const { return m_model; }
    void setModel(const TrendModel &model);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TrendModel m_model;
};

} // namespace tarv::ui
