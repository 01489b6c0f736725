#pragma once
class QWidget;

namespace app {

// SIGINT, SIGTERM and SIGHUP (Ctrl+C in the terminal, logging out, the terminal that
// started the window closed) close `window` as its close button does, so its close
// handler runs and com.txt is saved. Call once, on the window's thread.
void CloseOnSignals(QWidget *window);

} // namespace app
