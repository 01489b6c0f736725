#pragma once
#include "serial/port.h"
#include "serial/port_names.h"

#include <string>
#include <vector>

// What to tell a user whose port did not open: the reason the system gave, put in words
// that fit this device and this user ("permission denied on /dev/ttyUSB0 — add yourself to
// the dialout group and log in again").
namespace serial {

// What the advice depends on, gathered from the system apart from the advice itself.
struct OpenFacts {
    std::string owner, group;                // of the device tried; empty when unknown
    std::vector<std::string> accountGroups;  // the user's groups as the group database has them
    std::vector<std::string> sessionGroups;  // the groups this login runs with
    std::string portLink;                    // where the file COMn in the working folder points;
                                             // empty when there is none
    std::vector<DeviceInfo> adapters;        // USB serial adapters present
    bool systemNamesPorts = false;           // Windows: COMn is the system's own name, no link
    std::vector<int> presentPorts;           // then the numbers of the COM ports present
};

// The facts for port `portNumber` whose open tried `device`, from this system.
OpenFacts GatherOpenFacts(int portNumber, const std::string &device);

// The reason beneath the message box: the system's reason on the first line, then what to do
// (the adapters present, the command that links one); empty when nothing is known.
std::string OpenFailureAdvice(int portNumber, const Port::Failure &failure, OpenResult result,
                              const OpenFacts &facts);

} // namespace serial
