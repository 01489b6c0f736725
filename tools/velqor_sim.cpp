// velqor-sim: the signal-generator module as a Modbus RTU slave on a serial line or pty,
// for trying the tool without the hardware and for the end-to-end tests.

#include "device/parameter_table.h"
#include "modbus/crc16.h"
#include "tools/sim_modbus_tcp.h"
#include "tools/sim_slave.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

const char kHelpTemplate[] = R"(Usage: velqor-sim --device PATH [options]
       velqor-sim PATH [options]
       velqor-sim --modbus-tcp PORT [options]

Plays the signal-generator module: a Modbus RTU slave (8N1) on the serial device PATH,
e.g. one end of a pty pair:
  socat -d -d pty,raw,echo=0,link=/tmp/a pty,raw,echo=0,link=/tmp/b &
  velqor-sim --device /tmp/a            (the tool opens /tmp/b)

Holding registers 0x0000..@LAST@ with the module's start values. Function 03, 06 and
16 are answered; other functions get exception 01, registers beyond @LAST@ exception
02. Requests for other slave addresses are ignored; a request for this slave is
answered however closely one for another slave precedes it, as on a real bus.
With --also-slave the line holds further modules, each with its own registers.
A write single register (06) of register 0x0000 to the broadcast address 0 changes
the slave address to the value (1..247; other values are refused and the address
stays) and is not answered; every module on the line takes it, as on a real bus.
Other broadcast writes are carried out, unanswered.
While register 0x000D is 1 the pulse counter 0x000F counts up by one every 100 ms,
wrapping at 65536. Writing 0x000C does not change the line's rate. Requests that
come in while a reply is delayed wait for it.

With --modbus-tcp it is a Modbus gateway with the modules behind it instead: a Modbus
TCP server (libmodbus's) on 127.0.0.1:PORT, one connection at a time. The unit id picks
the module; a unit id with no module is answered with exception 11 (the module did not
answer) and unit 0 is the broadcast, unanswered. Replies go back behind the request's
MBAP header; a reply with a bad CRC, garbage and stray bytes go as they are, which no
Modbus TCP client can frame.

Options:
  --device PATH        serial device (or give PATH as the only positional argument)
  --modbus-tcp PORT    serve Modbus TCP on 127.0.0.1:PORT instead (0: a free port, which
                       the ready line names)
  --baud RATE          @RATES@ (default @START_RATE@); also the start
                       value of register 0x000C
  --slave N            slave address, 1..247 (default 1)
  --also-slave N       one more module on the line at address N (1..247; repeatable)
  --echo-broadcast     answer the broadcast address change with the request, unchanged
  --line-time          before each reply, wait as long as the request and the reply take
                       on a real line at --baud (10 bits a byte): a pty carries no rate
  --bench N            a production bench: N modules arrive one after another at the
                       --slave address. Once the module there has taken a new address
                       and nothing has asked it for 300 ms, it leaves the line (is
                       disconnected) and the next arrives, with the start values; after
                       the last, nothing more. With --also-slave the bench's line also
                       holds those modules
  --faults-file PATH   before each request, read the fault words from PATH; when PATH
                       exists they replace the faults of the command line (an empty
                       file means none; unreadable words are reported on stderr and
                       the command line's faults apply)
  --chaos SEED:PERCENT[:LATE_MS]
                       seeded random faults instead of the others: for each request,
                       with PERCENT % chance each (0..11), the reply comes LATE_MS late
                       (default 700), is withheld, truncated, has a bad CRC, stray bytes
                       before or after, comes split, as from the next slave address, or
                       is exception 02. The same SEED draws the same faults. The pulse
                       counter 0x000F then holds the number of requests the module was
                       asked (1, 2, ..., wrapping at 65536), so each reply tells which
                       request it answers
  -h, --help           this text
  --version            the version

Faults, for every reply (they combine; in the faults file as the words in brackets):
  --silent          never answer                                        [silent]
  --as-slave N      reply's address byte N (0..255), CRC made good      [as-slave N]
  --delay-ms N      wait N ms (0..60000) before replying                [delay N]
  --bad-crc         both CRC bytes of the reply inverted                [bad-crc]
  --exception       refuse every request: nothing is done, the answer
                    is exception 02 (function | 0x80, 02), a broadcast
                    gets none                                           [exception]
  --garbage         bytes that are no reply: the reply's length, another
                    address byte                                        [garbage]
  --stray           two bytes FF FF 30 ms after the reply               [stray]
  --stray-before    two bytes FF FF straight before the reply           [stray-before]
  --truncate        only the reply's first half                         [truncate]
  --split           the reply in three pieces, 5 ms apart               [split]
                    no fault                                            [none]

Output, one line per event on stdout, flushed; hex is upper case, two digits per
byte, one blank between bytes and none at the end:
  ready PATH slave N.. baud RATE line open, waiting for requests (every module's address);
                   over Modbus TCP PATH is modbus-tcp://127.0.0.1:PORT
  req HEX          request for this slave, CRC included (over Modbus TCP: the MBAP frame)
  broadcast HEX    request to address 0
  other HEX        request for another slave (ignored)
  drop REASON      bytes that made no request (bad CRC, incomplete frame); the
                   bytes waiting on the line are dropped with them
  regs V0 .. V@LAST_INDEX@   after each write, the @COUNT@ registers in decimal
  state slave N    the slave address after an address change
  state refused N  an address change to N that was not taken
  state left N     (--bench) the module at address N left the line
  state arrived N  (--bench) the next module arrived at address N
  count N          (--chaos) request N for the module, stamped into 0x000F
  fault WORDS      the faults applied to the reply that follows (or withheld)
  rep HEX          the bytes sent back
  stray HEX        bytes sent after the reply (fault stray)

Ends with status 0 on SIGINT or SIGTERM, 1 when the line cannot be opened or is lost,
2 for a usage error.
)";

// The rate a freshly powered module talks at: the module-baud row's start value.
const char *StartRate()
{
    for (const device::Parameter &p : device::kParameters) {
        if (p.first == device::BaudRateCode)
            return p.start;
    }
    return device::kBaudRates[0];
}

// The help with the register range and the rates filled in from the table.
std::string HelpText()
{
    char last[8];
    std::snprintf(last, sizeof last, "0x%04zX", sim::kRegisterCount - 1);
    const std::pair<std::string, std::string> fills[] = {
        {"@LAST@", last},
        {"@LAST_INDEX@", std::to_string(sim::kRegisterCount - 1)},
        {"@COUNT@", std::to_string(sim::kRegisterCount)},
        {"@RATES@", device::BaudRatesText(" ", " ")},
        {"@START_RATE@", StartRate()},
    };
    std::string text = kHelpTemplate;
    for (const auto &[mark, fill] : fills) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + fill.size()))
            text.replace(at, mark.size(), fill);
    }
    return text;
}

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

