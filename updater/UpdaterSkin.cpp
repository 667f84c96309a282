#include "updater/UpdaterSkin.h"

#include "skin/MessageBoxSkin.h"
#include "skin/SkinImage.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {

void ApplyUpdaterMessageBoxSkin() {
    constexpr QRgb kWhite = 0xFFFFFFFF;
    MessageBoxSkin skin;
    skin.background = LoadPngResource(1137);
    skin.backgroundSource = QRect(QPoint(0, 0), skin.background.size());
    skin.buttons = LoadPngResource(1136);
    skin.buttonsSource = QRect(QPoint(0, 0), skin.buttons.size());
    skin.captionColor = kWhite;
    skin.buttonColor1 = kWhite;
    skin.buttonColor2 = kWhite;
    skin.buttonColor3 = kWhite;
    skin.buttonColor4 = 0xFF808080;
    skin.messageColor = kWhite;
    skin.fontSize = 13;
    const int base = LanguageBase();
    skin.labelIds = {base + kYesText, base + kNoText, base + kOkText, base + kCancelText};
    SetMessageBoxSkin(&skin);
}

}  // namespace norvale::updater
