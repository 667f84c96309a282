#pragma once

#include <QString>

// The drive letters of this user: a folder (by default "~/Network Drives",
// NORVALE_DRIVES_DIR overrides it) whose entries "Z:" ... "D:" are symbolic
// links to the GVfs FUSE folders of mounted shares. A link survives logout
// and reboot (the connection is remembered); while its share is not mounted
// it dangles. Entries that are not such links belong to somebody else and
// are never changed.
namespace drives {

// What a letter's entry is.
struct DriveEntry {
    enum Kind { kNone, kOurLink, kOther };
    Kind kind = kNone;
    QString target;  // the link's target (kOurLink)
    QString server;  // as GVfs names them (kOurLink)
    QString share;
    bool mounted = false;  // the target folder exists (kOurLink)
};

class DriveFolder {
  public:
    // The folder from the environment, else "~/Network Drives".
    DriveFolder();
    explicit DriveFolder(QString path);

    const QString& Path() const { return path_; }

    // Upper-case letter of a drive name "z:" / "Z:"; 0 when it is not one of
    // "A:" ... "Z:".
    static char16_t LetterOf(const QString& driveName);
    // The entry path of a letter ("<folder>/Z:").
    QString EntryPath(char16_t letter) const;

    DriveEntry Read(char16_t letter) const;
    // Makes (or replaces an own link with) a link from letter to target,
    // creating the folder (mode 0700) when needed. False with errno set on
    // failure; never replaces a foreign entry.
    bool MakeLink(char16_t letter, const QString& target) const;
    // Removes an own link. False when the letter holds no own link.
    bool RemoveLink(char16_t letter) const;
    // Number of own links among Z..A pointing to target.
    int CountLinksTo(const QString& target) const;

  private:
    QString path_;
};

}  // namespace drives
