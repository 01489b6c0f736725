#pragma once
#include <QGroupBox>

class ExchangeController;
class QComboBox;
class QLabel;
class QPushButton;

// The address-change group: the module's new slave address, sent to every module on the
// line, and the vendor's page address.
class AddressPanel : public QGroupBox {
    Q_OBJECT
public:
    AddressPanel(ExchangeController &exchange, QWidget *parent);

    void Start();           // addresses 1..254, "1" shown
    void changeAddress();   // the change button

private:
    ExchangeController &m_exchange;
    QLabel *m_newAddressCaption;
    QComboBox *m_newAddressList;
    QLabel *m_vendorAddress;  // shows the address; a click does nothing
    QPushButton *m_changeButton;
};
