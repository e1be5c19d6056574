#include "ui/filledshape.h"

#include <QPainter>

namespace tarv::ui {

FilledShape::FilledShape(QWidget *parent)
    : QWidget(parent)
{ }

QColor FilledShape::fillColor() const
{
    return m_fill ? *m_fill : palette().color(QPalette::Window);
}

void FilledShape::setFillColor(const QColor &color)
{
    if (m_fill == color)
        return;
    m_fill = color;
    update();
}

void FilledShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), fillColor());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace tarv::ui
