#include "app/LanguageSelection.h"

namespace norvale::app {
namespace {

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

int SelectLanguageModule(int languageId, QString* fileName) {
    const int primary = languageId & 0x3FF;
    const int sub = languageId >> 10;
    const char* name = nullptr;
    switch (primary) {
        case kLangChinese:
            if (sub == kSubLangChineseTraditional) name = "RES_TChinese.rcc";
            if (sub == kSubLangChineseSimplified) name = "RES_SChinese.rcc";
            break;
        case kLangGerman:
            name = "RES_German.rcc";
            break;
        case kLangSpanish:
            name = "RES_Spanish.rcc";
            break;
        case kLangFrench:
            name = "RES_French.rcc";
            break;
        case kLangItalian:
            name = "RES_Italian.rcc";
            break;
        case kLangJapanese:
            name = "RES_Japanese.rcc";
            break;
        case kLangKorean:
            name = "RES_Korean.rcc";
            break;
        default:
            break;
    }
    *fileName = name ? QString::fromLatin1(name) : QString();
    return name ? 1 : 0;
}

int SelectLanguageModule(QString* fileName) {
    return SelectLanguageModule(WindowsLanguageId(QLocale::system()), fileName);
}

}  // namespace norvale::app
