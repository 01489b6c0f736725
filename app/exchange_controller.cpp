#include "app/exchange_controller.h"

#include "app/status_row.h"
#include "app/texts.h"
#include "modbus/frames.h"
#include "modbus/hex_text.h"
#include "modbus/scan_plan.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <memory>

using texts::Tr;

namespace {

constexpr int kReplyTimerMs = 160;
// The window accepts no reply longer than 37 bytes, so bytes beyond this bound can change
// no verdict; it only stops a flooding line from growing memory.
constexpr std::size_t kReceivedLimit = 1024;

QString HexText(const std::vector<uint8_t> &bytes)
{
    return QString::fromStdString(modbus::ToHexText(bytes));
}

} // namespace

ExchangeController::ExchangeController(serial::Port &port, StatusRow &status, const ShowMessage &showMessage,
                                       const RunAfter &after, QObject *parent)
    : QObject(parent), m_port(port), m_status(status), m_showMessage(showMessage), m_after(after)
{
    setObjectName(QStringLiteral("exchange"));
    m_replyTimer.setObjectName(QStringLiteral("replyTimer"));
    m_replyTimer.setParent(this);
    m_replyTimer.setInterval(kReplyTimerMs);
    // A coarse timer may fire up to 5 % (8 ms) early or late; the reply is judged 160 ms
    // after the pause, to the millisecond.
    m_replyTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_replyTimer, &QTimer::timeout, this, &ExchangeController::checkReply);
    SetLine(9600, 10);
    m_port.onBytesWaiting = [this] {
        m_sinceBytes.start();
        ++m_receiveEvents;
        if (m_waitingToWrite) {
            // no request is out that they could answer
            const std::vector<uint8_t> bytes = m_port.ReadAll();
            if (onDiscarded && !bytes.empty())
                onDiscarded(bytes, m_settling);
            return;
        }
        WhenIdle([this] { onBytesReceived(); });
    };
    QCoreApplication::instance()->installEventFilter(this);
}

bool ExchangeController::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_pausing || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return false;
    QWidget *const widget = qobject_cast<QWidget *>(watched);
    const QWidget *const owner = qobject_cast<QWidget *>(parent());
    if (!widget || (owner && widget->window() != owner->window()))
        return false;
    // The key reaches the widget it was typed into once the pause has ended, after what came
    // before it.
    std::shared_ptr<QEvent> held(event->clone());
    QPointer<QWidget> target(widget);
    m_waiting.push_back([target, held] {
        if (target)
            QCoreApplication::sendEvent(target, held.get());
    });
    event->accept();
    return true;
}

void ExchangeController::WhenIdle(std::function<void()> action)
{
    if (m_pausing)
        m_waiting.push_back(std::move(action));
    else
        action();
}

void ExchangeController::Begin()
{
    m_following.clear();
    m_current = modbus::Exchange();
    m_status.Clear();
}

std::optional<uint8_t> ExchangeController::CheckedAddress(const QString &addressText, const char *emptyMessage)
{
    if (!portIsOpen || !portIsOpen()) {
        Show(m_showMessage, Tr(texts::kOpenPortFirst));
        return std::nullopt;
    }
    const auto address = modbus::ParseSlaveAddress(addressText.toStdString());
    if (!address)
        Show(m_showMessage, Tr(emptyMessage));
    return address;
}

std::optional<uint8_t> ExchangeController::CheckedSlave()
{
    return CheckedAddress(slaveText ? slaveText() : QString(), texts::kParameterError);
}

void ExchangeController::SetLine(long long baud, int bitsPerCharacter)
{
    m_silence = modbus::FrameSilence(baud, bitsPerCharacter);
}

void ExchangeController::SetTimes(std::chrono::milliseconds pause, std::chrono::milliseconds replyWait)
{
    m_pause = pause;
    m_replyTimer.setInterval(replyWait);
}

std::chrono::milliseconds ExchangeController::Timeout() const
{
    return m_pause + m_replyTimer.intervalAsDuration();
}

