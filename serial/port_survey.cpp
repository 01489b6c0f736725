#include "serial/port_survey.h"

#include <QSerialPortInfo>

namespace serial {

std::vector<DeviceInfo> PresentDevices()
{
    std::vector<DeviceInfo> devices;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        DeviceInfo info;
        info.device = port.systemLocation().toStdString();
        info.description = port.description().toStdString();
        info.manufacturer = port.manufacturer().toStdString();
        info.serialNumber = port.serialNumber().toStdString();
        if (port.hasVendorIdentifier())
            info.vendorId = port.vendorIdentifier();
        if (port.hasProductIdentifier())
            info.productId = port.productIdentifier();
        info.stableName = StableNameFor(info.device);
        devices.push_back(std::move(info));
    }
    return devices;
}

} // namespace serial
