#pragma once
#include <string>

namespace modbus {

// Reply lengths, in characters of hex text, that the check accepts:
// read replies of 1, 5, 6, 7, 8, 13, 14 and 16 registers and the 8-byte write reply.
bool IsAcceptedReplyLength(std::size_t characters);

// Judges the text collected since the request: the first five characters (slave address
// and function code) equal those of `sendText`, the length is an accepted one, the text
// is well-formed hex text and the last two bytes are the CRC-16 of the bytes before them.
bool IsGoodReply(const std::string &sendText, const std::string &receiveBuffer);

} // namespace modbus
