// velqor-sim against a libmodbus master over a socat pty pair. No Qt.
// Usage: tst_sim PATH-TO-velqor-sim

#include "device/parameter_table.h"
#include "modbus/frames.h"
#include "modbus/hex_text.h"
#include "support/module_values.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

std::string g_sim;
int g_failures = 0;

void Check(bool ok, const std::string &what, int line)
{
    if (!ok) {
        ++g_failures;
        std::fprintf(stderr, "tst_sim.cpp:%d: FAIL: %s\n", line, what.c_str());
    }
}
#define CHECK(cond) Check((cond), #cond, __LINE__)

Bytes FromHex(const std::string &hex)
{
    Bytes bytes;
    std::istringstream in(hex);
    unsigned value;
    while (in >> std::hex >> value)
        bytes.push_back(static_cast<uint8_t>(value));
    return bytes;
}

void CheckBytes(const Bytes &actual, const std::string &expectedHex, int line)
{
    Check(actual == FromHex(expectedHex), "got [" + modbus::ToHexText(actual) + "] want [" + expectedHex + " ]", line);
}
#define CHECK_BYTES(actual, expectedHex) CheckBytes((actual), (expectedHex), __LINE__)

// Polls `done` every 10 ms until it holds or `limit` has passed.
template <typename F>
bool WaitFor(F done, std::chrono::milliseconds limit = 5s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A started program with stdout and stderr in `output`; killed by its destructor, and
// by the kernel if this test dies first.
class Child {
public:
    Child(std::vector<std::string> args, const fs::path &output)
    {
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid != 0)
            return;
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }
    ~Child()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // Sends `signal`; the exit status, or nullopt when the program did not end normally.
    std::optional<int> Stop(int signal)
    {
        int status = 0;
        kill(m_pid, signal);
        const bool ended = WaitFor([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; });
        if (!ended)
            return std::nullopt;
        m_pid = -1;
        return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }

private:
    pid_t m_pid = -1;
};

struct TempDir {
    fs::path path;
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "velqor-sim-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path.empty())
            fs::remove_all(path, ignored);
    }
};

// A pty pair, the simulator on end a with `simArgs`, a libmodbus master for slave 1 on end b.
class Bench {
public:
    explicit Bench(std::vector<std::string> simArgs)
        : m_socat({"socat", "-d", "-d", "pty,raw,echo=0,link=" + (m_dir.path / "a").string(),
                   "pty,raw,echo=0,link=" + (m_dir.path / "b").string()},
                  m_dir.path / "socat.log")
    {
        if (!WaitFor([this] { return fs::exists(m_dir.path / "a") && fs::exists(m_dir.path / "b"); })) {
            std::fprintf(stderr, "socat made no pty pair (is socat installed?)\n");
            return;
        }
        simArgs.insert(simArgs.begin(), {g_sim, "--device", (m_dir.path / "a").string()});
        m_sim = std::make_unique<Child>(simArgs, m_dir.path / "sim.log");
        if (!WaitLine("ready ")) {
            std::fprintf(stderr, "velqor-sim did not start:\n%s", Log().c_str());
            return;
        }
        m_master.reset(modbus_new_rtu((m_dir.path / "b").c_str(), 9600, 'N', 8, 1));
        if (!m_master || modbus_connect(m_master.get()) != 0) {
            std::fprintf(stderr, "master: %s\n", modbus_strerror(errno));
            m_master.reset();
            return;
        }
        modbus_set_slave(m_master.get(), 1);
        SetTimeout(1000ms);
    }
    ~Bench()
    {
        if (g_failures > m_failuresBefore && m_sim)
            std::fprintf(stderr, "--- simulator output ---\n%s", Log().c_str());
    }

    bool Ready() const { return m_master != nullptr; }
    modbus_t *master() { return m_master.get(); }
    Child &sim() { return *m_sim; }

    void SetTimeout(std::chrono::milliseconds ms)
    {
        modbus_set_response_timeout(m_master.get(), 0, static_cast<uint32_t>(ms.count() * 1000));
    }

