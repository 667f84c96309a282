#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace drives {

// The shares this program mounted itself, as their FUSE folders, kept in a
// file beside the drive letters (DriveFolder::MountRecordPath) so that a
// later run knows them too. Only these are ever unmounted: a mount someone
// else made stays, whatever our letters do. The file holds one folder a line,
// at most kMaxEntries of them; it is replaced whole, never written in place.
class MountRecord {
  public:
    static constexpr int kMaxEntries = 256;

    explicit MountRecord(QString file) : file_(std::move(file)) {}

    bool Contains(const QString& folder) const;
    // Adds folders, first dropping the entries that are no longer mounted
    // when `mounted` (may be null: unknown) tells (a share unmounted
    // elsewhere and mounted again later is not ours). False when the file
    // cannot be written.
    bool Update(const QStringList& folders, const QSet<QString>* mounted);
    bool Remove(const QString& folder);

  private:
    QStringList Load() const;
    bool Save(const QStringList& folders) const;

    QString file_;
};

}  // namespace drives
