#pragma once
#include "modbus/exchange.h"

#include <chrono>
#include <cstdint>
#include <vector>

// The window's search of the line for modules, without widgets: every address from 1 to
// 247 at each rate asked, in turn, for register 0x0000, as `velqorctl scan` asks, each with
// as long a wait as the request and the reply take at that rate plus the scan's margin. The
// search window sends what this says and hands back what came.
namespace app {

struct FoundModule {
    int address;
    int baud;
    bool operator==(const FoundModule &o) const { return address == o.address && baud == o.baud; }
};

class ModuleSearch {
public:
    explicit ModuleSearch(std::vector<int> rates, int first = 1, int last = 247);

    bool Done() const { return m_rate >= m_rates.size(); }
    int Baud() const { return m_rates[m_rate]; }
    int Address() const { return m_address; }
    // True before the first request at a rate: the port is opened at Baud() for it.
    bool NewRate() const { return m_address == m_first; }
    // The request to send now, and how long its answer may take.
    const std::vector<uint8_t> &Request() const { return m_exchange.Request(); }
    std::chrono::milliseconds Timeout() const;

    // Bytes that came after the request; true once its answer is complete, so that the
    // wait can end early.
    bool Receive(const std::vector<uint8_t> &bytes);
    // The wait is over: the modules that the answer (and a late reply to the address asked
    // before) showed, added to Found(); then on to the next address.
    std::vector<FoundModule> Finish();
    // The rest of the current rate is not asked (its port could not be opened).
    void SkipRate();

    int Asked() const { return m_asked; }
    int Total() const { return static_cast<int>(m_rates.size()) * (m_last - m_first + 1); }
    const std::vector<FoundModule> &Found() const { return m_found; }

private:
    void Begin(std::vector<uint8_t> earlier);
    void Note(int address);

    std::vector<int> m_rates;
    int m_first, m_last;
    std::size_t m_rate = 0;
    int m_address;
    int m_asked = 0;
    modbus::Exchange m_exchange;
    std::vector<FoundModule> m_found;
};

} // namespace app
