#pragma once

#include <QLocale>
#include <QString>

namespace norvale::common {

// Windows language ids: primary language in the low 10 bits, sublanguage
// above them. Only the languages that have a translation are told apart;
// every other language gives 0.
constexpr int kLangChinese = 4;
constexpr int kLangGerman = 7;
constexpr int kLangEnglish = 9;
constexpr int kLangSpanish = 10;
constexpr int kLangFrench = 12;
constexpr int kLangItalian = 16;
constexpr int kLangJapanese = 17;
constexpr int kLangKorean = 18;
constexpr int kSubLangChineseTraditional = 1;  // Taiwan
constexpr int kSubLangChineseSimplified = 2;   // mainland China
constexpr int kSubLangChineseHongKong = 3;
constexpr int kSubLangChineseSingapore = 4;
constexpr int kSubLangChineseMacau = 5;

constexpr int MakeLanguageId(int primary, int sub) {
    return (sub << 10) | primary;
}

// The Windows language id of a locale (e.g. de_CH gives German, zh_HK
// Chinese/Hong Kong). Chinese without a territory is told apart by script.
int WindowsLanguageId(const QLocale& locale);

// A language both programs are translated into, and where each program
// finds its texts: the main program in a language resource file beside the
// executable, the updater in a block of a hundred ids of its string table.
struct Translation {
    // "RES_German.rcc" and the like; null for English, the programs' own texts.
    const char* moduleFile;
    // The updater's text n is string updaterTextBlock + n; 0 for English.
    int updaterTextBlock;
    // How the language writes numbers (decimal and group separators).
    QLocale::Language language;
    QLocale::Script script;
    QLocale::Territory territory;

    QLocale NumberLocale() const { return QLocale(language, script, territory); }
};

// The translation for a Windows language id: every sublanguage of German,
// French, Spanish, Italian, Japanese and Korean; of Chinese only Taiwan
// (traditional) and mainland China (simplified); English for the rest.
const Translation& ChooseTranslation(int languageId);
// The same for a locale (the user's language by default).
const Translation& ChooseTranslation(const QLocale& locale = QLocale::system());
// The translation whose updater block is `block`; English for any other.
const Translation& TranslationOfBlock(int block);

}  // namespace norvale::common
