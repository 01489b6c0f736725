#pragma once
#include "app/main_window.h"
#include "app/texts.h"
#include "device/parameter_table.h"
#include "modbus/crc16.h"
#include "modbus/hex_text.h"
#include "support/fake_port.h"
#include "support/module_frames.h"
#include "support/module_values.h"
#include "support/window_parts.h"

#include <QDir>
#include <QMetaType>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A reply as it arrives: one receive event per piece.
using Pieces = std::vector<std::vector<uint8_t>>;
Q_DECLARE_METATYPE(Pieces)

// Bytes as the window renders them: "01 03 ".
inline QString Hex(const std::vector<uint8_t> &bytes)
{
    return QString::fromStdString(modbus::ToHexText(bytes));
}

inline QString U8(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The window on a FakePort, created in a scratch directory (start-up reads com.txt there).
// Message boxes are recorded instead of shown, and the pause after sending records what
// had happened by then and ends at once, unless `holdPauses` keeps it for ReleasePause().
class ExchangeWindow {
public:
    struct Pause {
        int ms;
        std::size_t writesBefore;  // frames written when the pause began
        bool replyCheckRunning;    // the reply timer active when the pause began
    };

    explicit ExchangeWindow(bool openPort = true)
    {
        QDir::setCurrent(m_dir.path());
        window = std::make_unique<MainWindow>(port);
        window->m_showMessage = [this](const QString &text, const QString &) { messages << text; };
        m_realPause = window->m_after;
        window->m_after = [this](int ms, std::function<void()> then) {
            pauses.push_back({ms, port.writes.size(), ReplyTimer(*window)->isActive()});
            if (holdPauses)
                m_held.push_back(std::move(then));
            else
                then();
        };
        window->m_openUrl = [](const QString &) {};
        window->m_printError = [this](const QString &line) { errors << line; };
        if (openPort)
            Click(*window, "portButton");
    }
    ~ExchangeWindow()
    {
        window.reset();
        QDir::setCurrent(m_previousDir);
    }
    ExchangeWindow(const ExchangeWindow &) = delete;
    ExchangeWindow &operator=(const ExchangeWindow &) = delete;

    MainWindow *operator->() const { return window.get(); }
    MainWindow &operator*() const { return *window; }

    // The window's own pause, a single-shot timer, in place of the recorded one.
    void UseRealPause() { window->m_after = m_realPause; }

    // Ends the oldest pause that `holdPauses` kept.
    void ReleasePause()
    {
        auto then = std::move(m_held.front());
        m_held.erase(m_held.begin());
        then();
    }

    // Every frame written so far, each rendered as hex text.
    QStringList Written() const
    {
        QStringList frames;
        for (const auto &frame : port.writes)
            frames << Hex(frame);
        return frames;
    }

    void Feed(const Pieces &pieces)
    {
        for (const auto &piece : pieces)
            port.Feed(piece);
    }

    QString Status() const { return Shown(*window, "statusBox"); }

private:
    QString m_previousDir = QDir::currentPath();
    QTemporaryDir m_dir;
    std::vector<std::function<void()>> m_held;
    RunAfter m_realPause;

public:
    FakePort port;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
    QStringList errors;  // lines for stderr
    std::vector<Pause> pauses;
    bool holdPauses = false;
};
