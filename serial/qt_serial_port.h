#pragma once
#include "serial/device_lost.h"
#include "serial/port.h"

#include <QObject>
#include <QSerialPort>

namespace serial {

// The port on QSerialPort. Every signal arrives on the thread that owns the object,
// which is the window's.
class QtSerialPort final : public QObject, public Port {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    OpenResult TrialOpen(int portNumber) override;
    OpenResult Open(int portNumber, const Settings &settings) override;
    void Close() override;
    bool IsOpen() const override;
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> ReadAll() override;

private:
    void OnError(QSerialPort::SerialPortError error);
    OpenResult OpenDevice(int portNumber);

    QSerialPort m_port;
    std::string m_device;  // the device open now or last, for the failure lines
};

// Opens the device at `path` read-write (a link is followed first), telling a missing
// device, one held by another program and one this user may not open apart. `tried`, when
// given, gets the device tried and, for a failure, the system's reason.
OpenResult OpenDevicePath(QSerialPort &port, const std::string &path, Port::Failure *tried = nullptr);

// What a QSerialPort error says about the open device, for DeviceWentAway.
PortFact FactOf(QSerialPort::SerialPortError error);

// Applies "baud,parity,data,stop" to `port`; false when any piece is not understood.
bool ApplySettings(QSerialPort &port, const std::string &settings);

} // namespace serial
