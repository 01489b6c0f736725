#pragma once
#include <string>

namespace serial {

// The device behind port number n. On Linux a file named "COMn" in the working folder
// (usually a link to /dev/ttyUSB0 or a pty) names it; without one, port n is
// /dev/ttyS(n-1). On Windows port n is the system's own COMn.
std::string DeviceForPort(int portNumber);

// What a user who may not open serial devices needs to hear.
inline constexpr const char *kNoPermissionReason = "permission denied — add yourself to the dialout group";

} // namespace serial
