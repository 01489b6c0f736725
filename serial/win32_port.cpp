#include "serial/win32_port.h"

#include "serial/device_lost.h"
#include "serial/line_settings.h"
#include "serial/port_names.h"


#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>

namespace serial {
namespace {

constexpr DWORD kBufferSize = 1024;
// How long the window's reading thread waits for bytes before it looks whether the device
// is still there: the only wake-ups of an idle port.
constexpr int kListenMs = 500;
// The read timeout set on the port: a read returns with the first bytes, or after this with
// none. The wait on the read's event decides how long a read really waits.
constexpr DWORD kReadTimeoutMs = 1000;
// This many reads in a row that should have waited and ended at once with nothing: the
// line hung up.
constexpr int kEarlyEmptyReadsGone = 3;

// "COM12" of "COM12" or "\\.\COM12"; empty for any other name.
std::string ComName(const std::string &device)
{
    const std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
    return ParsePortName(name) ? name : std::string();
}

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

Win32Comm::Win32Comm() = default;

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
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            m_lastError = GetLastError();
            result = FromSystemError(m_lastError);
            failure.reason = SystemReason(m_lastError);
            if (result == OpenResult::Busy)
                failure.reason = "held by another program (" + failure.reason + ")";
        } else {
            m_handle = handle;
            m_readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            m_writeDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            m_restDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            m_wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            m_readState = std::make_unique<OVERLAPPED>();
            m_reading = false;
            SetupComm(handle, kBufferSize, kBufferSize);
            m_portName = ComName(device);
            char target[512];
            m_namedAtOpen = !m_portName.empty() && QueryDosDeviceA(m_portName.c_str(), target, sizeof target) != 0;
            DWORD modem = 0;
            m_modemAnswers = GetCommModemStatus(handle, &modem) != 0;
            m_earlyEmptyReads = 0;
            m_goneReason.clear();
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

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Handle(m_handle), &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(line->baud);
    dcb.fBinary = TRUE;
    dcb.fParity = parity != NOPARITY;
    dcb.Parity = parity;
    dcb.ByteSize = static_cast<BYTE>(line->dataBits);
    dcb.StopBits = line->stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
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
    // With the interval and the multiplier at MAXDWORD a read returns at once with what is
    // waiting, or with the first bytes that come within the constant.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!SetCommTimeouts(Handle(m_handle), &timeouts)) {
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
    OVERLAPPED overlapped{};
    overlapped.hEvent = Handle(m_writeDone);
    ResetEvent(overlapped.hEvent);
    DWORD written = 0;
    if ((!WriteFile(Handle(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped)
         && GetLastError() != ERROR_IO_PENDING)
        || !GetOverlappedResult(Handle(m_handle), &overlapped, &written, TRUE)) {
        m_lastError = GetLastError();
        Went(PortFact::WriteFailed, SystemReason(m_lastError));
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
    // One read of one byte stays in flight from call to call: it ends when a byte comes (or,
    // on Windows, after the port's read timeout with none). It is never cancelled while the
    // port is open (Wine may not end a cancelled serial read). A read for more than one byte
    // may wait on until it has them all (Wine's overlapped reads do), the timeouts
    // notwithstanding; so the bytes behind the first are read as many as are waiting.
    auto fail = [&](DWORD error) {
        m_lastError = error;
        Went(PortFact::ReadFailed, SystemReason(error));
        if (failed)
            *failed = true;
        return std::vector<uint8_t>();
    };
    if (!m_reading) {
        ZeroMemory(m_readState.get(), sizeof(OVERLAPPED));
        auto *overlapped = static_cast<OVERLAPPED *>(m_readState.get());
        overlapped->hEvent = Handle(m_readDone);
        ResetEvent(overlapped->hEvent);
        m_readStarted = GetTickCount64();
        if (!ReadFile(Handle(m_handle), &m_firstByte, 1, nullptr, overlapped) && GetLastError() != ERROR_IO_PENDING)
            return fail(GetLastError());
        m_reading = true;
    }
    auto *overlapped = static_cast<OVERLAPPED *>(m_readState.get());
    const HANDLE events[] = {overlapped->hEvent, Handle(m_wake)};
    if (WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(waitMs > 0 ? waitMs : 0)) != WAIT_OBJECT_0) {
        if (waitMs > 0 && !GoneReason().empty() && failed)  // a wait with nothing: still there?
            *failed = true;
        return {};
    }
    DWORD got = 0;
    m_reading = false;
    if (!GetOverlappedResult(Handle(m_handle), overlapped, &got, FALSE))
        return fail(GetLastError());
    if (got == 0) {
        // The read timed out with nothing. Well before its time is what a hung-up line gives.
        const bool early = GetTickCount64() - m_readStarted < kReadTimeoutMs / 2;
        m_earlyEmptyReads = early ? m_earlyEmptyReads + 1 : 0;
        if (!GoneReason().empty() && failed)
            *failed = true;
        return {};
    }
    m_earlyEmptyReads = 0;
    std::vector<uint8_t> bytes{m_firstByte};
    COMSTAT status{};
    DWORD errors = 0;
    if (ClearCommError(Handle(m_handle), &errors, &status) && status.cbInQue > 0) {
        std::vector<uint8_t> more(std::min<DWORD>(status.cbInQue, kBufferSize - 1));
        OVERLAPPED rest{};
        rest.hEvent = Handle(m_restDone);
        ResetEvent(rest.hEvent);
        DWORD moreGot = 0;
        // As many bytes as are waiting: the read ends at once.
        if (!ReadFile(Handle(m_handle), more.data(), static_cast<DWORD>(more.size()), nullptr, &rest)
            && GetLastError() != ERROR_IO_PENDING)
            return fail(GetLastError());
        if (!GetOverlappedResult(Handle(m_handle), &rest, &moreGot, TRUE))
            return fail(GetLastError());
        bytes.insert(bytes.end(), more.begin(), more.begin() + moreGot);
    }
    return bytes;
}

std::string Win32Comm::GoneReason()
{
    if (!IsOpen())
        return m_goneReason;
    COMSTAT status{};
    DWORD errors = 0;
    if (!ClearCommError(Handle(m_handle), &errors, &status)) {
        m_lastError = GetLastError();
        Went(PortFact::DeviceGone, "the port's status cannot be read: " + SystemReason(m_lastError));
    } else if (DWORD modem = 0; m_modemAnswers && !GetCommModemStatus(Handle(m_handle), &modem)) {
        m_lastError = GetLastError();
        Went(PortFact::DeviceGone, "the port's lines cannot be read: " + SystemReason(m_lastError));
    } else if (char target[512]; m_namedAtOpen && !QueryDosDeviceA(m_portName.c_str(), target, sizeof target)) {
        Went(PortFact::DeviceGone, "the system no longer has " + m_portName);
    } else if (m_earlyEmptyReads >= kEarlyEmptyReadsGone) {
        Went(PortFact::HangUp, "reads end at once with nothing");
    }
    return m_goneReason;
}

void Win32Comm::Interrupt()
{
    if (m_wake)
        SetEvent(Handle(m_wake));
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
    if (m_reading) {
        // The read in flight ends before its state goes; Wine may not end it on cancel,
        // and closing the handle ends it.
        CancelIo(Handle(m_handle));
        WaitForSingleObject(Handle(m_readDone), 1000);
        m_reading = false;
    }
    CloseHandle(Handle(m_handle));
    for (void **event : {&m_readDone, &m_writeDone, &m_restDone, &m_wake}) {
        CloseHandle(Handle(*event));
        *event = nullptr;
    }
    m_handle = nullptr;
}

void Win32Comm::Went(PortFact fact, const std::string &systemText)
{
    // the first sign is the one told
    if (m_goneReason.empty() && DeviceWentAway(fact))
        m_goneReason = DeviceLostReason(fact, systemText);
}

std::string Win32Comm::LastError() const
{
    return m_goneReason.empty() ? SystemReason(m_lastError) : m_goneReason;
}

Win32Port::Win32Port(QObject *parent) : QObject(parent)
{
}

Win32Port::~Win32Port()
{
    Close();
}

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
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_received.clear();
        m_told = false;
    }
    m_stop = false;
    const unsigned generation = ++m_generation;
    m_reader = std::thread([this, generation] { Listen(generation); });
    return OpenResult::Ok;
}

