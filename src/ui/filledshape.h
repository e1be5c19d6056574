#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

namespace tarv::ui {

// A solid rectangle with a thin dark border, used for line indicators and colour
// swatches. Until a fill colour is set it shows the window-background colour of
// its palette, looked up each time it is asked for, so it follows the desktop
// scheme the way an unset system colour does.
class FilledShape : public QWidget
{
    Q_OBJECT

public:
    explicit FilledShape(QWidget *parent = nullptr);

    QColor fillColor() const;
    void setFillColor(const QColor &color);
    bool hasFillColor() const { return m_fill.has_value(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<QColor> m_fill;
};

} // namespace tarv::ui
