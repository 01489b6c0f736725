// Ctrl+S and Ctrl+O of the window: the parameter fields to and from a parameter-set file.

#include "app/main_window.h"

#include "app/parameter_boxes.h"
#include "settings/parameter_set.h"
#include "app/texts.h"
#include "app/value_box.h"
#include "device/parameters.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QKeySequence>
#include <QSaveFile>
#include <QShortcut>

namespace {

const QString kFilter = QStringLiteral("JSON (*.json);;* (*)");

QString Because(const QString &path, const std::string &reason)
{
    return path + QStringLiteral(": ") + QString::fromStdString(reason);
}

} // namespace

void MainWindow::InstallParameterSetKeys()
{
    m_chooseSaveFile = [this] { return QFileDialog::getSaveFileName(this, QString(), QString(), kFilter); };
    m_chooseOpenFile = [this] { return QFileDialog::getOpenFileName(this, QString(), QString(), kFilter); };
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, this,
            [this] { SaveParameterSet(); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
            [this] { LoadParameterSet(); });
}

void MainWindow::SaveParameterSet()
{
    QString path = m_chooseSaveFile ? m_chooseSaveFile() : QString();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");  // "pump" names pump.json, as the dialog's filter says
    // what 设 置 would send, without touching the fields
    device::FieldTexts shown;
    for (const device::Parameter &row : device::kParameters) {
        if (auto *const box = findChild<ValueBox *>(QLatin1String(BoxName(row))))
            shown[device::RowIndex(row)] = box->text().toStdString();
    }
    const std::string rate = Combo6->currentText().toStdString();
    const device::ParameterWrite write = device::NormaliseParameters(shown, rate, BaudRateCode);
    QJsonObject set = app::ParameterSetObject(write.registers, true);
    if (!device::BaudRateCodeFor(rate))
        set.insert(QLatin1String(device::FindParameter("module_baud")->key), QJsonValue::Null);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(set).toJson()) < 0 || !file.commit())
        ShowMessage(texts::Tr(texts::kSetNotSaved) + Because(path, file.errorString().toStdString()));
}

void MainWindow::LoadParameterSet()
{
    const QString path = m_chooseOpenFile ? m_chooseOpenFile() : QString();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(texts::Tr(texts::kSetNotRead) + Because(path, file.errorString().toStdString()));
        return;
    }
    // /dev/zero or a huge file is not read whole: what was read then is no JSON
    const app::ParsedSet set = app::ParseParameterSet(file.read(app::kParameterSetReadLimit + 1));
    std::string error = set.error;
    // every value is checked before any field changes
    device::Registers scratch{};
    std::vector<std::pair<const device::Parameter *, std::string>> values;
    for (const app::SetEntry &entry : set.entries) {
        if (!error.empty())
            break;
        if (const auto rounded = device::ApplyValue(*entry.parameter, entry.text, scratch))
            values.emplace_back(entry.parameter, *rounded);
        else
            error = device::ValueError(*entry.parameter, entry.text);
    }
    if (!error.empty()) {
        ShowMessage(texts::Tr(texts::kSetNotRead) + Because(path, error));
        return;
    }
    for (const auto &[parameter, text] : values) {
        const QString shown = QString::fromStdString(text);
        if (auto *const box = findChild<ValueBox *>(QLatin1String(BoxName(*parameter))))
            box->setText(shown);
        else if (parameter->coding == device::Coding::RateCode)
            Combo6->setCurrentIndex(Combo6->findText(shown));
    }
}
