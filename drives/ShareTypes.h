#pragma once

#include <QString>
#include <array>

// Names and codes the share code speaks.
namespace drives {

// Results of the share code: the Windows system error numbers of file
// sharing, kept as they are because the panels compare with them and users
// and administrators know them. Where each comes from on Linux:
enum ErrorCode : int {
    kNoError = 0,
    // libsmbclient EACCES/EPERM; GIO PERMISSION_DENIED, or FAILED_HANDLED
    // when GVfs's password dialog gave up; EACCES looking into the folder.
    kErrorAccessDenied = 5,
    // libsmbclient ENOMEM.
    kErrorNotEnoughMemory = 8,
    // No GVfs SMB backend or FUSE folder on this desktop (GIO NOT_SUPPORTED).
    kErrorNotSupported = 50,
    // Unknown or unreachable server: libsmbclient ENOENT, ECONNREFUSED,
    // ETIMEDOUT, host or network unreachable; the GIO HOST_NOT_FOUND,
    // *_UNREACHABLE, CONNECTION_REFUSED, TIMED_OUT and CANCELLED errors; a
    // mounted folder that is missing or cannot be listed.
    kErrorBadNetPath = 53,
    // Any other libsmbclient errno or GIO error.
    kErrorUnexpectedNetwork = 59,
    // The server has no share of that name (GIO NOT_FOUND, ENOENT).
    kErrorBadNetName = 67,
    // symlink() of the letter's link failed other than with EEXIST.
    kErrorCannotMake = 82,
    // The letter holds something else (an entry not ours, EEXIST).
    kErrorAlreadyAssigned = 85,
    // libsmbclient EINVAL; a drive name that is no letter, or a letter
    // given without a share.
    kErrorInvalidParameter = 87,
    // A path, host name or share name that fails our checks.
    kErrorInvalidName = 123,
    // The desktop (QDesktopServices) has nothing that opens the location.
    kErrorNoAssociation = 1155,
    // Our letter's link points at a FUSE folder not in the mount table.
    kErrorConnectionUnavail = 1201,
    // The user cancelled our credential prompt or GVfs's.
    kErrorCancelled = 1223,
    // No letter Z..D is free.
    kErrorNoMoreDevices = 1248,
    // A folder probe or the automatic mapping ran out of time.
    kErrorTimeout = 1460,
    // The letter holds no link of ours.
    kErrorNotConnected = 2250,
    // GIO BUSY on unmounting: files are open on the share, it stays mounted.
    kErrorDeviceInUse = 2404,
};

// Whether a share has a drive letter: connected, remembered with its share
// unavailable, or none.
enum MappedState : int {
    kMappedConnected = 0,
    kMappedRemembered = 1,
    kNotMapped = 2,
};

// What a drive letter is, as the letter folder shows it.
enum DriveType : int {
    kDriveNoRootDir = 1,  // no entry: no drive
    kDriveRemovable = 2,
    kDriveFixed = 3,   // an entry that is not ours: never touched
    kDriveRemote = 4,  // our link to a mounted or remembered share
    kDriveCdrom = 5,
    kDriveRamdisk = 6,
};

// What one drive letter holds, read in one look: its DriveType, the answer
// GetConnection gives for it (0, 1201 or 2250) and the remote name with it.
struct DriveState {
    int type = kDriveNoRootDir;
    int connection = kErrorNotConnected;
    QString remote;
};

// The letters A..Z (index letter - 'A') as one look at them found them.
using DriveStates = std::array<DriveState, 26>;

// Share types of an enumeration entry.
enum ShareType : int {
    kShareDisk = 0,
    kSharePrintQueue = 1,
    kShareDevice = 2,
    kShareIpc = 3,
};

// One share of a server as the enumeration reports it.
struct ShareEntry {
    QString name;
    int type = kShareDisk;
};

}  // namespace drives
