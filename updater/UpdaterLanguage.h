#pragma once

#include <QLocale>
#include <QString>

#include "resources/UpdaterStringIds.h"

namespace norvale::updater {

// The updater's texts live in one table in blocks of a hundred: the text n
// of the chosen language is the string LanguageBase() + n, n an
// UpdaterString::Id. English is block 0.

// The block for a Windows language id (primary language in the low 10 bits,
// sublanguage above): Traditional Chinese, Simplified Chinese (other Chinese:
// English), German, Spanish, French, Italian, Japanese and Korean have their
// block (UpdaterString::kGermanBlock, ...), anything else is English.
int ChooseLanguageBase(int languageId);
// The same for a locale (the user's language by default).
int ChooseLanguageBase(const QLocale& locale = QLocale::system());

// The process-wide block, set once at start-up and read from any thread.
int LanguageBase();
void SetLanguageBase(int base);

// The text of the chosen language: the string LanguageBase() + id, id an
// UpdaterString::Id.
QString UpdaterText(int id);

// How the chosen block writes numbers (decimal and group separators): the
// locale of its language (block 0: US English).
QLocale BlockLocale(int base);

}  // namespace norvale::updater
