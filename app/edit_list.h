#pragma once
class QComboBox;

namespace app {

// An editable list takes its text exactly as typed: no inline completion, and Enter in
// the text chooses no item and runs no click. Choosing from the drop-down, by mouse or
// keys, is the list's click (QComboBox::activated), as before.
void TakeTextAsTyped(QComboBox *list);

// The mouse wheel turns the list only while it has the keyboard focus (and does not give
// it the focus); over a list without it, the wheel goes on to what holds the list, so a
// scrolled window scrolls. A list turned by the wheel runs its click as when turned by keys.
void WheelOnlyWhenFocused(QComboBox *list);

// The chosen item follows the typed text: text equal to an item's text chooses that item,
// any other text chooses none. No click runs for it.
void FollowTypedText(QComboBox *list);

} // namespace app
