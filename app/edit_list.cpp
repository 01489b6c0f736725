#include "app/edit_list.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace app {
namespace {

// Eats Enter in the list's text: QComboBox would take it as choosing the item of that text.
class SwallowEnter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Hands a wheel over a list without the focus on to its parent: ignored and taken, the
// event travels up as one the list did not want.
class WheelWhenFocused : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel && !static_cast<QWidget *>(watched)->hasFocus()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void WheelOnlyWhenFocused(QComboBox *list)
{
    list->setFocusPolicy(Qt::StrongFocus);
    list->installEventFilter(new WheelWhenFocused(list));
}

void TakeTextAsTyped(QComboBox *list)
{
    list->setCompleter(nullptr);
    auto *filter = new SwallowEnter(list);
    list->installEventFilter(filter);
    if (QLineEdit *text = list->lineEdit())
        text->installEventFilter(filter);
}

void FollowTypedText(QComboBox *list)
{
    QLineEdit *text = list->lineEdit();
    if (!text)
        return;
    QObject::connect(text, &QLineEdit::textEdited, list, [list, text](const QString &typed) {
        const int item = list->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (item == list->currentIndex())
            return;
        // Setting the index rewrites the text with the item's (empty for none): put back
        // what was typed, with the cursor where it was.
        const int cursor = text->cursorPosition();
        list->setCurrentIndex(item);
        if (text->text() != typed) {
            text->setText(typed);
            text->setCursorPosition(cursor);
        }
    });
}

} // namespace app
