#include "tools/sim_slave.h"

#include "device/parameter_table.h"
#include "modbus/crc16.h"
#include "modbus/hex_text.h"

#include <modbus.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace sim {

namespace {

uint16_t Word(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void PutWord(std::vector<uint8_t> &frame, uint16_t value)
{
    frame.push_back(static_cast<uint8_t>(value >> 8));
    frame.push_back(static_cast<uint8_t>(value & 0xFF));
}

std::vector<uint8_t> ExceptionReply(uint8_t address, uint8_t function, uint8_t code)
{
    std::vector<uint8_t> reply{address, static_cast<uint8_t>(function | 0x80), code};
    AppendCrc(reply);
    return reply;
}

std::optional<int> Number(const std::string &word, int max)
{
    if (word.empty() || word.size() > 5)
        return std::nullopt;
    int value = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > max)
        return std::nullopt;
    return value;
}

uint32_t NextRandom(uint32_t &state)
{
    // xorshift32; a zero state would stay zero
    if (state == 0)
        state = 0x2545F491u;
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

} // namespace

std::array<uint16_t, kRegisterCount> StartRegisters(uint16_t baudRateCode)
{
    // the window's start values, from the parameter rows
    const device::Registers block = device::StartRegisters(baudRateCode);
    std::array<uint16_t, kRegisterCount> r{};
    std::copy(block.begin(), block.end(), r.begin());
    return r;
}

void AppendCrc(std::vector<uint8_t> &frame)
{
    const uint16_t crc = modbus::Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

std::optional<std::size_t> RequestLength(const uint8_t *frame, std::size_t n)
{
    if (n < 2)
        return std::nullopt;
    const uint8_t function = frame[1];
    if (function >= MODBUS_FC_READ_COILS && function <= MODBUS_FC_WRITE_SINGLE_REGISTER)
        return 8;  // address, function, two words, CRC
    if (function == MODBUS_FC_WRITE_MULTIPLE_COILS || function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS) {
        if (n < 7)
            return std::nullopt;
        return 9u + frame[6];  // then the byte count and the data
    }
    return 4;  // a function without a body here: answered with exception 01
}

std::string Hex(const uint8_t *data, std::size_t n)
{
    std::string text;
    modbus::AppendHexText(text, data, n);
    if (!text.empty())
        text.pop_back();  // the blank after the last byte
    return text;
}

bool Fault::operator==(const Fault &o) const
{
    return silent == o.silent && asSlave == o.asSlave && delayMs == o.delayMs && badCrc == o.badCrc
        && exception == o.exception && garbage == o.garbage && stray == o.stray && strayBefore == o.strayBefore
        && truncate == o.truncate && split == o.split;
}

std::optional<Fault> ParseFault(const std::string &words)
{
    std::istringstream in(words);
    Fault fault;
    std::string word;
    while (in >> word) {
        if (word == "none") {
            fault = Fault{};
        } else if (word == "silent") {
            fault.silent = true;
        } else if (word == "bad-crc") {
            fault.badCrc = true;
        } else if (word == "exception") {
            fault.exception = true;
        } else if (word == "garbage") {
            fault.garbage = true;
        } else if (word == "stray") {
            fault.stray = true;
        } else if (word == "stray-before") {
            fault.strayBefore = true;
        } else if (word == "truncate") {
            fault.truncate = true;
        } else if (word == "split") {
            fault.split = true;
        } else if (word == "as-slave" || word == "delay") {
            std::string argument;
            in >> argument;
            const auto n = Number(argument, word == "as-slave" ? 255 : 60000);
            if (!n)
                return std::nullopt;
            if (word == "as-slave")
                fault.asSlave = static_cast<uint8_t>(*n);
            else
                fault.delayMs = *n;
        } else {
            return std::nullopt;
        }
    }
    return fault;
}

std::string FaultText(const Fault &fault)
{
    std::string text;
    auto add = [&text](const std::string &word) { text += (text.empty() ? "" : " ") + word; };
    if (fault.silent)
        add("silent");
    if (fault.asSlave)
        add("as-slave " + std::to_string(*fault.asSlave));
    if (fault.delayMs > 0)
        add("delay " + std::to_string(fault.delayMs));
    if (fault.badCrc)
        add("bad-crc");
    if (fault.exception)
        add("exception");
    if (fault.garbage)
        add("garbage");
    if (fault.stray)
        add("stray");
    if (fault.strayBefore)
        add("stray-before");
    if (fault.truncate)
        add("truncate");
    if (fault.split)
        add("split");
    return text.empty() ? "none" : text;
}

std::vector<uint8_t> Corrupt(std::vector<uint8_t> reply, const Fault &fault, uint32_t &seed)
{
    if (reply.size() < 3)
        return reply;
    if (fault.asSlave) {
        reply.resize(reply.size() - 2);
        reply[0] = *fault.asSlave;
        AppendCrc(reply);
    }
    if (fault.badCrc) {
        reply[reply.size() - 2] ^= 0xFF;
        reply[reply.size() - 1] ^= 0xFF;
    }
    if (fault.garbage) {
        const uint8_t address = reply[0];
        for (uint8_t &b : reply)
            b = static_cast<uint8_t>(NextRandom(seed) >> 24);
        // whatever the dice say, the header must not pass for the real one
        if (reply[0] == address)
            reply[0] ^= 0xA5;
    }
    if (fault.truncate)
        reply.resize(reply.size() / 2);
    if (fault.strayBefore)
        reply.insert(reply.begin(), {0xFF, 0xFF});
    return reply;
}

Chaos::Chaos(uint32_t seed, int percent, int lateMs)
    : m_state(seed == 0 ? 0x9E3779B9u : seed), m_percent(percent), m_lateMs(lateMs)
{
}

Fault Chaos::Next(uint8_t slave)
{
    const int roll = static_cast<int>(NextRandom(m_state) % 100);
    Fault fault;
    if (roll >= 9 * m_percent)
        return fault;
    switch (roll / m_percent) {
    case 0: fault.delayMs = m_lateMs; break;
    case 1: fault.silent = true; break;
    case 2: fault.truncate = true; break;
    case 3: fault.badCrc = true; break;
    case 4: fault.strayBefore = true; break;
    case 5: fault.stray = true; break;
    case 6: fault.split = true; break;
    case 7: fault.asSlave = static_cast<uint8_t>(slave == 247 ? 1 : slave + 1); break;
    default: fault.exception = true; break;
    }
    return fault;
}

std::optional<Chaos> ParseChaos(const std::string &text)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, ':');)
        parts.push_back(part);
    if (parts.size() < 2 || parts.size() > 3 || parts[0].empty() || parts[0].size() > 10
        || parts[0].find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long seed = std::stoull(parts[0]);
    const auto percent = Number(parts[1], 11);
    const auto late = parts.size() == 3 ? Number(parts[2], 60000) : std::optional<int>(700);
    if (seed > 0xFFFFFFFFull || !percent || !late || *late < 1)
        return std::nullopt;
    return Chaos(static_cast<uint32_t>(seed), *percent, *late);
}

