#pragma once
#include <QColor>
#include <QWidget>

// The round lamp that shows the port state.
class Lamp : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void SetColor(const QColor &color);
    QColor Color() const { return m_color; }
protected:
    void paintEvent(QPaintEvent *event) override;
private:
    QColor m_color = Qt::black;
};
