#pragma once
#include <QString>

class QLabel;
class QPlainTextEdit;
class QWidget;

// The row under the groups: the request sent and the reply accepted, as hex text, and the
// one-line status of the last exchange. Its controls sit on the window itself.
class StatusRow {
public:
    // Puts the row's controls on `window`; they come after the groups, in the keyboard's order too.
    void Build(QWidget *window);

    // Empties the status and both frame fields, as every request begins.
    void Clear();
    void ShowSent(const QString &hex);
    void ShowReceived(const QString &hex);
    void ShowStatus(const QString &text);

private:
    QLabel *m_sentCaption = nullptr;
    QPlainTextEdit *m_sentBox = nullptr;          // objectName "sentBox"
    QLabel *m_statusCaption = nullptr;
    QPlainTextEdit *m_statusBox = nullptr;        // objectName "statusBox"
    QLabel *m_receivedCaption = nullptr;
    QPlainTextEdit *m_receivedBox = nullptr;      // objectName "receivedBox"
};