void Win32Port::Close()
{
    m_stop = true;
    m_comm.Interrupt();
    if (m_reader.joinable())
        m_reader.join();
    ++m_generation;  // what the reader posted before it ended is for nobody now
    m_comm.Close();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_told = false;
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
    std::vector<uint8_t> bytes;
    const std::lock_guard<std::mutex> lock(m_mutex);
    bytes.swap(m_received);
    m_told = false;
    return bytes;
}

void Win32Port::Listen(unsigned generation)
{
    while (!m_stop) {
        bool failed = false;
        const std::vector<uint8_t> bytes = m_comm.Read(kListenMs, &failed);
        if (m_stop)
            return;
        if (failed) {
            const std::string reason = m_comm.LastError();
            QMetaObject::invokeMethod(this, [this, generation, reason] { Lost(generation, reason); }, Qt::QueuedConnection);
            return;
        }
        if (bytes.empty())
            continue;
        bool tell = false;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_received.insert(m_received.end(), bytes.begin(), bytes.end());
            if (m_received.size() > kBufferSize)  // what a full receive buffer would have dropped
                m_received.resize(kBufferSize);
            tell = !m_told;
            m_told = true;
        }
        if (tell) {
            QMetaObject::invokeMethod(this, [this, generation] {
                if (generation == m_generation && onBytesWaiting)
                    onBytesWaiting();
            }, Qt::QueuedConnection);
        }
    }
}

void Win32Port::Lost(unsigned generation, const std::string &reason)
{
    if (generation != m_generation)
        return;
    lastFailure = {{}, reason};
    Close();
    if (onDeviceLost)
        onDeviceLost();
}

} // namespace serial
