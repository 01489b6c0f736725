#include "app/language.h"

namespace app {

bool LoadLanguage(QTranslator &translator, const QString &language)
{
    if (language == QLatin1String(kDefaultLanguage))
        return true;
    // The catalogues are built from app/translations/ into the program's resources.
    for (const QChar c : language) {
        if (!c.isLetter())
            return false;
    }
    return !language.isEmpty() && translator.load(QStringLiteral(":/i18n/velqor_") + language);
}

} // namespace app
