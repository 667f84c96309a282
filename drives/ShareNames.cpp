// Folder names written by GVfs for SMB shares:
//   folder := "smb-share:" key "=" value { "," key "=" value }
//   key    := "server" | "share" | "domain" | "port" | "user" | ...
//   value  := percent-encoded text (no "," or "=" unencoded)
#include "drives/ShareNames.h"

#include <QStringList>
#include <QUrl>

namespace drives {

namespace {

bool IsDottedAddress(const QString& name) {
    const QStringList parts = name.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3) return false;
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || value > 255 || !part.at(0).isDigit()) return false;
    }
    return true;
}

bool IsHostLabel(QStringView label) {
    if (label.isEmpty() || label.size() > 63) return false;
    if (label.front() == QLatin1Char('-') || label.back() == QLatin1Char('-')) return false;
    for (QChar c : label) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '-' || u == '_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool IsValidHostName(const QString& name) {
    if (name.isEmpty() || name.size() > 253) return false;
    if (IsDottedAddress(name)) return true;
    bool allDigits = true;
    for (QStringView label : QStringView(name).split(QLatin1Char('.'))) {
        if (!IsHostLabel(label)) return false;
        for (QChar c : label) allDigits = allDigits && c.isDigit();
    }
    // Digits and dots only: an address, or nothing ("1.2.3", "256.1.1.1").
    return !allDigits;
}

bool IsValidShareName(const QString& name) {
    if (name.isEmpty() || name.size() > 80) return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('/') ||
            c == QLatin1Char('\\')) {
            return false;
        }
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    }
    return true;
}

bool SplitUncPath(const QString& path, QString* server, QString* share) {
    if (!path.startsWith(QLatin1String("\\\\"))) return false;
    const QStringList parts = path.mid(2).split(QLatin1Char('\\'));
    if (parts.size() > 2 || !IsValidHostName(parts.at(0))) return false;
    const QString shareName = parts.size() == 2 ? parts.at(1) : QString();
    if (parts.size() == 2 && !IsValidShareName(shareName)) return false;
    *server = parts.at(0);
    *share = shareName;
    return true;
}

QString UncSharePath(const QString& server, const QString& share) {
    return QStringLiteral("\\\\") + server + QLatin1Char('\\') + share;
}

QString SmbUrl(const QString& host, const QString& share) {
    if (!IsValidHostName(host)) return QString();
    // What a path segment may hold as it is (sub-delims, ':' and '@') stays;
    // '%', '/', '?', '#', blanks and everything else is encoded.
    static const QByteArray kSegmentCharacters = "!$&'()*+,;=:@";
    return QStringLiteral("smb://") + host + QLatin1Char('/') +
           QString::fromLatin1(QUrl::toPercentEncoding(share, kSegmentCharacters));
}

bool ParseGvfsShareFolder(const QString& folderName, QString* server, QString* share) {
    static const QLatin1String kPrefix("smb-share:");
    if (!folderName.startsWith(kPrefix)) return false;
    QString foundServer, foundShare;
    for (const QString& item : folderName.mid(kPrefix.size()).split(QLatin1Char(','))) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0) return false;
        const QString key = item.left(eq);
        const QString value = QUrl::fromPercentEncoding(item.mid(eq + 1).toUtf8());
        if (key == QLatin1String("server")) foundServer = value;
        if (key == QLatin1String("share")) foundShare = value;
    }
    if (foundServer.isEmpty() || foundShare.isEmpty()) return false;
    *server = foundServer;
    *share = foundShare;
    return true;
}

}  // namespace drives