    std::string Log() const
    {
        std::ifstream in(m_dir.path / "sim.log");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // True once the simulator has printed a line that starts with `start`.
    bool WaitLine(const std::string &start)
    {
        return WaitFor([&] { return ("\n" + Log()).find("\n" + start) != std::string::npos; });
    }

    // Sends `request` (address, function, data) with its CRC and returns what comes back,
    // stopping at `expect` bytes or after `limit`.
    Bytes Exchange(const Bytes &request, std::size_t expect, std::chrono::milliseconds limit = 2s)
    {
        modbus_flush(m_master.get());
        modbus_send_raw_request(m_master.get(), request.data(), static_cast<int>(request.size()));
        return Collect(expect, limit);
    }
    Bytes Collect(std::size_t expect, std::chrono::milliseconds limit)
    {
        Bytes got;
        uint8_t buffer[256];
        pollfd p{modbus_get_socket(m_master.get()), POLLIN, 0};
        const auto end = std::chrono::steady_clock::now() + limit;
        for (auto left = limit; got.size() < expect && left.count() > 0 && poll(&p, 1, int(left.count())) > 0;) {
            const ssize_t n = read(p.fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
            left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        }
        return got;
    }

    std::optional<uint16_t> ReadOne(int reg)
    {
        uint16_t value = 0;
        if (modbus_read_registers(m_master.get(), reg, 1, &value) != 1)
            return std::nullopt;
        return value;
    }

private:
    struct ModbusDeleter {
        void operator()(modbus_t *ctx) const
        {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    };
    int m_failuresBefore = g_failures;
    TempDir m_dir;
    Child m_socat;
    std::unique_ptr<Child> m_sim;
    std::unique_ptr<modbus_t, ModbusDeleter> m_master;
};

// The module as it starts, 0 in every other register up to 0x0012.
const std::vector<uint16_t> kStartValues = [] {
    std::vector<uint16_t> values(kModuleStart.begin(), kModuleStart.end());
    values.resize(std::max<std::size_t>(values.size(), 19));
    return values;
}();

std::string RegsLine(const std::vector<uint16_t> &values)
{
    std::string line = "regs";
    for (uint16_t v : values)
        line += " " + std::to_string(v);
    return line + "\n";
}

void ReadsWritesAndCounts()
{
    Bench bench({});
    CHECK(bench.Ready());
    if (!bench.Ready())
        return;
    modbus_t *m = bench.master();

    // the tool's read of the block
    std::vector<uint16_t> regs(device::kReadBlockCount);
    CHECK(modbus_read_registers(m, device::kReadBlockFirst, device::kReadBlockCount, regs.data()) == device::kReadBlockCount);
    CHECK(regs == std::vector<uint16_t>(kModuleStart.begin(), kModuleStart.end()));
    const std::string read = modbus::ToHexText(modbus::BuildReadRequest(1, device::kReadBlockFirst, device::kReadBlockCount));
    CHECK(bench.WaitLine("req " + read.substr(0, read.size() - 1) + "\n"));

    // the parameter block in one write: only 0x0000..0x000C change
    regs.resize(19);
    const std::vector<uint16_t> block{240, 1, 34464, 500, 0, 1000, 1000, 50, 600, 800, 50, 1, 3};
    CHECK(modbus_write_registers(m, 0x0000, 13, block.data()) == 13);
    std::vector<uint16_t> expected = block;
    expected.insert(expected.end(), kStartValues.begin() + 13, kStartValues.begin() + 19);
    CHECK(bench.WaitLine(RegsLine(expected)));
    CHECK(modbus_read_registers(m, 0x0000, 19, regs.data()) == 19);
    CHECK(regs == expected);

    // the last register takes a single write; one past it does not exist
    CHECK(modbus_write_register(m, 0x0012, 1) == 1);
    CHECK(bench.ReadOne(0x0012) == std::optional<uint16_t>(1));
    CHECK(modbus_write_register(m, 0x0013, 1) == -1 && errno == EMBXILADD);
    CHECK(modbus_read_registers(m, 0x0012, 2, regs.data()) == -1 && errno == EMBXILADD);
    CHECK_BYTES(bench.Exchange(FromHex("01 04 00 00 00 01"), 5), "01 84 01 82 C0");

    // the pulse counter runs while the output is on and stands still while it is off
    CHECK(modbus_write_register(m, 0x000D, 1) == 1);
    const auto before = bench.ReadOne(0x000F);
    CHECK(before.has_value());
    CHECK(WaitFor([&] { return bench.ReadOne(0x000F) > before; }));
    CHECK(modbus_write_register(m, 0x000D, 0) == 1);
    const auto stopped = bench.ReadOne(0x000F);
    std::this_thread::sleep_for(350ms);
    CHECK(bench.ReadOne(0x000F) == stopped);

    CHECK(bench.sim().Stop(SIGTERM) == std::optional<int>(0));
}

void ChangesAddressByBroadcast()
{
    Bench bench({});
    CHECK(bench.Ready());
    if (!bench.Ready())
        return;
    modbus_t *m = bench.master();

    // not answered, and not PwmVoltage
    CHECK(bench.Exchange(FromHex("00 06 00 00 00 05"), 1, 300ms).empty());
    CHECK(bench.WaitLine("broadcast 00 06 00 00 00 05 48 18\nstate slave 5\n"));
    modbus_set_slave(m, 5);
    CHECK(bench.ReadOne(0x0000) == std::optional<uint16_t>(100));

    // the old address gets no answer, and costs the next request nothing
    modbus_set_slave(m, 1);
    bench.SetTimeout(300ms);
    CHECK(!bench.ReadOne(0x0000) && errno == ETIMEDOUT);
    CHECK(bench.WaitLine("other 01 03 00 00 00 01 84 0A\n"));
    modbus_set_slave(m, 5);
    bench.SetTimeout(1000ms);
    CHECK(bench.ReadOne(0x0000) == std::optional<uint16_t>(100));

    // 0 and what libmodbus cannot serve are refused; the address stays
    CHECK(bench.Exchange(FromHex("00 06 00 00 00 00"), 1, 300ms).empty());
    CHECK(bench.Exchange(FromHex("00 06 00 00 00 F8"), 1, 300ms).empty());
    CHECK(bench.WaitLine("state refused 0\n"));
    CHECK(bench.WaitLine("state refused 248\n"));
    CHECK(bench.ReadOne(0x0000) == std::optional<uint16_t>(100));

    // at the slave's own address register 0x0000 is PwmVoltage
    CHECK(modbus_write_register(m, 0x0000, 240) == 1);
    CHECK(bench.ReadOne(0x0000) == std::optional<uint16_t>(240));

    CHECK(bench.sim().Stop(SIGINT) == std::optional<int>(0));
}

void EchoesBroadcastWhenAsked()
{
    Bench bench({"--echo-broadcast", "--slave", "3", "--baud", "19200"});
    CHECK(bench.Ready());
    if (!bench.Ready())
        return;
    modbus_set_slave(bench.master(), 3);
    CHECK(bench.ReadOne(0x000C) == std::optional<uint16_t>(2));  // 19200
    CHECK_BYTES(bench.Exchange(FromHex("00 06 00 00 00 05"), 8), "00 06 00 00 00 05 48 18");
    modbus_set_slave(bench.master(), 5);
    CHECK(bench.ReadOne(0x000C) == std::optional<uint16_t>(2));
}

void AppliesFaults()
{
    TempDir scratch;
    const fs::path faults = scratch.path / "faults";
    Bench bench({"--faults-file", faults.string()});
    CHECK(bench.Ready());
    if (!bench.Ready())
        return;
    auto setFault = [&](const std::string &words) { std::ofstream(faults) << words << "\n"; };
    const Bytes read = FromHex("01 03 00 03 00 01");  // PwmDuty, 500
    const char *good = "01 03 02 01 F4 B8 53";

    CHECK_BYTES(bench.Exchange(read, 7), good);  // no file yet
    setFault("none");
    CHECK_BYTES(bench.Exchange(read, 7), good);

    setFault("silent");
    CHECK(bench.Exchange(read, 1, 400ms).empty());

    setFault("as-slave 7");
    CHECK_BYTES(bench.Exchange(read, 7), "07 03 02 01 F4 30 53");

    setFault("bad-crc");
    CHECK_BYTES(bench.Exchange(read, 7), "01 03 02 01 F4 47 AC");

    setFault("garbage");
    const Bytes garbage = bench.Exchange(read, 7);
    CHECK(garbage.size() == 7 && garbage[0] != 0x01 && garbage != FromHex(good));

    // a refused request is not carried out
    setFault("exception");
    CHECK_BYTES(bench.Exchange(read, 5), "01 83 02 C0 F1");
    CHECK(modbus_write_register(bench.master(), 0x0003, 777) == -1 && errno == EMBXILADD);
    CHECK(bench.Exchange(FromHex("00 06 00 00 00 09"), 1, 300ms).empty());

    // late, but whole
    setFault("delay 1500");
    CHECK(bench.Exchange(read, 1, 300ms).empty());
    CHECK_BYTES(bench.Collect(7, 5s), good);

    setFault("as-slave");  // unreadable: the command line's faults (none) apply
    CHECK_BYTES(bench.Exchange(read, 7), good);

    fs::remove(faults);
    CHECK_BYTES(bench.Exchange(read, 7), good);  // also proves 777 and address 9 were refused
    CHECK(bench.WaitLine("fault exception\n"));
}

void TakesFaultsFromCommandLine()
{
    Bench bench({"--as-slave", "9", "--bad-crc"});
    CHECK(bench.Ready());
    if (!bench.Ready())
        return;
    CHECK_BYTES(bench.Exchange(FromHex("01 03 00 03 00 01"), 7), "09 03 02 01 F4 A6 6D");
    CHECK(bench.WaitLine("fault as-slave 9 bad-crc\nrep 09 03 02 01 F4 A6 6D\n"));
}

void AnswersSeveralAddressesBackToBack()
{
    Bench bench({"--also-slave", "7"});
    CHECK(bench.Ready());
    if (!bench.Ready())
        return;
    // requests for a missing slave and for 7 in one burst, as a scan sends them: 7 answers
    const Bytes burst = FromHex("05 03 00 03 00 01 75 8E 07 03 00 03 00 01 74 6C");
    CHECK(write(modbus_get_socket(bench.master()), burst.data(), burst.size()) == ssize_t(burst.size()));
    CHECK_BYTES(bench.Collect(7, 2s), "07 03 02 01 F4 30 53");
    // each module keeps its own registers
    CHECK(modbus_write_register(bench.master(), 0x0003, 777) == 1);
    modbus_set_slave(bench.master(), 7);
    CHECK(bench.ReadOne(0x0003) == std::optional<uint16_t>(500));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tst_sim PATH-TO-velqor-sim\n");
        return 2;
    }
    g_sim = argv[1];
    signal(SIGPIPE, SIG_IGN);

    const std::pair<const char *, void (*)()> cases[] = {
        {"reads, writes and counts", ReadsWritesAndCounts},
        {"changes address by broadcast", ChangesAddressByBroadcast},
        {"echoes broadcast when asked", EchoesBroadcastWhenAsked},
        {"applies faults", AppliesFaults},
        {"takes faults from the command line", TakesFaultsFromCommandLine},
        {"answers several addresses back to back", AnswersSeveralAddressesBackToBack},
    };
    for (const auto &[name, run] : cases) {
        const int before = g_failures;
        run();
        std::printf("%s %s\n", g_failures == before ? "PASS" : "FAIL", name);
    }
    std::printf("%d failure(s)\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
