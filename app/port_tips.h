#pragma once
#include <QObject>

class QComboBox;

// The tooltips of the port list: each COMn item says what that port opens here
// ("COM1 → /dev/ttyUSB0, FT232R USB UART, by-id …" or "…, no such device"), worked out
// each time the list opens; the list's own tooltip says the same of the chosen port
// when the pointer rests on it. Items are COM1..COM9, then the ports present above them;
// those are found again each time the list opens, so an adapter plugged in (or pulled)
// since the window started is listed (or no longer).
class PortTips : public QObject {
public:
    explicit PortTips(QComboBox *list);

    // Lists the ports present now above COM9, after the nine; a chosen one that went away
    // stays as typed text.
    void ListPresentPorts();
    // The same, and every item's tooltip set from what the ports lead to now.
    void Refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QComboBox *m_list;
};
