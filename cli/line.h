#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The byte path to the module: a serial device, or whatever else carries RTU frames.
namespace cli {

using Clock = std::chrono::steady_clock;

// How an open went: nothing to say when the line is open.
struct OpenOutcome {
    std::string failure;  // for the user, naming the port; empty when it opened
    bool Opened() const { return failure.empty(); }
};

// A frame as it went over the wire, on a line that wraps each frame for its transport.
struct WireFrame {
    bool sent = false;  // a request; else what came back
    std::vector<uint8_t> bytes;
    std::string note;  // what came back and was not taken: why; empty for the reply handed on
    Clock::time_point when;
};

class Line {
public:
    virtual ~Line() = default;

    virtual OpenOutcome Open() = 0;
    // Hands every byte to the device; false when it refuses.
    virtual bool Write(const std::vector<uint8_t> &bytes) = 0;
    // Waits until bytes arrive or `deadline` passes; returns what arrived (empty at the deadline).
    virtual std::vector<uint8_t> WaitForBytes(Clock::time_point deadline) = 0;
    // Waits until every written byte has left; then closes. Closing a closed line does nothing.
    virtual void Close() = 0;
    // The port as the user named it, for messages.
    virtual std::string Name() const = 0;
    // Why the open line went away (a device pulled, a connection closed or reset), for the
    // user; empty while it is there.
    virtual std::string Lost() const { return {}; }
    // On a line that wraps each frame (Modbus TCP's MBAP header): the frames as they went
    // over the wire since the last call, in order. Empty where the RTU frames go as they are.
    virtual std::vector<WireFrame> TakeWireFrames() { return {}; }
    // True when the line hands on only the reply to the request just written (Modbus TCP
    // matches the transaction id): nothing it hands on is a late reply to an earlier one.
    virtual bool MatchesReplies() const { return false; }
    // The wait for the reply to the request last written is over: on a line that matches
    // replies, one that comes for it from now on comes late.
    virtual void EndExchange() {}
};

// The line that --port names: "COMn" as the window finds it, else a device path.
// `baud` is the PC side's rate; `connectTimeout` bounds the wait for a TCP connection (the
// command's --timeout).
std::unique_ptr<Line> MakeLine(const std::string &portText, int baud, std::chrono::milliseconds connectTimeout);

} // namespace cli
