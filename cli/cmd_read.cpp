#include "cli/command.h"

#include "settings/parameter_set.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace cli {

namespace {

const QCommandLineOption kJson(QStringLiteral("json"), QStringLiteral("read: one JSON object on stdout"));

int Run(Context &context)
{
    if (!context.arguments.isEmpty())
        return BadInput("read takes no arguments, got \"" + context.arguments.first().toStdString() + "\"");
    Session session(context);
    if (const int status = session.Open())
        return status;
    const auto registers = session.ReadBlock("read");
    session.Close();
    if (!registers)
        return session.FailureStatus();
    if (context.parser.isSet(kJson)) {
        QJsonObject object = settings::ParameterSetObject(*registers, false);
        object.insert(QStringLiteral("retries"), session.Retries());
        const QByteArray json = QJsonDocument(object).toJson();
        std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
        return kExitOk;
    }
    for (const device::Parameter &p : device::kParameters) {
        // an unknown rate code is shown as such, without the unit
        const bool unit = *p.unit && (p.coding != device::Coding::RateCode || (*registers)[p.first] < device::kBaudRates.size());
        std::printf("%-16s %s%s%s\n", p.key, device::ShownValue(p, *registers).c_str(), unit ? " " : "", unit ? p.unit : "");
    }
    return kExitOk;
}

} // namespace

Command ReadCommand()
{
    return {"read", "read [--json]",
            "  Reads the " + std::to_string(device::kReadBlockCount) + " registers from 0x0000 and prints every key with its value and unit\n"
            "  (--json: one JSON object, the format of a parameter-set file, with \"retries\": how often\n"
            "  the read was asked again, which a parameter-set file may hold and write ignores).\n",
            {kJson}, Run};
}

} // namespace cli
