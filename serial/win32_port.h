#pragma once
#include "serial/port.h"

#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

// The serial port through the Win32 API with synchronous (non-overlapped) calls and short
// read timeouts: what Windows offers for a COM port, and what Wine carries onto a pty, which
// keeps no receive counter for an overlapped WaitCommEvent to wait on.
namespace serial {

// One COM port handle. Reads never wait longer than asked.
class Win32Comm {
public:
    Win32Comm() = default;
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
    // The bytes waiting, or the first that arrive within `waitMs` (0: no wait). `failed`
    // is set when the read itself fails (the device went away).
    std::vector<uint8_t> Read(int waitMs, bool *failed = nullptr);
    // Waits until every written byte has left.
    void Drain();
    void Close();
    // The system's words for the last failure.
    std::string LastError() const;

private:
    void *m_handle = nullptr;
    int m_readWait = -1;  // the read timeout set on the handle now, in ms
    unsigned long m_lastError = 0;
};

// The window's port on Windows: a timer on the window's thread looks for bytes every few
// milliseconds with a read that does not wait, so bytes are delivered there one batch at a
// time and the window never blocks.
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
    // Takes the bytes waiting; tells the window when `notify` and some came.
    void Poll(bool notify);

    Win32Comm m_comm;
    QTimer m_poll;
    std::vector<uint8_t> m_received;  // read from the handle, not yet taken by ReadAll
};

} // namespace serial
