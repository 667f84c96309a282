#pragma once

#include <QString>

#include "resources/UpdaterStringIds.h"

namespace norvale::updater {

// The updater's texts live in one table in blocks of a hundred: the text n
// of the chosen language is the string LanguageBase() + n, n an
// UpdaterString::Id. English is block 0. The block of the user's language
// is common::ChooseTranslation().updaterTextBlock.

// The process-wide block, set once at start-up and read from any thread.
int LanguageBase();
void SetLanguageBase(int base);

// The text of the chosen language: the string LanguageBase() + id, id an
// UpdaterString::Id.
QString UpdaterText(int id);

}  // namespace norvale::updater