struct Options {
    std::string device;
    std::optional<int> modbusTcpPort;
    int baud = std::atoi(StartRate());
    uint16_t baudRateCode = device::BaudRateCodeFor(StartRate()).value_or(0);
    std::vector<int> slaves{1};  // the first is --slave, the rest --also-slave
    bool echoBroadcast = false;
    bool lineTime = false;
    int bench = 0;  // modules still to come at slaves.front(), the one there included
    std::string faultsFile;
    sim::Fault fault;
    std::optional<sim::Chaos> chaos;
};

void Print(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::optional<int> ParseInt(const std::string &text, int min, int max)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int value = std::atoi(text.c_str());
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

// nullopt with `error` set for a usage error; `help` or `version` set when asked for.
std::optional<Options> ParseOptions(int argc, char **argv, bool &help, bool &version, std::string &error)
{
    Options options;
    std::string faultWords;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "-h" || arg == "--help" || arg == "--version") {
            (arg == "--version" ? version : help) = true;
            return std::nullopt;
        } else if (arg == "--device") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            options.device = *v;
        } else if (arg == "--baud") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            const auto code = device::BaudRateCodeFor(*v);
            if (!code) {
                error = "unknown baud rate " + *v;
                return std::nullopt;
            }
            options.baud = std::atoi(v->c_str());
            options.baudRateCode = *code;
        } else if (arg == "--slave" || arg == "--also-slave") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            const auto n = ParseInt(*v, 1, 247);
            if (!n) {
                error = "slave address must be 1..247";
                return std::nullopt;
            }
            if (arg == "--slave")
                options.slaves.front() = *n;
            else
                options.slaves.push_back(*n);
        } else if (arg == "--modbus-tcp") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            options.modbusTcpPort = ParseInt(*v, 0, 65535);
            if (!options.modbusTcpPort) {
                error = "--modbus-tcp: port must be 0..65535";
                return std::nullopt;
            }
        } else if (arg == "--line-time") {
            options.lineTime = true;
        } else if (arg == "--bench") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            const auto n = ParseInt(*v, 1, 100000);
            if (!n) {
                error = "--bench: the number of modules must be 1..100000";
                return std::nullopt;
            }
            options.bench = *n;
        } else if (arg == "--echo-broadcast") {
            options.echoBroadcast = true;
        } else if (arg == "--faults-file") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            options.faultsFile = *v;
        } else if (arg == "--chaos") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            options.chaos = sim::ParseChaos(*v);
            if (!options.chaos) {
                error = "--chaos: give SEED:PERCENT[:LATE_MS] (percent 0..11, late 1..60000 ms)";
                return std::nullopt;
            }
        } else if (arg == "--silent" || arg == "--bad-crc" || arg == "--exception" || arg == "--garbage"
                   || arg == "--stray" || arg == "--stray-before" || arg == "--truncate" || arg == "--split") {
            faultWords += " " + arg.substr(2);
        } else if (arg == "--as-slave" || arg == "--delay-ms") {
            const auto v = value();
            if (!v)
                return std::nullopt;
            faultWords += (arg == "--as-slave" ? " as-slave " : " delay ") + *v;
        } else if (arg.rfind("-", 0) != 0 && options.device.empty()) {
            options.device = arg;
        } else {
            error = "unknown argument " + arg;
            return std::nullopt;
        }
    }
    if (options.device.empty() == !options.modbusTcpPort) {
        error = options.device.empty() ? "no device given" : "a device or --modbus-tcp, not both";
        return std::nullopt;
    }
    const auto fault = sim::ParseFault(faultWords);
    if (!fault) {
        error = "bad fault option:" + faultWords;
        return std::nullopt;
    }
    options.fault = *fault;
    return options;
}

