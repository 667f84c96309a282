#pragma once

#include <QLocale>
#include <QString>

namespace norvale::app {

// Windows language ids: primary language in the low 10 bits, sublanguage
// above them. Only the languages that have a resource file are told apart;
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

// The language resource file for a language id: fills *fileName (not null)
// with "RES_German.rcc" and the like and returns 1, or returns 0 when the
// program's own English resources apply (*fileName is then cleared).
int SelectLanguageModule(int languageId, QString* fileName);
// The same for the user's language (the system locale).
int SelectLanguageModule(QString* fileName);

}  // namespace norvale::app
