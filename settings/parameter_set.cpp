#include "settings/parameter_set.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>

namespace settings {

using device::Coding;

QJsonValue JsonValue(const device::Parameter &p, const device::Registers &registers)
{
    const std::string shown = device::ShownValue(p, registers);
    switch (p.coding) {
    case Coding::OnOff:
        if (registers[p.first] > 1)
            return QJsonValue::Null;
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
        // what velqorctl read --json adds about the read itself, not a parameter
        if (key == "retries")
            continue;
        const device::Parameter *p = device::FindParameter(key);
        if (!p) {
            set.error = "unknown key \"" + key + "\"";
            return set;
        }
        // QJsonDocument keeps only the last of a key given twice: which one the user meant
        // is unknown, so the file is refused. A known key has no character to escape.
        const QRegularExpression member(QLatin1Char('"') + it.key() + QStringLiteral("\"\\s*:"));
        if (QString::fromUtf8(bytes).count(member) > 1) {
            set.error = "key \"" + key + "\" given twice";
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
    if (set.entries.empty())
        set.error = "no key to write (output and pulse_count are not written, null leaves a key alone)";
    return set;
}

ParsedSet ReadParameterSetFile(const QString &path)
{
    ParsedSet set;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        set.error = path.toStdString() + ": " + file.errorString().toStdString();
        return set;
    }
    const QByteArray bytes = file.read(kParameterSetReadLimit + 1);
    if (bytes.size() > kParameterSetReadLimit) {
        set.error = path.toStdString() + ": larger than " + std::to_string(kParameterSetReadLimit / 1024)
                    + " KiB, no parameter set";
        return set;
    }
    set = ParseParameterSet(bytes);
    if (!set.error.empty())
        set.error = path.toStdString() + ": " + set.error;
    return set;
}

} // namespace settings
