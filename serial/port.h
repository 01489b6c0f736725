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
};

} // namespace serial
