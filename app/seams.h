#pragma once
#include <QString>

#include <functional>

// What the window does through a function the tests replace: the message box, the pause
// after a request, the browser, stderr and the file dialogs. The panels hold references to
// the window's own, so a test that replaces one replaces it everywhere.
// The message box: its text, and beneath it the reason or nothing.
using ShowMessage = std::function<void(const QString &text, const QString &reason)>;
using RunAfter = std::function<void(int ms, std::function<void()> then)>;
using ChooseFile = std::function<QString()>;

// Calls `seam` when there is one.
inline void Show(const ShowMessage &seam, const QString &text, const QString &reason = {})
{
    if (seam)
        seam(text, reason);
}
