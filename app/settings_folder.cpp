#include "app/settings_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace app {

void EnterSettingsFolder()
{
#ifdef _WIN32
    const QFileInfo working(QDir::currentPath());
    const QFileInfo program(QCoreApplication::applicationDirPath());
    if (working.canonicalFilePath().compare(program.canonicalFilePath(), Qt::CaseInsensitive) != 0)
        return;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!folder.isEmpty() && QDir().mkpath(folder))
        QDir::setCurrent(folder);
#endif
}

} // namespace app
