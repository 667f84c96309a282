#include "updater/UpdaterLanguage.h"

#include <atomic>

#include "app/LanguageSelection.h"
#include "skin/StringTable.h"

namespace norvale::updater {
namespace {

std::atomic<int> g_languageBase{0};

}  // namespace

int ChooseLanguageBase(int languageId) {
    const int primary = languageId & 0x3FF;
    const int sub = languageId >> 10;
    switch (primary) {
        case app::kLangChinese:
            if (sub == app::kSubLangChineseTraditional)
                return UpdaterString::kTraditionalChineseBlock;
            if (sub == app::kSubLangChineseSimplified)
                return UpdaterString::kSimplifiedChineseBlock;
            return UpdaterString::kEnglishBlock;
        case app::kLangGerman:
            return UpdaterString::kGermanBlock;
        case app::kLangSpanish:
            return UpdaterString::kSpanishBlock;
        case app::kLangFrench:
            return UpdaterString::kFrenchBlock;
        case app::kLangItalian:
            return UpdaterString::kItalianBlock;
        case app::kLangJapanese:
            return UpdaterString::kJapaneseBlock;
        case app::kLangKorean:
            return UpdaterString::kKoreanBlock;
        default:
            return UpdaterString::kEnglishBlock;
    }
}

int ChooseLanguageBase(const QLocale& locale) {
    return ChooseLanguageBase(app::WindowsLanguageId(locale));
}

int LanguageBase() {
    return g_languageBase.load(std::memory_order_relaxed);
}

void SetLanguageBase(int base) {
    g_languageBase.store(base, std::memory_order_relaxed);
}

QLocale BlockLocale(int base) {
    switch (base) {
        case UpdaterString::kSimplifiedChineseBlock:
            return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
        case UpdaterString::kTraditionalChineseBlock:
            return QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan);
        case UpdaterString::kFrenchBlock:
            return QLocale(QLocale::French, QLocale::France);
        case UpdaterString::kGermanBlock:
            return QLocale(QLocale::German, QLocale::Germany);
        case UpdaterString::kItalianBlock:
            return QLocale(QLocale::Italian, QLocale::Italy);
        case UpdaterString::kSpanishBlock:
            return QLocale(QLocale::Spanish, QLocale::Spain);
        case UpdaterString::kKoreanBlock:
            return QLocale(QLocale::Korean, QLocale::SouthKorea);
        case UpdaterString::kJapaneseBlock:
            return QLocale(QLocale::Japanese, QLocale::Japan);
        default:
            return QLocale(QLocale::English, QLocale::UnitedStates);
    }
}

QString UpdaterText(int id) {
    return LoadSkinString(LanguageBase() + id);
}

}  // namespace norvale::updater
