#pragma once
#include <QLineEdit>

// A value box: the typing limit counts only what the user types, text set by the
// program is shown whole; the PWM boxes also filter the typed characters. Both rules hold
// for every way the user puts text in: keys, Ctrl+V, the context menu, an input method,
// drag and drop.
class ValueBox : public QLineEdit {
    Q_OBJECT
public:
    explicit ValueBox(QWidget *parent = nullptr);
    void SetTypingLimit(int limit);  // 0: no limit
    int TypingLimit() const { return m_limit; }
    void SetKeyFilter(bool on) { m_filterKeys = on; }
protected:
    void keyPressEvent(QKeyEvent *event) override;
private:
    int Room() const;  // characters the user may still type
    void HoldUserEdit(const QString &after);
    int m_limit = 0;
    bool m_filterKeys = false;
    QString m_before;  // the text before the user's edit
};