// The faults for the next reply: the faults file's when it exists and reads, else the
// command line's.
sim::Fault CurrentFault(const Options &options)
{
    if (options.faultsFile.empty())
        return options.fault;
    std::ifstream in(options.faultsFile);
    if (!in)
        return options.fault;
    std::ostringstream text;
    text << in.rdbuf();
    if (const auto fault = sim::ParseFault(text.str()))
        return *fault;
    std::fprintf(stderr, "velqor-sim: %s: cannot read the faults \"%s\"\n", options.faultsFile.c_str(),
                 text.str().c_str());
    return options.fault;
}

// Waits `ms` with the stop signals open; false when one arrived.
bool Pause(int ms, const sigset_t &openMask)
{
    timespec left{ms / 1000, (ms % 1000) * 1000000L};
    pselect(0, nullptr, nullptr, nullptr, &left, &openMask);
    return !g_stop;
}

bool WriteAll(int fd, const std::vector<uint8_t> &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0)
                return false;  // nobody reads the other end
        } else {
            return false;
        }
    }
    return true;
}

std::string RegistersLine(const uint16_t *registers)
{
    std::string line = "regs";
    for (std::size_t i = 0; i < sim::kRegisterCount; ++i)
        line += " " + std::to_string(registers[i]);
    return line;
}

struct ModbusDeleter {
    void operator()(modbus_t *ctx) const
    {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};

// One module on the line: its address, its registers and its answers.
struct Module {
    Module(int slaveAddress, uint16_t baudRateCode, bool echoBroadcast)
        : address(slaveAddress), registers(sim::StartRegisters(baudRateCode)),
          slave(registers.data(), echoBroadcast)
    {
    }
    int address;
    std::array<uint16_t, sim::kRegisterCount> registers;
    sim::Slave slave;
    bool present = true;                             // false: taken off the line
    uint16_t asked = 0;                              // (--chaos) requests for it so far
    std::chrono::steady_clock::time_point lastAsked{};  // the last request for its address
};

// A bench's module that has its new address leaves once nothing asked it for this long.
constexpr auto kBenchLeaveAfter = std::chrono::milliseconds(300);

// A request frame that began arriving stays incomplete when no byte follows within this.
constexpr auto kByteTimeout = std::chrono::milliseconds(100);

} // namespace

