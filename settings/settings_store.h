#pragma once
#include "settings/settings_file.h"

// com.txt in the working folder, as the window and the command line both find it.
namespace settings {

inline constexpr const char *kSettingsFileName = "com.txt";

// The file's first two lines. Only its first 64 KiB are read (more than a settings file
// ever needs); a missing file, or a folder of that name, gives no lines.
StoredSettings ReadSettingsFile();

} // namespace settings
