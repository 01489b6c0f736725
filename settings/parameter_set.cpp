#include "settings/parameter_set.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>

namespace settings {

using device::Coding;

QJsonValue JsonValue(const device::Parameter &p, const device::Registers &registers)
{
    const std::string shown = device::ShownValue(p, registers);
    switch (p.coding) {
    case Coding::OnOff:
        return registers[p.first] == 1;
    case Coding::RateCode:
        if (registers[p.first] >= device::kBaudRates.size())
            return QJsonValue::Null;
        break;
    case Coding::Number:
        break;
    }
    return QString::fromStdString(shown).toDouble();
}

QJsonObject ParameterSetObject(const device::Registers &registers, bool rowsWritten)
{
    QJsonObject object;
    for (const device::Parameter &p : device::kParameters) {
        if (!rowsWritten || device::IsSettable(p))
            object.insert(QLatin1String(p.key), JsonValue(p, registers));
    }
    return object;
}

ParsedSet ParseParameterSet(const QByteArray &bytes)
{
    ParsedSet set;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        set.error = "not JSON: " + parseError.errorString().toStdString() + " at byte "
                    + std::to_string(parseError.offset);
        return set;
    }
    if (!document.isObject()) {
        set.error = "not a JSON object of parameter keys";
        return set;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string key = it.key().toStdString();
        const device::Parameter *p = device::FindParameter(key);
        if (!p) {
            set.error = "unknown key \"" + key + "\"";
            return set;
        }
        if (!device::IsSettable(*p) || it.value().isNull())
            continue;
        if (!it.value().isDouble()) {
            set.error = key + ": not a number; allowed " + device::RangeText(*p);
            return set;
        }
        // the shortest text that reads back as the same double: 12.5, 0.01, 150000
        const QString text = QString::number(it.value().toDouble(), 'f', QLocale::FloatingPointShortest);
        set.entries.push_back({p, text.toStdString()});
    }
    return set;
}

} // namespace settings
