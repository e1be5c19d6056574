#pragma once

#include "ui/trend/trendmemory.h"
#include "ui/trend/trendmodel.h"

#include <QWidget>

#include <optional>

class QAction;
class QPainter;

namespace tarv::ui {

// Draws a trend onto any paint device of the given size (in device-independent
// pixels): black background, the 10 x 10 grid, the traces of the plotted channels
// in ascending channel order (higher channels on top) and the four axis texts. The
// 12000 x 12000 user scale is stretched over the whole size. Aliased, so every
// pixel is either a trace colour or untouched.
void paintTrend(QPainter &painter, QSize size, const TrendModel &model);

// What the mouse reads off the chart at one second.
struct TrendReadout
{
    int slot = 0; // where the cursor stands, 0..pointCount
    QString time; // "hh:mm:ss", the second's own stamp
    QStringList values; // one per drawn channel, in the legend's number form
    QList<QColor> colors; // the trace colour of each value
};

// The chart surface of the trend window. Live, it draws the model of the last tick
// again whenever it is exposed. Paused (context menu or space bar), it keeps its
// picture while the window goes on ticking, and the wheel and dragging move it
// back over the window's memory. Hovering reads each drawn channel's value from
// that memory. A plain click does nothing.
class TrendChart : public QWidget
{
    Q_OBJECT

public:
    explicit TrendChart(QWidget *parent = nullptr);

    // What is drawn now: the last tick's model when live, the held one when paused.
    const TrendModel &model() const;
    void setModel(const TrendModel &model);
    // The seconds the ticks append to; the newest one is the right edge of each
    // live model given afterwards.
    void setMemory(const TrendMemory *memory) { m_memory = memory; }

    bool isPaused() const { return m_paused; }
    void setPaused(bool paused);
    // Moves the paused view by whole seconds (positive: back in time), kept within
    // the seconds held.
    void lookBack(qint64 seconds);
    // The newest second shown, numbered as the memory numbers them.
    qint64 newestShown() const;
    std::optional<TrendReadout> readout() const;

signals:
    void savePictureRequested();
    void saveDataRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void paintOverlays(QPainter &painter);

    TrendModel m_model; // the last tick's
    TrendModel m_held; // shown while paused
    const TrendMemory *m_memory = nullptr;
    qint64 m_liveNewest = -1;
    bool m_paused = false;
    qint64 m_pausedNewest = -1; // the newest second when the chart was paused
    qint64 m_back = 0; // seconds the paused view stands before m_pausedNewest
    int m_wheelAngle = 0; // eighths of a degree not yet a whole notch
    std::optional<double> m_dragX; // where a left-button drag started
    qint64 m_dragBack = 0;
    std::optional<double> m_hoverX;
    QAction *m_pauseAction;
};

} // namespace tarv::ui