int main(int argc, char **argv)
{
    bool help = false;
    bool version = false;
    std::string error;
    auto parsed = ParseOptions(argc, argv, help, version, error);
    if (help || version) {
        if (version)
            std::printf("velqor-sim %s\n", VELQOR_VERSION);
        else
            std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (!parsed) {
        std::fprintf(stderr, "velqor-sim: %s (see --help)\n", error.c_str());
        return 2;
    }
    Options &options = *parsed;

    // The stop signals stay blocked except while the loop waits, so none slips in
    // between the check of g_stop and the wait.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t stopSignals;
    sigset_t openMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &openMask);
    sigdelset(&openMask, SIGINT);
    sigdelset(&openMask, SIGTERM);

    // libmodbus opens and sets up the line; the framing is ours, so that a request for
    // this slave is taken however closely one for another slave precedes it.
    std::unique_ptr<modbus_t, ModbusDeleter> ctx;
    int fd = -1;
    if (!options.modbusTcpPort) {
        ctx.reset(modbus_new_rtu(options.device.c_str(), options.baud, 'N', 8, 1));
        if (!ctx || modbus_connect(ctx.get()) == -1) {
            std::fprintf(stderr, "velqor-sim: %s: %s\n", options.device.c_str(), modbus_strerror(errno));
            return 1;
        }
        fd = modbus_get_socket(ctx.get());
    }
    // where the replies go: the serial line, or the Modbus TCP connection of the request
    std::function<bool(const std::vector<uint8_t> &)> send = [&fd](const std::vector<uint8_t> &bytes) {
        return WriteAll(fd, bytes);
    };

    // Modules keep their place: each Slave points into its own registers.
    std::deque<Module> modules;
    std::string addresses;
    for (const int address : options.slaves) {
        modules.emplace_back(address, options.baudRateCode, options.echoBroadcast);
        addresses += " " + std::to_string(address);
    }
    uint32_t garbageSeed = 0x2545F491u;
    std::vector<uint8_t> pending;
    auto lastByte = std::chrono::steady_clock::now();
    if (!options.modbusTcpPort)
        Print("ready " + options.device + " slave" + addresses + " baud " + std::to_string(options.baud));

    // The bench's module leaves once it has a new address and nobody asks it; the next
    // comes in its place at the arrival address, as fresh as the first.
    int benchToCome = options.bench;
    auto benchTurn = [&] {
        Module &module = modules.front();
        if (benchToCome == 0 || !module.present || module.address == options.slaves.front()
            || std::chrono::steady_clock::now() - module.lastAsked < kBenchLeaveAfter)
            return;
        Print("state left " + std::to_string(module.address));
        if (--benchToCome == 0) {
            module.present = false;
            return;
        }
        module.address = options.slaves.front();
        module.registers = sim::StartRegisters(options.baudRateCode);
        Print("state arrived " + std::to_string(module.address));
    };

    auto tickAll = [&modules] {
        for (Module &module : modules)
            module.slave.Tick(std::chrono::steady_clock::now());
    };
    // A request for a module here, or to all of them: carry it out and send the replies.
    // False when a stop signal cut a delay short.
    auto serve = [&](const std::vector<uint8_t> &request) {
        const bool broadcast = request[0] == MODBUS_BROADCAST_ADDRESS;
        sim::Fault fault = CurrentFault(options);
        tickAll();
        for (Module &module : modules) {
            if (!module.present || (!broadcast && request[0] != module.address))
                continue;
            module.lastAsked = std::chrono::steady_clock::now();
            if (options.chaos && !broadcast) {
                fault = options.chaos->Next(static_cast<uint8_t>(module.address));
                module.registers[device::PulseCount] = ++module.asked;
                Print("count " + std::to_string(module.asked));
            }
            const sim::Outcome outcome = module.slave.Handle(request.data(), request.size(), fault.exception);
            if (outcome.wrote)
                Print(RegistersLine(module.registers.data()));
            if (outcome.addressChange) {
                const uint16_t address = *outcome.addressChange;
                // 0 is the broadcast address itself; RTU slaves take 1..247
                if (address >= 1 && address <= 247) {
                    module.address = address;
                    Print("state slave " + std::to_string(address));
                } else {
                    Print("state refused " + std::to_string(address));
                }
            }
            const bool faulty = !(fault == sim::Fault{});
            if (outcome.reply.empty()) {
                if (broadcast && fault.exception)
                    Print("fault " + sim::FaultText(fault));  // the broadcast was refused
                continue;
            }
            if (faulty)
                Print("fault " + sim::FaultText(fault));
            if (fault.silent)
                continue;
            if (fault.delayMs > 0 && !Pause(fault.delayMs, openMask))
                return false;
            const auto sent = sim::Corrupt(outcome.reply, fault, garbageSeed);
            if (options.lineTime) {
                const long long us = static_cast<long long>(request.size() + sent.size()) * 10 * 1000000 / options.baud;
                timespec left{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
                pselect(0, nullptr, nullptr, nullptr, &left, &openMask);
                if (g_stop)
                    return false;
            }
            bool sentAll = true;
            if (fault.split) {
                // three pieces, a frame gap and more between them
                const std::size_t third = (sent.size() + 2) / 3;
                for (std::size_t at = 0; at < sent.size() && sentAll; at += third) {
                    if (at > 0 && !Pause(static_cast<int>(sim::kSplitGap.count()), openMask))
                        return false;
                    sentAll = send(std::vector<uint8_t>(sent.begin() + static_cast<long>(at),
                                                        sent.begin() + static_cast<long>(std::min(at + third, sent.size()))));
                }
            } else {
                sentAll = send(sent);
            }
            if (!sentAll) {
                std::fprintf(stderr, "velqor-sim: %s: write: %s\n",
                             options.modbusTcpPort ? "Modbus TCP" : options.device.c_str(), std::strerror(errno));
                continue;
            }
            Print("rep " + sim::Hex(sent));
            if (fault.stray) {
                const std::vector<uint8_t> stray{0xFF, 0xFF};
                if (!Pause(static_cast<int>(sim::kStrayDelay.count()), openMask))
                    return false;
                if (send(stray))
                    Print("stray " + sim::Hex(stray));
            }
        }
        return true;
    };

    if (options.modbusTcpPort) {
        const sim::ModbusTcpModules served{
            serve,
            [&] {
                tickAll();
                benchTurn();
            },
            [&modules](int unit) {
                return std::any_of(modules.begin(), modules.end(),
                                   [unit](const Module &m) { return m.present && m.address == unit; });
            },
            Print};
        return sim::ServeModbusTcp(*options.modbusTcpPort, " slave" + addresses + " baud " + std::to_string(options.baud),
                                   served, send, openMask, g_stop);
    }

    while (!g_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        const auto wait = pending.empty() ? std::chrono::nanoseconds(sim::kPulsePeriod)
                                          : std::chrono::nanoseconds(kByteTimeout);
        timespec tick{0, static_cast<long>(wait.count())};
        const int ready = pselect(fd + 1, &readable, nullptr, nullptr, &tick, &openMask);
        tickAll();
        benchTurn();
        if (ready < 0)
            continue;  // a signal
        if (ready == 0) {
            if (!pending.empty() && std::chrono::steady_clock::now() - lastByte >= kByteTimeout) {
                Print("drop incomplete frame " + sim::Hex(pending));
                pending.clear();
            }
            continue;
        }
        uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            std::fprintf(stderr, "velqor-sim: %s: line lost: %s\n", options.device.c_str(),
                         n == 0 ? "end of file" : std::strerror(errno));
            return 1;
        }
        pending.insert(pending.end(), chunk, chunk + n);
        lastByte = std::chrono::steady_clock::now();

        bool stopped = false;
        for (auto length = sim::RequestLength(pending.data(), pending.size());
             length && pending.size() >= *length && !stopped;
             length = sim::RequestLength(pending.data(), pending.size())) {
            const std::vector<uint8_t> request(pending.begin(), pending.begin() + static_cast<long>(*length));
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(*length));
            if (modbus::Crc16(request.data(), request.size()) != 0) {
                // The frame's bounds are lost with its CRC: start again at the next gap.
                Print("drop bad CRC " + sim::Hex(request));
                tcflush(fd, TCIFLUSH);
                pending.clear();
                break;
            }
            const bool ours = std::any_of(modules.begin(), modules.end(),
                                          [&](const Module &m) { return m.present && request[0] == m.address; });
            if (request[0] == MODBUS_BROADCAST_ADDRESS) {
                Print("broadcast " + sim::Hex(request));
            } else if (!ours) {
                Print("other " + sim::Hex(request));
                continue;
            } else {
                Print("req " + sim::Hex(request));
            }
            stopped = !serve(request);
        }
        if (stopped)
            break;
    }
    return 0;
}
