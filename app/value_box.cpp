#include "app/value_box.h"

#include "app/key_filter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

#include <algorithm>
#include <limits>

ValueBox::ValueBox(QWidget *parent) : QLineEdit(parent) {}

void ValueBox::SetTypingLimit(int limit)
{
    m_limit = limit;
}

int ValueBox::Room() const
{
    if (m_limit <= 0)
        return std::numeric_limits<int>::max();
    return std::max(0, m_limit - static_cast<int>(text().size() - selectedText().size()));
}

void ValueBox::keyPressEvent(QKeyEvent *event)
{
    // The filter judges the character a key would insert. Keys that insert none (Delete,
    // arrows, Home, End) pass; Qt gives Delete the text "\x7f", so it is let through by key.
    if (m_filterKeys && event->key() != Qt::Key_Delete && !event->text().isEmpty()
        && app::FilterPwmKey(event->text().at(0).unicode()) == 0) {
        event->accept();
        return;
    }
    // The typing limit counts what the user types or pastes, never what the program wrote:
    // QLineEdit's own maximum length would also cut text set by the program.
    if (event->matches(QKeySequence::Paste)) {
        insert(QGuiApplication::clipboard()->text().left(Room()));
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool inserts = !typed.isEmpty() && typed.at(0).isPrint()
                         && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (inserts && typed.size() > Room()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ValueBox::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    emit clicked();
}
