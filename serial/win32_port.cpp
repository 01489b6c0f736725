#include "serial/win32_port.h"

#include "serial/line_settings.h"
#include "serial/port_names.h"


#include <windows.h>

#include <cctype>

namespace serial {
namespace {

constexpr DWORD kBufferSize = 1024;
constexpr int kPollMs = 5;

HANDLE Handle(void *handle)
{
    return static_cast<HANDLE>(handle);
}

// COM10 and above exist only in the \\.\ form; it serves COM1 to COM9 as well.
std::string SystemName(const std::string &device)
{
    if (device.rfind("\\\\.\\", 0) == 0)
        return device;
    return "\\\\.\\" + device;
}

std::string SystemReason(DWORD error)
{
    char *text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                        reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = length && text ? std::string(text, length) : "system error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() && (std::isspace(static_cast<unsigned char>(reason.back())) || reason.back() == '.'))
        reason.pop_back();
    if (!reason.empty())
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason;
}

OpenResult FromSystemError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        return OpenResult::NotFound;
    case ERROR_ACCESS_DENIED:  // what Windows says of a COM port that another program holds
    case ERROR_SHARING_VIOLATION:
        return OpenResult::Busy;
    default:
        return OpenResult::OtherError;
    }
}

} // namespace

Win32Comm::~Win32Comm()
{
    Close();
}

OpenResult Win32Comm::Open(const std::string &device, Port::Failure *tried)
{
    Port::Failure failure{device, {}};
    OpenResult result = OpenResult::Ok;
    if (IsOpen()) {
        failure.reason = "already open in this program";
        result = OpenResult::Busy;
    } else {
        const HANDLE handle = CreateFileA(SystemName(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            m_lastError = GetLastError();
            result = FromSystemError(m_lastError);
            failure.reason = SystemReason(m_lastError);
            if (result == OpenResult::Busy)
                failure.reason = "held by another program (" + failure.reason + ")";
        } else {
            m_handle = handle;
            m_readWait = -1;
            SetupComm(handle, kBufferSize, kBufferSize);
        }
    }
    if (tried)
        *tried = failure;
    return result;
}

bool Win32Comm::Configure(const std::string &settings)
{
    if (!IsOpen())
        return false;
    const std::optional<LineSettings> line = ParseLineSettings(settings);
    if (!line)
        return false;
    const BYTE parity = line->parity == 'O' ? ODDPARITY : line->parity == 'E' ? EVENPARITY : NOPARITY;
    const long long baud = line->baud;
    const int dataBits = line->dataBits;
    const int stopBits = line->stopBits;

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Handle(m_handle), &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.fBinary = TRUE;
    dcb.fParity = parity != NOPARITY;
    dcb.Parity = parity;
    dcb.ByteSize = static_cast<BYTE>(dataBits);
    dcb.StopBits = stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;   // DTR on and RTS off, as the adapter expects
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!SetCommState(Handle(m_handle), &dcb)) {
        m_lastError = GetLastError();
        return false;
    }
    PurgeComm(Handle(m_handle), PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    return true;
}

bool Win32Comm::Write(const std::vector<uint8_t> &bytes)
{
    if (!IsOpen())
        return false;
    DWORD written = 0;
    if (!WriteFile(Handle(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        m_lastError = GetLastError();
        return false;
    }
    return written == bytes.size();
}

std::vector<uint8_t> Win32Comm::Read(int waitMs, bool *failed)
{
    if (failed)
        *failed = false;
    if (!IsOpen())
        return {};
    if (waitMs != m_readWait) {
        // With both of these at MAXDWORD a read returns at once with what is waiting, or
        // with the first bytes that come within the constant; 0 for all three but the
        // interval makes it return at once.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = waitMs > 0 ? MAXDWORD : 0;
        timeouts.ReadTotalTimeoutConstant = waitMs > 0 ? static_cast<DWORD>(waitMs) : 0;
        timeouts.WriteTotalTimeoutConstant = 2000;
        if (!SetCommTimeouts(Handle(m_handle), &timeouts)) {
            m_lastError = GetLastError();
            if (failed)
                *failed = true;
            return {};
        }
        m_readWait = waitMs;
    }
    std::vector<uint8_t> bytes(kBufferSize);
    DWORD got = 0;
    if (!ReadFile(Handle(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        m_lastError = GetLastError();
        if (failed)
            *failed = true;
        return {};
    }
    bytes.resize(got);
    return bytes;
}

void Win32Comm::Drain()
{
    if (IsOpen())
        FlushFileBuffers(Handle(m_handle));
}

void Win32Comm::Close()
{
    if (!IsOpen())
        return;
    CloseHandle(Handle(m_handle));
    m_handle = nullptr;
}

std::string Win32Comm::LastError() const
{
    return SystemReason(m_lastError);
}

Win32Port::Win32Port(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(true); });
}

Win32Port::~Win32Port() = default;

OpenResult Win32Port::TrialOpen(int portNumber)
{
    if (m_comm.IsOpen()) {
        lastFailure = {{}, "already open in this program"};
        return OpenResult::Busy;
    }
    Win32Comm trial;
    Failure tried;
    const OpenResult result = trial.Open(DeviceForPort(portNumber), &tried);
    lastFailure = result == OpenResult::Ok ? Failure{} : Failure{{}, tried.reason};
    return result;
}

OpenResult Win32Port::Open(int portNumber, const Settings &settings)
{
    Failure tried;
    const OpenResult result = m_comm.Open(DeviceForPort(portNumber), &tried);
    lastFailure = result == OpenResult::Ok ? Failure{} : Failure{{}, tried.reason};
    if (result != OpenResult::Ok)
        return result;
    if (!m_comm.Configure(settings.text)) {
        lastFailure = {{}, "the port refuses the settings \"" + settings.text + "\""};
        m_comm.Close();
        return OpenResult::BadSettings;
    }
    m_received.clear();
    m_poll.start();
    return OpenResult::Ok;
}

void Win32Port::Close()
{
    m_poll.stop();
    m_comm.Close();
    m_received.clear();
}

bool Win32Port::IsOpen() const
{
    return m_comm.IsOpen();
}

bool Win32Port::Write(const std::vector<uint8_t> &bytes)
{
    return m_comm.Write(bytes);
}

std::vector<uint8_t> Win32Port::ReadAll()
{
    // Bytes that arrived since the last poll come along too.
    Poll(false);
    std::vector<uint8_t> bytes;
    bytes.swap(m_received);
    return bytes;
}

void Win32Port::Poll(bool notify)
{
    if (!m_comm.IsOpen())
        return;
    bool failed = false;
    const std::vector<uint8_t> bytes = m_comm.Read(0, &failed);
    if (failed) {
        lastFailure = {{}, "the device went away (" + m_comm.LastError() + ")"};
        Close();
        if (onDeviceLost)
            onDeviceLost();
        return;
    }
    if (bytes.empty())
        return;
    m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    if (m_received.size() > kBufferSize)  // what a full receive buffer would have dropped
        m_received.resize(kBufferSize);
    if (notify && onBytesWaiting)
        onBytesWaiting();
}

} // namespace serial
