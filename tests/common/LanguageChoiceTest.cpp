// The one choice of language both programs make from the user's locale.
#include <gtest/gtest.h>

#include "common/LanguageChoice.h"

namespace norvale::common {
namespace {

TEST(LanguageChoice, LocaleChoosesTheLanguageFileAndTheUpdaterBlockTogether) {
    struct Case {
        const char* locale;
        const char* moduleFile;  // null: English, the programs' own texts
        int block;
    };
    const Case cases[] = {
        {"de_DE", "RES_German.rcc", 400},
        {"de_CH", "RES_German.rcc", 400},
        {"de_AT", "RES_German.rcc", 400},
        {"fr_CA", "RES_French.rcc", 300},
        {"es_MX", "RES_Spanish.rcc", 600},
        {"it_IT", "RES_Italian.rcc", 500},
        {"ja_JP", "RES_Japanese.rcc", 800},
        {"ko_KR", "RES_Korean.rcc", 700},
        {"zh_TW", "RES_TChinese.rcc", 200},
        {"zh_CN", "RES_SChinese.rcc", 100},
        {"zh_HK", nullptr, 0},
        {"zh_SG", nullptr, 0},
        {"en_US", nullptr, 0},
        {"pt_BR", nullptr, 0},
        {"ru_RU", nullptr, 0},
        {"C", nullptr, 0},
    };
    for (const Case& c : cases) {
        const Translation& chosen = ChooseTranslation(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_STREQ(chosen.moduleFile, c.moduleFile) << c.locale;
        EXPECT_EQ(chosen.updaterTextBlock, c.block) << c.locale;
        // The block leads back to the same language, whose numbers the
        // updater's progress line writes.
        EXPECT_EQ(&TranslationOfBlock(c.block), &chosen) << c.locale;
    }
    EXPECT_EQ(WindowsLanguageId(QLocale("zh_HK")), MakeLanguageId(4, 3));
    EXPECT_EQ(TranslationOfBlock(400).NumberLocale().decimalPoint(), QStringLiteral(","));
    EXPECT_EQ(TranslationOfBlock(0).NumberLocale().decimalPoint(), QStringLiteral("."));
    EXPECT_EQ(TranslationOfBlock(900).moduleFile, nullptr) << "no such block: English";
}

}  // namespace
}  // namespace norvale::common
