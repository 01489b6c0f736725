#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The serial line as the window uses it: one port chosen by number, opened with a
// settings string, raw bytes out in one call, every waiting byte in one read.
namespace serial {

enum class OpenResult {
    Ok,
    NotFound,      // no such device
    Busy,          // held by another program
    NoPermission,  // exists, but this user may not open it
    BadSettings,   // the settings string names something the port cannot do
    OtherError,
};

struct Settings {
    std::string text;  // "9600,N,8,1": baud, parity letter, data bits, stop bits
};

class Port {
public:
    virtual ~Port() = default;

    // Opens and closes the port at once: tells whether the port can be had.
    virtual OpenResult TrialOpen(int portNumber) = 0;
    // Opens with 1024-byte buffers, raw bytes, and discards input that is already waiting.
    virtual OpenResult Open(int portNumber, const Settings &settings) = 0;
    // Closing a closed port succeeds without effect.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Queues every byte at once; false when the port refuses (closed, device gone).
    virtual bool Write(const std::vector<uint8_t> &bytes) = 0;
    // Every byte waiting, removed from the receive buffer; empty when none.
    virtual std::vector<uint8_t> ReadAll() = 0;

    // Raised on the window's thread when bytes are waiting.
    std::function<void()> onBytesWaiting;
    // Raised on the window's thread when the open device went away (adapter pulled).
    std::function<void()> onDeviceLost;

    // Why the last TrialOpen or Open failed, or why the device was lost: the device tried
    // and the system's reason. Empty parts are unknown.
    struct Failure {
        std::string device;
        std::string reason;
    };
    Failure lastFailure;
};

// One line that names the port, the device tried and the reason, for example
// "COM1 (/dev/ttyUSB0): permission denied — add yourself to the dialout group". Without a
// reason from the port, the result's own words.
std::string FailureLine(int portNumber, const Port::Failure &failure, OpenResult result);

} // namespace serial
