#pragma once
#include <optional>
#include <string>

// com.txt: line 1 the port number, line 2 the PC baud rate, each ended by CR LF.
namespace settings {

struct StoredSettings {
    std::optional<std::string> portText;  // line 1 without its terminator, when present
    std::optional<std::string> baudText;  // line 2, when present
};

// Splits the file's bytes into its first two lines (CR LF, LF or CR ends a line; a last
// line without terminator counts; a NUL byte ends a line's text). Lines after the second
// are ignored.
StoredSettings ParseSettings(const std::string &content);

// The two lines as they are written: "<portNumber>\r\n<baud>\r\n".
std::string FormatSettings(int portNumber, const std::string &baudText);

// The list position that line 1 selects: the longest number at the start of the text
// (blanks skipped, optional sign, digits, optional fraction), rounded halves to even,
// minus one. A text that starts with no number gives -1 (no item selected), and so does
// any result outside 0..itemCount-1, however long the number.
int PortIndexFromText(const std::string &portText, int itemCount);

} // namespace settings
