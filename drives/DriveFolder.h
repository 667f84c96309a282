#pragma once

#include <QString>

// The drive letters of this user: a folder (by default "~/Network Drives",
// NORVALE_DRIVES_DIR overrides it) whose entries "Z:" ... "D:" are symbolic
// links to the GVfs FUSE folders of mounted shares. A link survives logout
// and reboot (the connection is remembered); while its share is not mounted
// it dangles. Entries that are not such links belong to somebody else and
// are never changed, not even when they appear while a letter is being made
// or removed.
namespace drives {

// What a letter's entry is, read from the entry itself: the link is never
// followed (its target may be a FUSE folder that does not answer).
struct DriveEntry {
    enum Kind { kNone, kOurLink, kOther };
    Kind kind = kNone;
    QString target;  // the link's target (kOurLink)
    QString server;  // as GVfs names them (kOurLink)
    QString share;
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
    // The file beside the letters that remembers the mounts made here.
    QString MountRecordPath() const;

    DriveEntry Read(char16_t letter) const;
    // Makes the folder (mode 0700) when it is missing; an existing folder
    // keeps its mode. False with errno set when it cannot be made.
    bool EnsureExists() const;
    // Links letter to target when the letter holds nothing or an own link
    // (replaced in one step, so the letter never disappears). Anything else,
    // also an entry that turns up meanwhile, is left as it is: false with
    // errno EEXIST. Other failures: false with errno set.
    bool MakeLink(char16_t letter, const QString& target) const;
    // Removes an own link. False, leaving the entry as it is, when the
    // letter holds anything else.
    bool RemoveLink(char16_t letter) const;
    // Number of own links among Z..A pointing to target.
    int CountLinksTo(const QString& target) const;

  private:
    QString path_;
};

}  // namespace drives
