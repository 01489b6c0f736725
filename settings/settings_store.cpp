#include "settings/settings_store.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace settings {

namespace {

constexpr qint64 kSettingsReadLimit = 64 * 1024;

// QFile, not std::ifstream: Qt's file code is mapped already, while the stream library
// would map some 400 KB of its own for these few bytes.
bool ReadFrom(const QString &path, StoredSettings &stored)
{
    QFile file(path);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.read(std::min(file.size(), kSettingsReadLimit));
    stored = ParseSettings(content.toStdString());
    return true;
}

} // namespace

StoredSettings ReadSettingsFile()
{
    StoredSettings stored;
    ReadFrom(QString::fromLatin1(kSettingsFileName), stored);
    return stored;
}

std::string UserSettingsFolder()
{
#ifdef _WIN32
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return QDir::toNativeSeparators(appData + QStringLiteral("/velqor-config")).toStdString();
#endif
    return {};
}

StoredSettings ReadSettingsForCommandLine(std::string *from)
{
    StoredSettings stored;
    QString path = QString::fromLatin1(kSettingsFileName);
    bool found = ReadFrom(path, stored);
    const std::string folder = UserSettingsFolder();
    if (!found && !folder.empty()) {
        path = QString::fromStdString(folder) + QLatin1Char('/') + QString::fromLatin1(kSettingsFileName);
        found = ReadFrom(path, stored);
    }
    if (found && from)
        *from = QDir::toNativeSeparators(path).toStdString();
    return stored;
}

} // namespace settings
