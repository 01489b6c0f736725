#include "cli/win32_line.h"

#include "cli/device_io.h"

#include <algorithm>

namespace cli {

Win32Line::Win32Line(std::string name, std::string device, int baud)
    : m_name(std::move(name)), m_device(std::move(device)), m_baud(baud)
{
}

Win32Line::~Win32Line()
{
    Close();
}

OpenOutcome Win32Line::Open()
{
    const std::string &port = m_name;
    serial::Port::Failure tried;
    switch (m_comm.Open(m_device, &tried)) {
    case serial::OpenResult::Ok:
        break;
    case serial::OpenResult::NotFound:
        return {"port " + port + " does not exist"};
    case serial::OpenResult::Busy:
        return {"port " + port + " is held by another program"};
    default:
        return {"port " + port + " cannot be opened: " + tried.reason};
    }
    if (!m_comm.Configure(std::to_string(m_baud) + ",N,8,1")) {
        m_comm.Close();
        return {"port " + port + " does not take " + std::to_string(m_baud) + " baud"};
    }
    return {};
}

bool Win32Line::Write(const std::vector<uint8_t> &bytes)
{
    if (!m_lost.empty())
        return false;
    if (m_comm.Write(bytes))
        return true;
    LoseDevice();
    return false;
}

void Win32Line::LoseDevice()
{
    // a port whose device went away closes and takes no further request
    m_lost = "port " + m_name + ": connection lost: " + m_comm.LastError();
    m_comm.Close();
}

std::vector<uint8_t> Win32Line::WaitForBytes(Clock::time_point deadline)
{
    // One read waits at most a short while, so a stop request is seen soon.
    constexpr int kLongestWaitMs = 100;
    if (!m_lost.empty())
        return {};
    do {
        const int wait = std::min(MillisecondsUntil(deadline), kLongestWaitMs);
        bool failed = false;
        std::vector<uint8_t> bytes = m_comm.Read(wait, &failed);
        if (failed)  // the device went away (an adapter pulled)
            LoseDevice();
        if (!bytes.empty() || failed)
            return bytes;
    } while (Clock::now() < deadline);
    return {};
}

void Win32Line::Close()
{
    // a broadcast gets no reply: its bytes must leave before the port closes
    m_comm.Drain();
    m_comm.Close();
}

} // namespace cli
