#include "cli/device_io.h"

#include <algorithm>

namespace cli {

int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

bool WriteAll(QIODevice &device, const std::vector<uint8_t> &bytes)
{
    if (!device.isOpen())
        return false;
    const qint64 n = device.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (n != static_cast<qint64>(bytes.size()))
        return false;
    while (device.bytesToWrite() > 0) {
        if (!device.waitForBytesWritten(1000))
            return false;
    }
    return true;
}

std::vector<uint8_t> ReadArrived(QIODevice &device, Clock::time_point deadline)
{
    if (!device.isOpen())
        return {};
    if (device.bytesAvailable() == 0 && !device.waitForReadyRead(MillisecondsUntil(deadline)))
        return {};
    const QByteArray data = device.readAll();
    return std::vector<uint8_t>(data.begin(), data.end());
}

} // namespace cli
