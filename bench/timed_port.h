#pragma once
#include "serial/port.h"

#include <chrono>
#include <vector>

// A port that passes everything to another one and notes when each request was handed
// over: the moment the exchange's timing starts.
class TimedPort : public serial::Port {
public:
    using Clock = std::chrono::steady_clock;

    explicit TimedPort(serial::Port &inner) : m_inner(inner)
    {
        m_inner.onBytesWaiting = [this] {
            if (onBytesWaiting)
                onBytesWaiting();
        };
        m_inner.onDeviceLost = [this] {
            if (onDeviceLost)
                onDeviceLost();
        };
    }
    ~TimedPort() override
    {
        m_inner.onBytesWaiting = nullptr;
        m_inner.onDeviceLost = nullptr;
    }

    serial::OpenResult TrialOpen(int portNumber) override { return m_inner.TrialOpen(portNumber); }
    serial::OpenResult Open(int portNumber, const serial::Settings &settings) override
    {
        return m_inner.Open(portNumber, settings);
    }
    void Close() override { m_inner.Close(); }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    bool Write(const std::vector<uint8_t> &bytes) override
    {
        lastWrite = Clock::now();
        ++writes;
        return m_inner.Write(bytes);
    }
    std::vector<uint8_t> ReadAll() override { return m_inner.ReadAll(); }

    Clock::time_point lastWrite{};
    int writes = 0;

private:
    serial::Port &m_inner;
};
