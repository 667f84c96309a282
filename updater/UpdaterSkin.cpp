#include "updater/UpdaterSkin.h"

#include "resources/UpdaterImageIds.h"
#include "skin/MessageBoxSkin.h"
#include "skin/SkinImage.h"
#include "updater/UpdaterLanguage.h"

namespace norvale::updater {

void ApplyUpdaterMessageBoxSkin() {
    constexpr QRgb kWhite = 0xFFFFFFFF;
    MessageBoxSkin skin;
    skin.background = LoadPngResource(UpdaterImage::kDialogBackground);
    skin.backgroundSource = QRect(QPoint(0, 0), skin.background.size());
    skin.buttons = LoadPngResource(UpdaterImage::kDialogButtons);
    skin.buttonsSource = QRect(QPoint(0, 0), skin.buttons.size());
    skin.captionColor = kWhite;
    skin.buttonColor1 = kWhite;
    skin.buttonColor2 = kWhite;
    skin.buttonColor3 = kWhite;
    skin.buttonColor4 = 0xFF808080;
    skin.messageColor = kWhite;
    skin.fontSize = 13;
    const int base = LanguageBase();
    skin.labelIds = {base + UpdaterString::kYes, base + UpdaterString::kNo,
                     base + UpdaterString::kOk, base + UpdaterString::kCancel};
    SetMessageBoxSkin(&skin);
}

}  // namespace norvale::updater
