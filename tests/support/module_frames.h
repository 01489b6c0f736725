#pragma once
#include "device/parameter_table.h"
#include "modbus/crc16.h"
#include "modbus/frames.h"
#include "modbus/hex_text.h"

#include <QString>
#include <QtTest>

#include <cstdint>
#include <vector>

// Frames as tests write and expect them: built from the builders and the table, so a
// parameter added to the table changes them with the rows. The literal known-good frames
// live in the framing tests and in the tests under the CTest label `document`.

// Bytes written as hex digits, blanks allowed: "01 03 00 00".
inline std::vector<uint8_t> Bytes(const char *hex)
{
    const QByteArray raw = QByteArray::fromHex(QByteArray(hex));
    return std::vector<uint8_t>(raw.begin(), raw.end());
}

// The same bytes with their CRC-16 appended, low byte first.
inline std::vector<uint8_t> WithCrc(const std::vector<uint8_t> &bytes)
{
    return modbus::AppendCrc16(bytes, bytes.size() - 1);
}
inline std::vector<uint8_t> WithCrc(const char *hex)
{
    return WithCrc(Bytes(hex));
}

// `frame` as hex text without a trailing blank: "01 03 00 00".
inline QString FrameText(const std::vector<uint8_t> &frame)
{
    return QString::fromStdString(modbus::ToHexText(frame)).trimmed();
}

// The request for the read block to `slave`, as hex text without a trailing blank.
inline QString ReadRequestText(uint8_t slave = 1)
{
    return FrameText(modbus::BuildReadRequest(slave, device::kReadBlockFirst, device::kReadBlockCount));
}

// The start of a reply to that request: slave, function and byte count, with a blank after.
inline QString ReadReplyHeadText(uint8_t slave = 1)
{
    return QString::fromStdString(
        modbus::ToHexText({slave, 0x03, static_cast<uint8_t>(2 * device::kReadBlockCount)}));
}

// A function-03 reply of `slave` carrying `values`, CRC included.
inline std::vector<uint8_t> ReadReply(const std::vector<uint16_t> &values, uint8_t slave = 1)
{
    std::vector<uint8_t> bytes{slave, 0x03, static_cast<uint8_t>(2 * values.size())};
    for (uint16_t value : values) {
        bytes.push_back(static_cast<uint8_t>(value >> 8));
        bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    return WithCrc(bytes);
}

// The output switch's request to `slave`: on or off.
inline std::vector<uint8_t> OutputRequest(bool on, uint8_t slave = 1)
{
    return modbus::BuildWriteSingleRequest(slave, device::OutputState, on ? 1 : 0);
}

// The broadcast that gives the module the slave address `address`.
inline std::vector<uint8_t> AddressChangeRequest(uint8_t address)
{
    return modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, device::kSlaveAddressRegister, address);
}

// A test that pins the module's known-good frames or the window's fixed layout: ctest runs
// it on its own under the label `document` and skips it in the test's main run, so a build
// with another parameter row runs every other test unchanged (ctest -LE document).
#define PINS_KNOWN_GOOD()                                                                    \
    do {                                                                                    \
        if (qEnvironmentVariableIsSet("VELQOR_SKIP_KNOWN_GOOD"))                            \
            QSKIP("runs under the CTest label document");                                   \
    } while (false)
