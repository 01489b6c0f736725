#include "settings/settings_store.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace settings {

namespace {

constexpr qint64 kSettingsReadLimit = 64 * 1024;

} // namespace

StoredSettings ReadSettingsFile()
{
    // QFile, not std::ifstream: Qt's file code is mapped already, while the stream
    // library would map some 400 KB of its own for these few bytes.
    QFile file(QString::fromLatin1(kSettingsFileName));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray content = file.read(std::min(file.size(), kSettingsReadLimit));
    return ParseSettings(content.toStdString());
}

} // namespace settings
