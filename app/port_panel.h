#pragma once
#include "app/seams.h"
#include "serial/port.h"

#include <QGroupBox>

#include <cstdint>

class ExchangeController;
class Lamp;
class QComboBox;
class QLabel;
class QPushButton;

// The communication group: the COM port and its baud rate, the fixed parity, data and
// stop bits, the module's slave address, and the button and lamp that open and close the
// port. The button's caption is the port state every operation consults.
class PortPanel : public QGroupBox {
    Q_OBJECT
public:
    PortPanel(serial::Port &port, ExchangeController &exchange, const ShowMessage &showMessage,
              const std::function<void(const QString &)> &printError, QWidget *parent);

    // The start values: the port and baud rate from com.txt, the fixed lists, addresses 1..255.
    void Start(const QString &portText, const QString &baudText);

    bool IsOpen() const { return m_shownOpen; }  // what the button shows, in any language
    QString SlaveText() const;
    int ChosenPortNumber() const;  // 0 when no port is chosen
    QString BaudText() const;
    // For the search window: the port opened and its settings ("9600,N,8,1"), the slave list.
    int OpenPortNumber() const { return m_openPort; }
    const QString &OpenSettings() const { return m_openSettings; }
    QComboBox *SlaveList() const { return m_slaveList; }
    // A module the search found: its address into the Slave ID list, its rate into the baud
    // list, chosen as the user chooses it (an open port at another rate closes).
    void TakeModule(int address, int baud);

    void openOrClosePort();  // the port button
    void portChosen();       // an item chosen in the port list
    void baudChosen();       // an item chosen in the baud list
    void portLost();         // the adapter went away while open

private:
    bool trialOpen(int port);
    void showLook(bool open);
    void showClosed();
    void printFailure(int port, serial::OpenResult result);
    void showFailure(const char *message, int port, serial::OpenResult result);

    serial::Port &m_port;
    ExchangeController &m_exchange;
    const ShowMessage &m_showMessage;
    const std::function<void(const QString &)> &m_printError;

    QLabel *m_portCaption, *m_baudCaption, *m_parityCaption, *m_dataBitsCaption, *m_stopBitsCaption,
        *m_slaveCaption;
    QComboBox *m_portList, *m_baudList, *m_parityList, *m_dataBitsList, *m_stopBitsList, *m_slaveList;
    Lamp *m_lamp;
    QPushButton *m_portButton;

    bool m_shownOpen = false;  // kept apart from the caption, so that no shown text is compared
    int m_chosenPort = 0;      // the port last chosen in the list
    int m_openPort = 0;        // the port the button opened; 0 once closed
    QString m_parityLetter;    // N, O or E: the last one the parity list named
    QString m_openSettings;    // what the button opened the port with
};