void ExchangeController::Send(const std::vector<uint8_t> &frame, std::vector<std::vector<uint8_t>> following)
{
    m_following = std::move(following);
    m_current = modbus::Exchange(frame);
    m_status.ShowSent(HexText(frame));
    m_settling = m_unanswered.size() > 1 && frame.size() > 1 && m_unanswered[0] == frame[0]
                 && m_unanswered[1] == frame[1];
    m_unanswered.clear();
    if (m_settling)
        m_settlingFor.start();
    writeWhenQuiet(frame);
}

void ExchangeController::writeWhenQuiet(const std::vector<uint8_t> &frame)
{
    using std::chrono::nanoseconds;
    if (m_settling && nanoseconds(m_settlingFor.nsecsElapsed()) >= 3 * Timeout())
        m_settling = false;  // a line that never goes quiet holds the request no longer
    nanoseconds needed = m_silence;
    nanoseconds quiet = m_sinceBytes.isValid() ? nanoseconds(m_sinceBytes.nsecsElapsed()) : nanoseconds::max();
    if (m_settling) {
        needed = std::max<nanoseconds>(needed, Timeout());
        quiet = std::min(quiet, nanoseconds(m_settlingFor.nsecsElapsed()));
    }
    if (quiet < needed && m_after) {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(needed - quiet);
        const unsigned events = m_receiveEvents;
        m_pausing = true;
        m_waitingToWrite = true;
        // Bytes that come meanwhile start the silence again; none, and the line is quiet.
        m_after(static_cast<int>(rest.count()), [this, frame, events] {
            if (m_receiveEvents == events) {
                m_sinceBytes.invalidate();
                m_settling = false;
            }
            writeWhenQuiet(frame);
        });
        return;
    }
    m_waitingToWrite = false;
    m_settling = false;
    // A port that refuses (the device vanished) sends nothing; the reply timer then finds
    // no reply and says so.
    m_port.Write(frame);
    if (onRequestSent)
        onRequestSent(frame);
    m_pausing = true;
    if (m_after)
        m_after(static_cast<int>(m_pause.count()), [this] { endPause(); });
    else
        endPause();
}

void ExchangeController::endPause()
{
    m_pausing = false;
    // A reply already due keeps its tick.
    if (!m_replyTimer.isActive())
        m_replyTimer.start();
    while (!m_pausing && !m_waiting.empty()) {
        const std::function<void()> action = std::move(m_waiting.front());
        m_waiting.pop_front();
        action();
    }
    if (!m_pausing && m_tickHeld) {
        m_tickHeld = false;
        checkReply();
    }
}

void ExchangeController::onBytesReceived()
{
    const std::vector<uint8_t> bytes = m_port.ReadAll();
    if (m_current.Received().size() < kReceivedLimit)
        m_current.Receive(bytes);
}

void ExchangeController::checkReply()
{
    if (m_pausing) {
        m_tickHeld = true;
        return;
    }
    if (onReplyCheck)
        onReplyCheck(m_current);
    const bool good = m_current.AcceptedByWindow();
    if (!good && m_current.ExpectsReply()
        && (!m_current.Complete() || m_current.Received().size() >= kReceivedLimit)) {
        m_unanswered = m_current.Request();
    }
    if (good) {
        m_status.ShowReceived(HexText(m_current.Received()));
        if (onGoodReply)
            onGoodReply(m_current.Received());
        m_status.ShowStatus(Tr(texts::kReplyGood));
    } else {
        m_status.ShowStatus(Tr(texts::kReplyBad));
    }
    m_replyTimer.stop();
    if (good && !m_following.empty()) {
        std::vector<std::vector<uint8_t>> rest(m_following.begin() + 1, m_following.end());
        const std::vector<uint8_t> next = m_following.front();
        Begin();
        Send(next, std::move(rest));
    } else {
        m_following.clear();
    }
}

std::string ExchangeController::SentHex() const
{
    return modbus::ToHexText(m_current.Request());
}

std::string ExchangeController::ReceivedHex() const
{
    return modbus::ToHexText(m_current.Received());
}
