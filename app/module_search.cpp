#include "app/module_search.h"

#include "device/parameter_table.h"
#include "modbus/frames.h"
#include "modbus/scan_plan.h"

#include <algorithm>

namespace app {

ModuleSearch::ModuleSearch(std::vector<int> rates, int first, int last)
    : m_rates(std::move(rates)), m_first(first), m_last(last), m_address(first)
{
    if (!Done())
        Begin({});
}

void ModuleSearch::Begin(std::vector<uint8_t> earlier)
{
    m_exchange = modbus::Exchange(
        modbus::BuildReadRequest(static_cast<uint8_t>(m_address), device::kReadBlockFirst, 1), std::move(earlier));
}

std::chrono::milliseconds ModuleSearch::Timeout() const
{
    const auto &request = m_exchange.Request();
    return modbus::AnswerTimeout(Baud(), request.size(), modbus::ExpectedReplyLength(request));
}

bool ModuleSearch::Receive(const std::vector<uint8_t> &bytes)
{
    m_exchange.Receive(bytes);
    return m_exchange.AnswerComplete();
}

void ModuleSearch::Note(int address)
{
    const FoundModule module{address, Baud()};
    if (std::find(m_found.begin(), m_found.end(), module) == m_found.end())
        m_found.push_back(module);
}

std::vector<FoundModule> ModuleSearch::Finish()
{
    const std::size_t before = m_found.size();
    // a reply that came only now is the address asked before: that module is there
    if (const auto late = m_exchange.LateReply(); !late.empty())
        Note(late[0]);
    if (modbus::ShowsModule(m_exchange.JudgeAnswer()))
        Note(m_address);
    const std::vector<FoundModule> added(m_found.begin() + static_cast<long>(before), m_found.end());
    ++m_asked;
    if (m_address < m_last) {
        ++m_address;
        Begin(m_exchange.Request());
    } else {
        SkipRate();
    }
    return added;
}

void ModuleSearch::SkipRate()
{
    m_asked = static_cast<int>(m_rate + 1) * (m_last - m_first + 1);
    ++m_rate;
    m_address = m_first;
    if (!Done())
        Begin({});
}

} // namespace app
