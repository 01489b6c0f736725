#pragma once
#include <QObject>

class QComboBox;

// The tooltips of the port list: each COMn item says what that port opens here
// ("COM1 → /dev/ttyUSB0, FT232R USB UART, by-id …" or "…, no such device"), worked out
// each time the list opens; the list's own tooltip says the same of the chosen port
// when the pointer rests on it. Items are COM1..COM9 in order.
class PortTips : public QObject {
public:
    explicit PortTips(QComboBox *list);

    // Sets every item's tooltip from what the ports lead to now.
    void Refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QComboBox *m_list;
};
