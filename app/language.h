#pragma once
#include <QString>
#include <QTranslator>

namespace app {

// The window's texts are written in Chinese, the language it shows unless told otherwise.
inline constexpr const char *kDefaultLanguage = "zh";

// Loads into `translator` the catalogue that turns the window's texts into `language`
// ("en"); the default language needs none and leaves `translator` empty. Returns false for
// a language the program has no catalogue for.
bool LoadLanguage(QTranslator &translator, const QString &language);

} // namespace app
