// Ctrl+S and Ctrl+O of the window: the preset fields to and from a parameter-set file.

#include "app/preset_panel.h"

#include "app/texts.h"
#include "app/value_box.h"
#include "device/parameters.h"
#include "settings/parameter_set.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>


namespace {

QString Because(const QString &path, const std::string &reason)
{
    return path + QStringLiteral(": ") + QString::fromStdString(reason);
}

} // namespace

void PresetPanel::saveParameterSet()
{
    QString path = m_chooseSaveFile ? m_chooseSaveFile() : QString();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");  // "pump" names pump.json, as the dialog's filter says
    // what the write button would send, without touching the fields
    const std::string rate = m_moduleBaudList->currentText().toStdString();
    const device::ParameterWrite write = device::NormaliseParameters(FieldTexts(), rate, m_moduleBaudCode);
    QJsonObject set = settings::ParameterSetObject(write.registers, true);
    if (!device::BaudRateCodeFor(rate))
        set.insert(QLatin1String(device::FindParameter("module_baud")->key), QJsonValue::Null);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(set).toJson()) < 0 || !file.commit())
        Show(m_showMessage, texts::Tr(texts::kSetNotSaved) + Because(path, file.errorString().toStdString()));
}

void PresetPanel::loadParameterSet()
{
    const QString path = m_chooseOpenFile ? m_chooseOpenFile() : QString();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Show(m_showMessage, texts::Tr(texts::kSetNotRead) + Because(path, file.errorString().toStdString()));
        return;
    }
    // /dev/zero or a huge file is not read whole: what was read then is no JSON
    const settings::ParsedSet set = settings::ParseParameterSet(file.read(settings::kParameterSetReadLimit + 1));
    std::string error = set.error;
    // every value is checked before any field changes
    device::Registers scratch{};
    std::vector<std::pair<const device::Parameter *, std::string>> values;
    for (const settings::SetEntry &entry : set.entries) {
        if (!error.empty())
            break;
        if (const auto rounded = device::ApplyValue(*entry.parameter, entry.text, scratch))
            values.emplace_back(entry.parameter, *rounded);
        else
            error = device::ValueError(*entry.parameter, entry.text);
    }
    if (!error.empty()) {
        Show(m_showMessage, texts::Tr(texts::kSetNotRead) + Because(path, error));
        return;
    }
    for (const auto &[parameter, text] : values) {
        const QString shown = QString::fromStdString(text);
        if (ValueBox *const box = Box(parameter->key))
            box->setText(shown);
        else if (parameter->coding == device::Coding::RateCode)
            m_moduleBaudList->setCurrentIndex(m_moduleBaudList->findText(shown));
    }
}
