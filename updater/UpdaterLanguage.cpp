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
            if (sub == app::kSubLangChineseTraditional) return 200;
            if (sub == app::kSubLangChineseSimplified) return 100;
            return 0;
        case app::kLangGerman:
            return 400;
        case app::kLangSpanish:
            return 600;
        case app::kLangFrench:
            return 300;
        case app::kLangItalian:
            return 500;
        case app::kLangJapanese:
            return 800;
        case app::kLangKorean:
            return 700;
        default:
            return 0;
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
        case 100:
            return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
        case 200:
            return QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan);
        case 300:
            return QLocale(QLocale::French, QLocale::France);
        case 400:
            return QLocale(QLocale::German, QLocale::Germany);
        case 500:
            return QLocale(QLocale::Italian, QLocale::Italy);
        case 600:
            return QLocale(QLocale::Spanish, QLocale::Spain);
        case 700:
            return QLocale(QLocale::Korean, QLocale::SouthKorea);
        case 800:
            return QLocale(QLocale::Japanese, QLocale::Japan);
        default:
            return QLocale(QLocale::English, QLocale::UnitedStates);
    }
}

QString UpdaterText(int id) {
    return LoadSkinString(LanguageBase() + id);
}

}  // namespace norvale::updater
