#include "drives/DesktopShortcut.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "common/FileWriting.h"
#include "drives/ShareNames.h"

#include "resources/MainImageIds.h"

namespace drives {
namespace {

constexpr int kNameBytes = 120;    // UTF-8 bytes of the name part
constexpr int kAddressBytes = 64;  // UTF-8 bytes of the address part
constexpr int kIconSize = 256;
constexpr int kClassIcons[] = {MainImage::kClass1Icon, MainImage::kClass2Icon,
                               MainImage::kClass3Icon, MainImage::kClass4Icon};

bool IsDroppedCharacter(char32_t c, bool fileName) {
    if (fileName && (c == U'/' || c == U'\\')) return true;
    switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
    }
}

// One part of a name: control and format characters dropped (for a file
// name also path separators and leading dots), leading blanks stripped, at
// most maxBytes of UTF-8, whole characters only.
QString SafeNamePart(const QString& text, int maxBytes, bool fileName = true) {
    QString kept;
    int bytes = 0;
    for (const char32_t c : text.toUcs4()) {
        if (IsDroppedCharacter(c, fileName)) continue;
        if (kept.isEmpty() && ((fileName && c == U'.') || QChar::isSpace(c))) continue;
        const QString piece = QString::fromUcs4(&c, 1);
        const int size = static_cast<int>(piece.toUtf8().size());
        if (bytes + size > maxBytes) break;
        bytes += size;
        kept += piece;
    }
    return kept.trimmed();
}

// Writes bytes to folder/name in one step (norvale::common::ReplaceFile): a link
// planted under the name is replaced, never followed.
bool WriteFileInFolder(const QString& folder, const QString& name, const QByteArray& bytes,
                       mode_t mode) {
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    return norvale::common::ReplaceFile(path.constData(), bytes.constData(),
                                        static_cast<std::size_t>(bytes.size()), mode);
}

// Marks a launcher trusted for file managers that ask (GNOME's desktop);
// needs the session's GIO metadata service, so only with a session bus.
void MarkTrusted(const QString& path) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return;
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) return;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(gio, {QStringLiteral("set"), QStringLiteral("-t"), QStringLiteral("string"), path,
                        QStringLiteral("metadata::trusted"), QStringLiteral("true")});
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

}  // namespace

QString DesktopShortcutFileName(const QString& serverName, const QString& address) {
    const QString host = SafeNamePart(address, kAddressBytes);
    const QString name = SafeNamePart(serverName, kNameBytes);
    if (name.isEmpty() && host.isEmpty()) return {};
    if (name.isEmpty() || host.isEmpty()) return name + host + QStringLiteral(".desktop");
    return QStringLiteral("%1 (%2).desktop").arg(name, host);
}

QString EscapeDesktopEntryValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\t')) {
            out += QLatin1String("\\t");
        } else if (c == QLatin1Char('\r')) {
            out += QLatin1String("\\r");
        } else if (c == QLatin1Char(' ') && out.isEmpty()) {
            out += QLatin1String("\\s");
        } else if (c.category() != QChar::Other_Control) {
            out += c;
        }
    }
    return out;
}

QString ShortcutUrl(const QString& mapName, const QString& address) {
    const QString url = SmbUrl(mapName);
    return url.isEmpty() ? SmbUrl(address) : url;
}

QString DesktopEntryText(const QString& name, const QString& url, const QString& iconName) {
    QString text = QStringLiteral("[Desktop Entry]\nVersion=1.0\nType=Link\n");
    text += QStringLiteral("Name=") + EscapeDesktopEntryValue(name) + QLatin1Char('\n');
    text += QStringLiteral("URL=") + EscapeDesktopEntryValue(url) + QLatin1Char('\n');
    if (!iconName.isEmpty()) text += QStringLiteral("Icon=") + iconName + QLatin1Char('\n');
    return text;
}

QString ClassIconName(int modelClass) {
    if (modelClass < 1 || modelClass > 4) return {};
    return QStringLiteral("norvale-discovery-class%1").arg(modelClass);
}

bool InstallClassIcon(int modelClass, const QString& dataHome) {
    const QString name = ClassIconName(modelClass);
    if (name.isEmpty()) return false;
    QFile picture(QStringLiteral(":/png/%1.png").arg(kClassIcons[modelClass - 1]));
    if (!picture.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = picture.readAll();
    const QString folder =
        QStringLiteral("%1/icons/hicolor/%2x%2/apps").arg(dataHome).arg(kIconSize);
    if (!QDir().mkpath(folder)) return false;
    const QString file = name + QStringLiteral(".png");
    QFile existing(folder + QLatin1Char('/') + file);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes) return true;
    return WriteFileInFolder(folder, file, bytes, 0644);
}

bool CreateDesktopShortcut(const DesktopShortcut& shortcut, const ShortcutFolders& folders,
                           QString* writtenPath) {
    if (ClassIconName(shortcut.modelClass).isEmpty()) return false;
    const QString desktop = !folders.desktop.isEmpty()
                                ? folders.desktop
                                : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString dataHome =
        !folders.dataHome.isEmpty()
            ? folders.dataHome
            : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString fileName = DesktopShortcutFileName(shortcut.serverName, shortcut.address);
    const QString url = ShortcutUrl(shortcut.mapName, shortcut.address);
    if (desktop.isEmpty() || fileName.isEmpty() || url.isEmpty()) return false;
    if (!QDir().mkpath(desktop)) return false;

    // The icon is a nicety: a shortcut without it still opens the device.
    const bool haveIcon = !dataHome.isEmpty() && InstallClassIcon(shortcut.modelClass, dataHome);
    // The title shown keeps what the file name cannot hold, escaped.
    QString title = SafeNamePart(shortcut.serverName, kNameBytes, false);
    const QString host = SafeNamePart(shortcut.address, kAddressBytes, false);
    if (title.isEmpty()) title = host;
    if (!host.isEmpty() && title != host) title += QStringLiteral(" (%1)").arg(host);
    const QString text =
        DesktopEntryText(title, url, haveIcon ? ClassIconName(shortcut.modelClass) : QString());
    if (!WriteFileInFolder(desktop, fileName, text.toUtf8(), 0755)) return false;
    const QString path = QDir(desktop).filePath(fileName);
    MarkTrusted(path);
    if (writtenPath) *writtenPath = path;
    return true;
}

}  // namespace drives
