#pragma once
#include "cli/line.h"
#include "serial/win32_port.h"

namespace cli {

// A COM port on Windows through the Win32 API, 8N1 at the given rate: reads wait with the
// port's own read timeout until the deadline.
class Win32Line final : public Line {
public:
    Win32Line(std::string name, std::string device, int baud);
    ~Win32Line() override;

    OpenOutcome Open() override;
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> WaitForBytes(Clock::time_point deadline) override;
    void Close() override;
    std::string Name() const override { return m_name; }
    std::string Lost() const override { return m_lost; }

private:
    void LoseDevice();

    std::string m_name;
    std::string m_device;
    int m_baud;
    serial::Win32Comm m_comm;
    std::string m_lost;  // set when the open port's device went away
};

} // namespace cli
