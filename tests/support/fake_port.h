#pragma once
#include "serial/port.h"

#include <deque>
#include <vector>

// A port that records what is written and hands out bytes that a test feeds.
class FakePort : public serial::Port {
public:
    serial::OpenResult trialResult = serial::OpenResult::Ok;
    serial::OpenResult openResult = serial::OpenResult::Ok;
    bool refuseWrites = false;
    bool open = false;
    int lastPortNumber = 0;
    std::string lastSettings;
    std::vector<std::vector<uint8_t>> writes;
    std::vector<uint8_t> waiting;

    serial::OpenResult TrialOpen(int portNumber) override
    {
        lastPortNumber = portNumber;
        return trialResult;
    }
    serial::OpenResult Open(int portNumber, const serial::Settings &settings) override
    {
        lastPortNumber = portNumber;
        lastSettings = settings.text;
        open = openResult == serial::OpenResult::Ok;
        if (open)
            waiting.clear();
        return openResult;
    }
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    bool Write(const std::vector<uint8_t> &bytes) override
    {
        if (!open || refuseWrites)
            return false;
        writes.push_back(bytes);
        return true;
    }
    std::vector<uint8_t> ReadAll() override
    {
        std::vector<uint8_t> out;
        out.swap(waiting);
        return out;
    }

    // Delivers bytes as one receive event.
    void Feed(const std::vector<uint8_t> &bytes)
    {
        waiting.insert(waiting.end(), bytes.begin(), bytes.end());
        if (onBytesWaiting)
            onBytesWaiting();
    }
    void Pull()
    {
        open = false;
        if (onDeviceLost)
            onDeviceLost();
    }
};
