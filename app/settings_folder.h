#pragma once

namespace app {

// com.txt and the COMn links live in the working folder. Started from the Start menu on
// Windows, that is the program's own folder, which a user may not write: there the window
// works in a folder of the user's own (%APPDATA%\velqor-config) instead. Elsewhere, and when
// started in any other folder, nothing changes. Call once the application object exists.
void EnterSettingsFolder();

} // namespace app
