#include "serial/line_settings.h"

#include <QString>
#include <QStringList>

namespace serial {

std::optional<LineSettings> ParseLineSettings(const std::string &text)
{
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings line;
    bool ok = false;
    line.baud = parts[0].trimmed().toLongLong(&ok);
    if (!ok || line.baud <= 0 || line.baud > 4000000)
        return std::nullopt;
    if (parts[1] != QLatin1String("N") && parts[1] != QLatin1String("O") && parts[1] != QLatin1String("E"))
        return std::nullopt;
    line.parity = parts[1].at(0).toLatin1();
    line.dataBits = parts[2].toInt(&ok);
    if (!ok || line.dataBits < 5 || line.dataBits > 8)
        return std::nullopt;
    line.stopBits = parts[3].toInt(&ok);
    if (!ok || (line.stopBits != 1 && line.stopBits != 2))
        return std::nullopt;
    return line;
}

} // namespace serial
