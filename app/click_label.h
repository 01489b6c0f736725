#pragma once
#include <QLabel>

// A caption that reports clicks (the work-mode caption opens the vendor's page).
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();
protected:
    void mousePressEvent(QMouseEvent *event) override;
};
