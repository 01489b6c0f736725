#include "app/lamp.h"

#include <QPainter>

#include <algorithm>

void Lamp::SetColor(const QColor &color)
{
    m_color = color;
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(m_color);
    const int side = std::min(width(), height()) - 1;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}
