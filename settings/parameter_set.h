#pragma once
#include "device/parameter_table.h"

#include <QByteArray>
#include <QJsonObject>

#include <string>
#include <vector>

// Parameter-set files: one JSON object whose keys are those of the parameter rows, as
// `velqorctl read --json` prints it and as the window saves it.
namespace settings {

// The value of `p` as JSON: a number with the row's decimals, the rate (null for an
// unknown code), true/false for the output (null for a value other than 0 and 1).
QJsonValue JsonValue(const device::Parameter &p, const device::Registers &registers);

// Every row's key with its value; `rowsWritten` only: the rows a file may set (IsSettable).
QJsonObject ParameterSetObject(const device::Registers &registers, bool rowsWritten);

struct SetEntry {
    const device::Parameter *parameter;
    std::string text;  // the value as a plain decimal number, or the rate
    // outside the documented range but one the registers hold: a parameter set read from a
    // module that holds it
    device::Bounds bounds = device::Bounds::Documented;
};

struct ParsedSet {
    std::vector<SetEntry> entries;  // the rows that the write applies, by key
    std::string error;              // empty when the whole file is usable
};

// Reads a file's bytes. output and pulse_count are ignored, a null value leaves its row
// out; a file that is no JSON object, an unknown key, a key given twice, a value that is
// not a number (the rate for module_baud) or no key left to write gives `error`, naming
// the key and what it allows.
ParsedSet ParseParameterSet(const QByteArray &bytes);

// A parameter-set file is never longer than this; a longer one (or /dev/zero) is refused
// after reading no more than this and one byte.
inline constexpr qint64 kParameterSetReadLimit = 64 * 1024;

// Reads and parses the file at `path`; `error` then begins with the path.
ParsedSet ReadParameterSetFile(const QString &path);

} // namespace settings
