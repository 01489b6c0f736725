#pragma once
#include <string>

// The one rule for "the open device went away", for every kind of port: the window's Qt
// port, the Win32 port and velqorctl's serial lines map what their system reports onto
// these facts, and the rule below decides.
namespace serial {

// What an open port can report about its device.
enum class PortFact {
    Quiet,        // nothing arrived within the wait: the device is still there
    HangUp,       // the far end hung up (a pty pair ended, a modem's carrier dropped)
    ReadFailed,   // a read failed or found the end of the file
    WriteFailed,  // a write failed
    DeviceGone,   // the device node or handle is no more (an adapter pulled)
    Refused,      // a setting or control line the port refuses: the device is still there
    Other,        // anything else, the device still there as far as is known
};

// True when `fact` means the open device went away: a hang-up, a failed read or write, the
// device gone. A port that reports it closes itself and takes no further request.
bool DeviceWentAway(PortFact fact);

// The reason shown after "connection lost: ", from the fact and the system's own words
// (which may be empty): "the device went away (input/output error)".
std::string DeviceLostReason(PortFact fact, const std::string &systemText);

} // namespace serial
