#pragma once
class QCoreApplication;
class QTranslator;

namespace kestu {

// Every text of the program is Japanese, so the toolkit's own texts (the file dialogs, message box
// buttons, the scroll bar's commands) are put in Japanese too, whatever the system's language:
// this loads the toolkit's Japanese catalogue (Debian's qt6-translations-l10n) into `app` and makes
// Japanese the default locale. Returns the translator, owned by `app`, or nullptr when the
// catalogue is not installed; the toolkit's texts then stay English and nothing else changes.
QTranslator* UseJapaneseToolkitTexts(QCoreApplication& app);

}  // namespace kestu
