#include "app/click_label.h"

#include <QMouseEvent>

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    // A click is the left button's: a right click opens no browser.
    if (event->button() == Qt::LeftButton)
        emit clicked();
}
