#pragma once

#include <QString>

class QLocale;

namespace tandrel {

// Loads the window's translations for `locale`: Qt's own (its dialogs and standard buttons) from
// Qt's translations folder and the program's from those built into it. A language without a
// translation keeps the English texts. Window thread only, once, after QApplication is made.
void LoadTranslations(const QLocale& locale);

// Takes the translations LoadTranslations installed out again: the window speaks English.
void UnloadTranslations();

// String-table entry `id` as the window shows it: translated under the context "StringTable".
// The engine and tandrel-cli read the same entries with LoadString and stay English.
QString WindowString(int id);

}  // namespace tandrel
