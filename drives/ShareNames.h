#pragma once

#include <QString>

// Checks and conversions for names that come from the network (a device's
// map name, a server's share names) before they reach a URL or a path, and
// the reading of the GVfs folder names that drive links point to.
namespace drives {

// True for a dotted IPv4 address or a host name of at most 253 characters:
// labels of ASCII letters, digits, '-' and '_', 1 to 63 long, not starting
// or ending with '-', not all of them digits only.
bool IsValidHostName(const QString& name);

// True for a share name a server may offer: 1 to 80 characters, none of them
// a control character, '/', '\\' or NUL.
bool IsValidShareName(const QString& name);

// Splits "\\SERVER" or "\\SERVER\SHARE" (the share part may be empty, then
// it is a server path). False for anything else: missing prefix, more parts,
// an invalid host or share name.
bool SplitUncPath(const QString& path, QString* server, QString* share);

// "\\SERVER\SHARE", the path of a share as the share code names it; the
// inverse of SplitUncPath for a share (the names are not checked here).
QString UncSharePath(const QString& server, const QString& share);

// The one builder of smb:// addresses: "smb://host/" for an empty share,
// else "smb://host/share" with the share percent-encoded as one path
// segment (a '/', '%', '?' or '#' in it never changes the URL's shape). Empty when the
// host fails IsValidHostName, the strictest of the host checks: only ASCII
// host names and dotted addresses, as the UNC paths of the share code.
QString SmbUrl(const QString& host, const QString& share = QString());

// Reads a GVfs FUSE folder name, "smb-share:server=S,share=N" with optional
// further keys (domain=, port=, user=) in any order, values percent-encoded.
// False when it is not an SMB share folder name or lacks server or share.
bool ParseGvfsShareFolder(const QString& folderName, QString* server, QString* share);

}  // namespace drives
