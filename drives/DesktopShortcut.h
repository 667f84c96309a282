#pragma once

#include <QString>

namespace drives {

// A desktop shortcut to a device: a freedesktop desktop entry of type Link
// named "NAME (ADDRESS).desktop" whose URL is smb://MAPNAME/ and whose icon
// is the device's model-class picture.
struct DesktopShortcut {
    QString serverName;  // the device's name as listed (from the network)
    QString address;     // dotted host of the description URL
    QString mapName;     // name or address the shares are reached by
    int modelClass = 0;  // 1..4; 0 gets no shortcut
};

// Where shortcuts and icons go. Empty fields mean the user's own folders:
// QStandardPaths' desktop folder and ~/.local/share.
struct ShortcutFolders {
    QString desktop;
    QString dataHome;
};

// The file name "NAME (ADDRESS).desktop" with the parts made safe: no path
// separators, control or format characters, no leading dots or blanks,
// each part capped so the name stays far below the file-name limit. A name
// left empty falls back to the address. Empty when nothing usable remains.
QString DesktopShortcutFileName(const QString& serverName, const QString& address);

// A value of a desktop entry with the escapes of the format (\s for a
// leading blank, \n, \t, \r, \\); other control characters are dropped.
QString EscapeDesktopEntryValue(const QString& value);

// "smb://HOST/" (SmbUrl) for the map name, else for the address; empty when
// neither is a host name or address.
QString ShortcutUrl(const QString& mapName, const QString& address);

// The text of the entry: Type=Link, Name, URL, Icon; never an Exec line.
QString DesktopEntryText(const QString& name, const QString& url, const QString& iconName);

// Icon name of a model class ("norvale-discovery-class3"); empty for a
// class outside 1..4.
QString ClassIconName(int modelClass);

// Installs the class picture as a 256x256 hicolor application icon under
// dataHome/icons; false when it cannot be written.
bool InstallClassIcon(int modelClass, const QString& dataHome);

// Writes the shortcut into the desktop folder (created when missing) and
// marks it executable and, where GIO metadata can be set, trusted. The
// entry is written to a fresh file inside that folder and renamed over the
// name, so a symbolic link planted under the name is replaced, never
// followed. True only when the file was really written; *writtenPath is
// then its path.
bool CreateDesktopShortcut(const DesktopShortcut& shortcut, const ShortcutFolders& folders,
                           QString* writtenPath = nullptr);

}  // namespace drives
