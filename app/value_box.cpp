#include "app/value_box.h"

#include "app/key_filter.h"

#include <QKeyEvent>

#include <algorithm>
#include <limits>

ValueBox::ValueBox(QWidget *parent) : QLineEdit(parent)
{
    // textEdited comes for every change by the user (keys, paste, input method, drop) and
    // never for setText; it comes before textChanged, so m_before still holds the text the
    // edit changed.
    connect(this, &QLineEdit::textEdited, this, &ValueBox::HoldUserEdit);
    connect(this, &QLineEdit::textChanged, this, [this] { m_before = text(); });
}

void ValueBox::HoldUserEdit(const QString &after)
{
    const app::HeldEdit held = app::HoldEdit(m_before.toStdU16String(), after.toStdU16String(), m_limit, m_filterKeys);
    const QString kept = QString::fromStdU16String(held.text);
    if (kept == after)
        return;
    setText(kept);
    setCursorPosition(static_cast<int>(held.cursor));
}

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
    // QLineEdit's own maximum length would also cut text set by the program. A paste by
    // key (Shift+Insert, and Ctrl+V where the filter let it through) goes the menu's way:
    // the edit is held as a whole, filtered first and then cut to the room.
    if (event->matches(QKeySequence::Paste)) {
        paste();
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