Slave::Slave(uint16_t *registers, bool echoBroadcast)
    : m_registers(registers), m_echoBroadcast(echoBroadcast)
{
}

Outcome Slave::Handle(const uint8_t *frame, std::size_t length, bool refuse)
{
    Outcome out;
    if (length < 4)
        return out;
    const uint8_t address = frame[0];
    const uint8_t function = frame[1];
    const bool broadcast = address == MODBUS_BROADCAST_ADDRESS;
    const std::size_t pduLength = length - 2;  // without the CRC

    auto answer = [&](std::vector<uint8_t> reply) {
        if (!broadcast)
            out.reply = std::move(reply);
    };
    auto fail = [&](uint8_t code) { answer(ExceptionReply(address, function, code)); };

    if (refuse) {
        fail(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        return out;
    }

    switch (function) {
    case MODBUS_FC_READ_HOLDING_REGISTERS: {
        if (broadcast || pduLength < 6)
            return out;
        const uint16_t first = Word(frame + 2);
        const uint16_t count = Word(frame + 4);
        if (count < 1 || count > MODBUS_MAX_READ_REGISTERS) {
            fail(MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
        } else if (std::size_t{first} + count > kRegisterCount) {
            fail(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        } else {
            std::vector<uint8_t> reply{address, function, static_cast<uint8_t>(count * 2)};
            for (uint16_t i = 0; i < count; ++i)
                PutWord(reply, m_registers[first + i]);
            AppendCrc(reply);
            answer(std::move(reply));
        }
        return out;
    }
    case MODBUS_FC_WRITE_SINGLE_REGISTER: {
        if (pduLength < 6)
            return out;
        const uint16_t reg = Word(frame + 2);
        const uint16_t value = Word(frame + 4);
        if (broadcast && reg == device::kSlaveAddressRegister) {
            out.addressChange = value;
            if (m_echoBroadcast)
                out.reply.assign(frame, frame + length);
        } else if (reg >= kRegisterCount) {
            fail(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        } else {
            m_registers[reg] = value;
            out.wrote = true;
            std::vector<uint8_t> reply(frame, frame + 6);
            AppendCrc(reply);
            answer(std::move(reply));
        }
        return out;
    }
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS: {
        if (pduLength < 7)
            return out;
        const uint16_t first = Word(frame + 2);
        const uint16_t count = Word(frame + 4);
        const std::size_t byteCount = frame[6];
        if (count < 1 || count > MODBUS_MAX_WRITE_REGISTERS || byteCount != count * 2u
            || pduLength < 7 + byteCount) {
            fail(MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
        } else if (std::size_t{first} + count > kRegisterCount) {
            fail(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        } else {
            for (uint16_t i = 0; i < count; ++i)
                m_registers[first + i] = Word(frame + 7 + 2 * i);
            out.wrote = true;
            std::vector<uint8_t> reply(frame, frame + 6);
            AppendCrc(reply);
            answer(std::move(reply));
        }
        return out;
    }
    default:
        fail(MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
        return out;
    }
}

void Slave::Tick(std::chrono::steady_clock::time_point now)
{
    if (m_registers[device::OutputState] != 1) {
        m_counting = false;
        return;
    }
    if (!m_counting) {
        m_counting = true;
        m_lastPulse = now;
        return;
    }
    const auto pulses = (now - m_lastPulse) / kPulsePeriod;
    if (pulses <= 0)
        return;
    m_registers[device::PulseCount] = static_cast<uint16_t>(m_registers[device::PulseCount] + pulses);
    m_lastPulse += pulses * kPulsePeriod;
}

} // namespace sim
