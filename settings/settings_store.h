#pragma once
#include "settings/settings_file.h"

// com.txt in the working folder, as the window and the command line both find it.
namespace settings {

inline constexpr const char *kSettingsFileName = "com.txt";

// The file's first two lines. Only its first 64 KiB are read (more than a settings file
// ever needs); a missing file, or a folder of that name, gives no lines.
StoredSettings ReadSettingsFile();

// On Windows the folder where the window keeps com.txt when started from the Start menu,
// %APPDATA%\velqor-config; empty elsewhere.
std::string UserSettingsFolder();
// com.txt as the command line finds it: in the working folder, else (on Windows) in
// UserSettingsFolder(). `from` gets the file's path when one was read.
StoredSettings ReadSettingsForCommandLine(std::string *from = nullptr);

} // namespace settings
