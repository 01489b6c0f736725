#include "serial/device_lost.h"

namespace serial {

bool DeviceWentAway(PortFact fact)
{
    switch (fact) {
    case PortFact::HangUp:
    case PortFact::ReadFailed:
    case PortFact::WriteFailed:
    case PortFact::DeviceGone:
        return true;
    case PortFact::Quiet:
    case PortFact::Refused:
    case PortFact::Other:
        return false;
    }
    return false;
}

std::string DeviceLostReason(PortFact fact, const std::string &systemText)
{
    std::string reason;
    switch (fact) {
    case PortFact::HangUp:
        reason = "the device hung up";
        break;
    case PortFact::ReadFailed:
        reason = "the device went away (a read failed)";
        break;
    case PortFact::WriteFailed:
        reason = "the device went away (a write failed)";
        break;
    case PortFact::DeviceGone:
        reason = "the device went away";
        break;
    default:
        reason = "the device failed";
        break;
    }
    if (!systemText.empty())
        reason += ": " + systemText;
    return reason;
}

} // namespace serial
