#include "updater/UpdaterLanguage.h"

#include <atomic>

#include "skin/StringTable.h"

namespace norvale::updater {
namespace {

std::atomic<int> g_languageBase{0};

}  // namespace

int LanguageBase() {
    return g_languageBase.load(std::memory_order_relaxed);
}

void SetLanguageBase(int base) {
    g_languageBase.store(base, std::memory_order_relaxed);
}

QString UpdaterText(int id) {
    return LoadSkinString(LanguageBase() + id);
}

}  // namespace norvale::updater
