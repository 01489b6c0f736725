#pragma once
#include "device/parameter_table.h"
#include "modbus/frames.h"
#include "modbus/hex_text.h"

#include <QString>
#include <QtTest>

#include <cstdint>
#include <vector>

// The frames the table gives, as tests expect them: the expectation follows the rows, so a
// parameter added to the table changes it with them. The literal known-good frames live in
// the framing tests and in the tests under the CTest label `document`.

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
