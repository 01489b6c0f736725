#include "settings/parameter_set.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

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

namespace {

// The member names of the object that the valid JSON text `bytes` holds, decoded, in order,
// each as often as it is given.
QStringList TopLevelKeys(const QByteArray &bytes)
{
    QStringList keys;
    int depth = 0;
    bool keyNext = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '"') {
            const qsizetype start = i;
            for (++i; i < bytes.size() && bytes[i] != '"'; ++i) {
                if (bytes[i] == '\\')
                    ++i;
            }
            if (depth == 1 && keyNext) {
                const QByteArray name = "[" + bytes.mid(start, i - start + 1) + "]";
                keys << QJsonDocument::fromJson(name).array().at(0).toString();
                keyNext = false;
            }
        } else if (c == '{' || c == '[') {
            ++depth;
            keyNext = depth == 1 && c == '{';
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 1) {
            keyNext = true;
        }
    }
    return keys;
}

} // namespace

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
    const QStringList keys = TopLevelKeys(bytes);
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
        // is unknown, so the file is refused. Keys are compared as JSON reads them, escapes
        // decoded ("pwm\u005fvoltage" is pwm_voltage).
        if (keys.count(it.key()) > 1) {
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
