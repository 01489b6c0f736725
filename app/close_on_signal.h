#pragma once
class QWidget;

namespace app {

// SIGINT and SIGTERM (Ctrl+C in the terminal, logging out) close `window` as its close
// button does, so its close handler runs. Call once, on the window's thread.
void CloseOnSignals(QWidget *window);

} // namespace app
