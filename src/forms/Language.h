#pragma once
// Turkish for Qt's own texts: the file dialog, the edit boxes' context menus,
// the buttons of standard boxes. The program's own texts are Turkish already.
#include <QString>

namespace aktarim {

// Loads Qt's Turkish translations (qtbase_tr) from the executable's folder's
// "translations" subfolder, where a Windows installation carries them, or
// from Qt's own translations folder (Debian: qt6-translations-l10n), and
// makes Turkish the default locale. Returns false, leaving Qt's texts
// English, when no translation file is found. Call once, after the
// application object exists.
bool InstallTurkishTranslations(const QString& executableFolder);

}  // namespace aktarim
