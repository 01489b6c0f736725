#pragma once
#include "serial/device_lost.h"
#include "serial/port.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include <string>
#include <vector>

// The serial port through the Win32 API with overlapped calls: a read waits for its first
// bytes on an event, as long as asked and no longer, while a write from another thread goes
// out at once. Windows and Wine carry it alike (Wine also onto a pty, which keeps no receive
// counter for WaitCommEvent to wait on).
struct _OVERLAPPED;

namespace serial {

// One COM port handle. Reads never wait longer than asked.
class Win32Comm {
public:
    Win32Comm();
    ~Win32Comm();
    Win32Comm(const Win32Comm &) = delete;
    Win32Comm &operator=(const Win32Comm &) = delete;

    // Opens "COMn" (or a \\.\ name) for exclusive use; `tried` gets the device and, for a
    // failure, the system's reason.
    OpenResult Open(const std::string &device, Port::Failure *tried = nullptr);
    // Applies "baud,parity,data,stop" with DTR on, RTS off and no flow control, then
    // discards what is waiting in either direction. False when the port refuses.
    bool Configure(const std::string &settings);
    bool IsOpen() const { return m_handle != nullptr; }
    // Writes every byte; false when the port refuses or takes fewer.
    bool Write(const std::vector<uint8_t> &bytes);
    // The bytes waiting, or the first that arrive within `waitMs` (0: no wait); Interrupt
    // ends the wait early. `failed` is set when the device went away: the read failed, or
    // it brought nothing and GoneReason says why.
    std::vector<uint8_t> Read(int waitMs, bool *failed = nullptr);
    // Ends a Read waiting in another thread at once, and any Read after it until Open.
    void Interrupt();
    // Waits until every written byte has left.
    void Drain();
    void Close();
    // Why the device went away (DeviceLostReason's words) once it has; before that, the
    // system's words for the last failure.
    std::string LastError() const;
    // Why the open device is taken to be gone, judged after a read brought nothing; empty
    // while it is there. The system's reports are mapped onto the facts of device_lost.h,
    // whose rule decides. Gone: the port's status calls fail (ClearCommError, and
    // GetCommModemStatus where it answered at open), the system no longer names the port,
    // or reads that should wait keep ending at once with nothing (a hung-up line).
    std::string GoneReason();

private:
    // Notes what the port reported; the first fact that means the device went away is kept.
    void Went(PortFact fact, const std::string &systemText);

    void *m_handle = nullptr;
    void *m_readDone = nullptr;   // events of the overlapped reads and the write, and the wake-up
    void *m_writeDone = nullptr;
    void *m_restDone = nullptr;
    std::unique_ptr<_OVERLAPPED> m_readState;  // the read in flight (windows.h stays out of here)
    bool m_reading = false;       // a read of one byte is in flight
    uint8_t m_firstByte = 0;      // its buffer
    unsigned long long m_readStarted = 0;
    void *m_wake = nullptr;
    std::string m_portName;        // "COM12", as QueryDosDevice knows it; empty for other names
    bool m_namedAtOpen = false;    // QueryDosDevice named the port at open
    bool m_modemAnswers = false;   // GetCommModemStatus answered at open (a pty under Wine does not)
    int m_earlyEmptyReads = 0;     // reads in a row that ended at once with nothing
    unsigned long m_lastError = 0;
    std::string m_goneReason;
};

// The window's port on Windows: a thread of its own waits for bytes with a read that returns
// when the first arrive or after half a second, so an idle port costs two wake-ups a second.
// Bytes are handed to the window on its thread, one batch at a time, as Qt's readyRead does;
// a device that went away closes the port and tells the window.
class Win32Port final : public QObject, public Port {
    Q_OBJECT
public:
    explicit Win32Port(QObject *parent = nullptr);
    ~Win32Port() override;

    OpenResult TrialOpen(int portNumber) override;
    OpenResult Open(int portNumber, const Settings &settings) override;
    void Close() override;
    bool IsOpen() const override;
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> ReadAll() override;

private:
    void Listen(unsigned generation);  // the reading thread
    void Lost(unsigned generation, const std::string &reason);

    Win32Comm m_comm;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    unsigned m_generation = 0;        // which opening a message from the reader belongs to
    std::mutex m_mutex;               // guards the two below
    std::vector<uint8_t> m_received;  // read from the handle, not yet taken by ReadAll
    bool m_told = false;              // the window was told of bytes it has not taken yet
};

} // namespace serial
