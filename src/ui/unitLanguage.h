#pragma once
// The program's user-interface language: LangID (halvex.ini [Misc]) -> locale -> .qm file.

#include <QString>

// "" for -1 (the built-in texts) and for an unknown LangID.
QString LangIDLocale_str(int langID);
// The .qm folder: <program folder>/translations.
QString TranslationsFolder_str();
// Installs the translation of langID (replacing the previous one); false when there is none.
bool ApplyLanguage_b(int langID);
