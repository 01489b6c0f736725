// Builds velqorctl's manual page from its template (packaging/velqorctl.1.in): the keys with
// their registers and ranges, the rates and the defaults come from the parameter table and
// the program, as --help takes them.
//
//   velqorctl_man_page <template> <page>
//
// Each @NAME@ of the template is replaced; a name it does not know fails the build.

#include "cli/help_facts.h"
#include "device/register_map.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// `text` as roff prints it literally: a backslash and a minus escaped, a line start guarded.
std::string Roff(const std::string &text)
{
    std::string out = text.empty() || (text[0] != '.' && text[0] != '\'') ? "" : "\\&";
    for (const char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

// One line per key, as a tagged paragraph without space between them: its name, then its
// register(s) and range.
std::string KeysSection()
{
    std::string text = ".PD 0\n";
    for (const cli::KeyLine &key : cli::KeyLines())
        text += ".TP 16\n.B " + Roff(key.key) + "\n" + Roff(key.registers) + ": " + Roff(key.range) + "\n";
    return text + ".PD\n";
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: velqorctl_man_page <template> <page>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream read;
    read << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "velqorctl_man_page: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string page = read.str();
    const std::map<std::string, std::string> values{
        {"KEYS", KeysSection()},
        {"BAUD_RATES", device::BaudRatesText(", ", " or ")},
        {"DEFAULT_BAUD", std::to_string(cli::kDefaultBaud)},
        {"DEFAULT_TIMEOUT_MS", std::to_string(cli::kDefaultTimeout.count())},
        {"OUTPUT_REGISTER", cli::RegisterText(device::OutputState)},
    };

    std::string out;
    std::size_t from = 0;
    for (std::size_t at = page.find('@'); at != std::string::npos; at = page.find('@', from)) {
        const std::size_t end = page.find('@', at + 1);
        const auto value = end == std::string::npos ? values.end() : values.find(page.substr(at + 1, end - at - 1));
        if (value == values.end()) {
            std::fprintf(stderr, "velqorctl_man_page: %s: an @ that names no value at offset %zu\n", argv[1], at);
            return 1;
        }
        // @KEYS@ stands on a line of its own and brings its own line ends
        const bool ownLine = value->first == "KEYS" && page.compare(end + 1, 1, "\n") == 0;
        out += page.substr(from, at - from) + value->second;
        from = end + 1 + (ownLine ? 1 : 0);
    }
    out += page.substr(from);

    std::ofstream written(argv[2], std::ios::binary | std::ios::trunc);
    written << out;
    written.close();
    if (!written) {
        std::fprintf(stderr, "velqorctl_man_page: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
