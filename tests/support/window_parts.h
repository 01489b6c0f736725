#pragma once
#include "app/exchange_controller.h"
#include "app/lamp.h"
#include "app/main_window.h"
#include "app/value_box.h"
#include "device/parameter_table.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <vector>

// The window's parts as a test reaches them: by objectName, through the window's own
// signals. A missing name stops the test at once.
template <typename T = QWidget>
T *Part(const QObject &window, const char *name)
{
    T *part = window.findChild<T *>(QLatin1String(name));
    if (!part)
        qFatal("the window has no %s", name);
    return part;
}

inline QComboBox *List(const QObject &window, const char *name)
{
    return Part<QComboBox>(window, name);
}
inline ValueBox *Box(const QObject &window, const char *name)
{
    return Part<ValueBox>(window, name);
}
inline QPushButton *Button(const QObject &window, const char *name)
{
    return Part<QPushButton>(window, name);
}
inline Lamp *PortLamp(const QObject &window)
{
    return Part<Lamp>(window, "portLamp");
}
// The text of a display of the status row: "sentBox", "receivedBox" or "statusBox".
inline QString Shown(const QObject &window, const char *display)
{
    return Part<QPlainTextEdit>(window, display)->toPlainText();
}
inline QTimer *ReplyTimer(const QObject &window)
{
    return Part<QTimer>(window, "replyTimer");
}
inline ExchangeController *Exchange(const QObject &window)
{
    return Part<ExchangeController>(window, "exchange");
}

// A row's key as the window names its caption and box: "pulse_high" gives "pulseHigh".
inline QString RowName(const char *key)
{
    QString name;
    bool upper = false;
    for (const char *c = key; *c; ++c) {
        if (*c == '_')
            upper = true;
        else
            name += upper ? QChar::fromLatin1(*c).toUpper() : QChar::fromLatin1(*c);
        upper = upper && *c == '_';
    }
    return name;
}

// The value boxes: the parameters in the order the write takes them, then the pulse counter.
inline std::vector<ValueBox *> ValueBoxes(const QObject &window)
{
    std::vector<ValueBox *> boxes;
    for (const char *name : {"pwmVoltageBox", "pwmFrequencyBox", "pwmDutyBox", "pulseDelayBox", "pulseHighBox",
                             "pulseLowBox", "pulseNumberBox", "voltageSourceBox", "currentSourceBox", "workModeBox",
                             "sineFrequencyBox", "pulseCountBox"})
        boxes.push_back(Box(window, name));
    return boxes;
}

// What ValueBoxes show once a read brought `registers`, in their order (a box is named
// after its row's key).
inline QStringList ShownAfterRead(const QObject &window, const device::Registers &registers)
{
    QStringList shown;
    for (const ValueBox *box : ValueBoxes(window)) {
        for (const device::Parameter &p : device::kParameters) {
            if (RowName(p.key) + QLatin1String("Box") == box->objectName())
                shown << QString::fromStdString(device::ShownValue(p, registers));
        }
    }
    return shown;
}

// A press of a button, as the mouse makes it.
inline void Click(const QObject &window, const char *button)
{
    Button(window, button)->click();
}
// An item chosen from a list's drop-down.
inline void Choose(const QObject &window, const char *list, int index)
{
    QComboBox *const combo = List(window, list);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}
// The reply timer's tick, without waiting for it.
inline void FireReplyTimer(const QObject &window)
{
    Exchange(window)->checkReply();
}
// A request is out and its reply not judged yet: the pause or the reply timer runs.
inline bool ReplyDue(const QObject &window)
{
    return Exchange(window)->Pausing() || ReplyTimer(window)->isActive();
}
