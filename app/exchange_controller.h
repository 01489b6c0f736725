#pragma once
#include "app/seams.h"
#include "modbus/exchange.h"
#include "serial/port.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class StatusRow;

// One request at a time on the window's port. An operation begins (the status and frame
// fields empty), checks that it may send, and hands its frame over; the controller shows
// it, writes it, pauses 100 ms and then starts the reply timer. When the timer fires, the
// bytes that came since the request are judged by the window's rule: a good reply is
// shown, handed to `onGoodReply` and reported as good (texts::kReplyGood), anything else
// as bad (texts::kReplyBad).
//
// The pause runs on a timer so that the window keeps painting. Anything that would change
// the exchange while it runs (a button, a list click, a key typed in the window, received
// bytes, a lost device) waits for the pause to end and then runs in the order it came, as
// it did while the pause held the window's thread. A reply timer tick that falls due in the
// pause (a request sent while an earlier one still waited for its reply) runs after all of
// them, so it judges the bytes that came for the request just sent.
//
// A request goes out only after the line has been quiet for the silence that ends a frame
// (3.5 characters at the line's rate) since the last byte received: a reply still arriving,
// or bytes that came in the pause just before a click that waited for it, hold the write
// back for the rest of that silence, and everything else waits with it. When the request
// before got no whole reply within its time and this one asks the same slave the same
// function, that reply may still come and would pass for this one's: the line is first let
// go quiet for one time-out (the pause and the reply timer; at most three time-outs in all).
// Bytes that come while a request waits for the quiet line answer nothing and are dropped.
class ExchangeController : public QObject {
    Q_OBJECT
public:
    ExchangeController(serial::Port &port, StatusRow &status, const ShowMessage &showMessage,
                       const RunAfter &after, QObject *parent);

    // The port state the port button shows, and the "Slave ID" list's text.
    std::function<bool()> portIsOpen;
    std::function<QString()> slaveText;
    // Called at the reply timer with a reply the window accepts, before its status is shown.
    std::function<void(const std::vector<uint8_t> &reply)> onGoodReply;
    // Observers of the line (the traffic log): the request as it went to the port, and at
    // the reply timer the request with the bytes that came after it.
    std::function<void(const std::vector<uint8_t> &request)> onRequestSent;
    std::function<void(const modbus::Exchange &exchange)> onReplyCheck;
    // Bytes dropped while a request waited for the quiet line; `settling`: the line was let
    // go quiet after an unanswered request.
    std::function<void(const std::vector<uint8_t> &bytes, bool settling)> onDiscarded;

    // Runs `action` now, or when the pause after the last request has ended.
    void WhenIdle(std::function<void()> action);

    // Empties the status, the request and the bytes received, and both frame fields.
    void Begin();
    // The port test and the address test, each with its message box: the address from
    // `addressText`, or the slave address. Text that is not a whole number 0..255 never
    // becomes an address byte.
    std::optional<uint8_t> CheckedAddress(const QString &addressText, const char *emptyMessage);
    std::optional<uint8_t> CheckedSlave();
    // Shows `frame`, writes it once the line is quiet, pauses and starts the reply timer.
    // Each of `following` is sent in turn once the one before has a good reply.
    void Send(const std::vector<uint8_t> &frame, std::vector<std::vector<uint8_t>> following = {});
    // The silence before a request, for the rate and character of the open line.
    void SetLine(long long baud, int bitsPerCharacter);
    // The pause after a request (100 ms) and the reply timer's wait (160 ms) that follows it.
    void SetTimes(std::chrono::milliseconds pause, std::chrono::milliseconds replyWait);

    void onBytesReceived();
    void checkReply();  // the reply timer's tick

    // The request and the bytes received since it, as hex text.
    std::string SentHex() const;
    std::string ReceivedHex() const;
    bool Pausing() const { return m_pausing; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void writeWhenQuiet(const std::vector<uint8_t> &frame);
    void endPause();
    // The pause and the reply timer: how long a request waits for its reply.
    std::chrono::milliseconds Timeout() const;

    serial::Port &m_port;
    StatusRow &m_status;
    const ShowMessage &m_showMessage;
    const RunAfter &m_after;
    modbus::Exchange m_current;       // the last request and the bytes since; empty once a new one begins
    QTimer m_replyTimer;              // objectName "replyTimer", 160 ms; running: a reply is due
    std::chrono::milliseconds m_pause{100};
    bool m_pausing = false;
    bool m_waitingToWrite = false;    // a request waits for the quiet line: bytes now are dropped
    bool m_tickHeld = false;          // the reply timer ticked during the pause
    std::chrono::microseconds m_silence;
    QElapsedTimer m_sinceBytes;       // since the last receive event; invalid before one
    unsigned m_receiveEvents = 0;
    std::vector<uint8_t> m_unanswered;  // the last request, when it got no whole reply within its time
    bool m_settling = false;            // the request waiting to go lets the line go quiet first
    QElapsedTimer m_settlingFor;        // since it began to
    std::deque<std::function<void()>> m_waiting;    // what came during the pause, in order
    std::vector<std::vector<uint8_t>> m_following;  // what the request in flight still leads to
};
