#include "app/address_panel.h"

#include "app/exchange_controller.h"
#include "app/look.h"
#include "device/register_map.h"
#include "modbus/frames.h"

#include <QComboBox>
#include <QPushButton>

using layout::Tw;

AddressPanel::AddressPanel(ExchangeController &exchange, QWidget *parent)
    : QGroupBox(parent), m_exchange(exchange)
{
    look::SetUpGroup(this, QStringLiteral("addressGroup"), texts::Tr(texts::kAddressGroup), Tw(2760, 4800, 11415, 975));

    m_newAddressCaption = look::Caption(this, QStringLiteral("newAddressCaption"), texts::kModuleAddress, 240, 480);
    m_newAddressList = look::List(this, QStringLiteral("newAddressList"), {}, Tw(1680, 400, 1215, 300));

    m_vendorAddress = new QLabel(QString::fromUtf8(texts::kVendorUrl), this);
    m_vendorAddress->setObjectName(QStringLiteral("vendorAddress"));
    m_vendorAddress->setFont(look::SimSun(14.25));
    QPalette palette = m_vendorAddress->palette();
    palette.setColor(QPalette::WindowText, look::kLinkBlue);
    m_vendorAddress->setPalette(palette);
    m_vendorAddress->setGeometry(Tw(3480, 400, 5895, 255));

    m_changeButton = look::Button(this, QStringLiteral("changeAddressButton"), texts::kChangeAddress, 15,
                                  Tw(9960, 360, 1215, 375));
    connect(m_changeButton, &QPushButton::clicked, this, [this] { m_exchange.WhenIdle([this] { changeAddress(); }); });
}

void AddressPanel::Start()
{
    QStringList addresses;
    for (int i = 1; i <= 254; ++i)
        addresses << QString::number(i);
    m_newAddressList->addItems(addresses);
    m_newAddressList->setEditText(QStringLiteral("1"));
}

void AddressPanel::changeAddress()
{
    m_exchange.Begin();
    // The new address goes to every module on the line: the broadcast address.
    const auto newAddress = m_exchange.CheckedAddress(m_newAddressList->currentText(), texts::kParameterError);
    if (!newAddress)
        return;
    m_exchange.Send(
        modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, device::kSlaveAddressRegister, *newAddress));
}
