#pragma once
#include <QLineEdit>

// A value box: the typing limit counts only what the user types, text set by the
// program is shown whole; the PWM boxes also filter the typed characters.
class ValueBox : public QLineEdit {
    Q_OBJECT
public:
    explicit ValueBox(QWidget *parent = nullptr);
    void SetTypingLimit(int limit);  // 0: no limit
    int TypingLimit() const { return m_limit; }
    void SetKeyFilter(bool on) { m_filterKeys = on; }
signals:
    void clicked();
protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
private:
    int Room() const;  // characters the user may still type
    int m_limit = 0;
    bool m_filterKeys = false;
};
