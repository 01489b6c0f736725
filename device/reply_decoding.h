#pragma once
#include "device/parameter_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace device {

struct DecodedRead {
    // the number rows the reply carries, in register order, formatted with their decimals
    std::vector<std::pair<const Parameter *, std::string>> texts;
    std::optional<int> baudItem;          // the rate's position in kBaudRates, only for codes 0..5
    std::optional<uint16_t> outputState;  // the on/off register as read (on only for 1)
};

// Decodes a read reply (function code ending in 3) that the window accepts, from the read
// block's first register on. nullopt (change nothing) for any other reply, among them the
// 8-byte write reply. Only the rows whose registers the reply carries are present.
std::optional<DecodedRead> DecodeReply(const std::vector<uint8_t> &reply);

} // namespace device
