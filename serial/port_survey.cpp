#include "serial/port_survey.h"

#include <QSerialPortInfo>

namespace serial {

std::vector<DeviceInfo> PresentDevices()
{
    std::vector<DeviceInfo> devices;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        DeviceInfo info;
#ifdef _WIN32
        info.device = port.portName().toStdString();  // "COM12", as the user names it
#else
        info.device = port.systemLocation().toStdString();
#endif
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
