#include "common/LanguageChoice.h"

#include <array>

#include "resources/UpdaterStringIds.h"

namespace norvale::common {
namespace {

constexpr int kAnySubLanguage = -1;

struct TranslationRow {
    int primary;
    int sub;  // kAnySubLanguage: every sublanguage of `primary`
    Translation translation;
};

constexpr Translation kEnglish{nullptr, UpdaterString::kEnglishBlock, QLocale::English,
                               QLocale::AnyScript, QLocale::UnitedStates};

// The one list of translations. Chinese sublanguages without a row of their
// own (Hong Kong, Singapore, Macau) get English.
constexpr std::array<TranslationRow, 8> kTranslations{{
    {kLangChinese,
     kSubLangChineseSimplified,
     {"RES_SChinese.rcc", UpdaterString::kSimplifiedChineseBlock, QLocale::Chinese,
      QLocale::SimplifiedHanScript, QLocale::China}},
    {kLangChinese,
     kSubLangChineseTraditional,
     {"RES_TChinese.rcc", UpdaterString::kTraditionalChineseBlock, QLocale::Chinese,
      QLocale::TraditionalHanScript, QLocale::Taiwan}},
    {kLangFrench,
     kAnySubLanguage,
     {"RES_French.rcc", UpdaterString::kFrenchBlock, QLocale::French, QLocale::AnyScript,
      QLocale::France}},
    {kLangGerman,
     kAnySubLanguage,
     {"RES_German.rcc", UpdaterString::kGermanBlock, QLocale::German, QLocale::AnyScript,
      QLocale::Germany}},
    {kLangItalian,
     kAnySubLanguage,
     {"RES_Italian.rcc", UpdaterString::kItalianBlock, QLocale::Italian, QLocale::AnyScript,
      QLocale::Italy}},
    {kLangSpanish,
     kAnySubLanguage,
     {"RES_Spanish.rcc", UpdaterString::kSpanishBlock, QLocale::Spanish, QLocale::AnyScript,
      QLocale::Spain}},
    {kLangKorean,
     kAnySubLanguage,
     {"RES_Korean.rcc", UpdaterString::kKoreanBlock, QLocale::Korean, QLocale::AnyScript,
      QLocale::SouthKorea}},
    {kLangJapanese,
     kAnySubLanguage,
     {"RES_Japanese.rcc", UpdaterString::kJapaneseBlock, QLocale::Japanese, QLocale::AnyScript,
      QLocale::Japan}},
}};

int ChineseSubLanguage(const QLocale& locale) {
    switch (locale.territory()) {
        case QLocale::Taiwan:
            return kSubLangChineseTraditional;
        case QLocale::China:
            return kSubLangChineseSimplified;
        case QLocale::HongKong:
            return kSubLangChineseHongKong;
        case QLocale::Singapore:
            return kSubLangChineseSingapore;
        case QLocale::Macau:
            return kSubLangChineseMacau;
        default:
            break;
    }
    return locale.script() == QLocale::TraditionalHanScript ? kSubLangChineseTraditional
                                                            : kSubLangChineseSimplified;
}

int PrimaryLanguage(QLocale::Language language) {
    switch (language) {
        case QLocale::Chinese:
            return kLangChinese;
        case QLocale::German:
            return kLangGerman;
        case QLocale::English:
            return kLangEnglish;
        case QLocale::Spanish:
            return kLangSpanish;
        case QLocale::French:
            return kLangFrench;
        case QLocale::Italian:
            return kLangItalian;
        case QLocale::Japanese:
            return kLangJapanese;
        case QLocale::Korean:
            return kLangKorean;
        default:
            return 0;
    }
}

}  // namespace

int WindowsLanguageId(const QLocale& locale) {
    const int primary = PrimaryLanguage(locale.language());
    if (primary == 0) return 0;
    const int sub = primary == kLangChinese ? ChineseSubLanguage(locale) : 1;
    return MakeLanguageId(primary, sub);
}

const Translation& ChooseTranslation(int languageId) {
    const int primary = languageId & 0x3FF;
    const int sub = languageId >> 10;
    for (const TranslationRow& row : kTranslations) {
        if (row.primary == primary && (row.sub == kAnySubLanguage || row.sub == sub))
            return row.translation;
    }
    return kEnglish;
}

const Translation& ChooseTranslation(const QLocale& locale) {
    return ChooseTranslation(WindowsLanguageId(locale));
}

const Translation& TranslationOfBlock(int block) {
    for (const TranslationRow& row : kTranslations) {
        if (row.translation.updaterTextBlock == block) return row.translation;
    }
    return kEnglish;
}

}  // namespace norvale::common
