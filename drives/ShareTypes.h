#pragma once

#include <QString>
#include <array>

// Names and codes the share code speaks. Results are the system error codes
// of file sharing, so callers and tests can compare them with the numbers
// users and administrators know.
namespace drives {

enum ErrorCode : int {
    kNoError = 0,
    kErrorAccessDenied = 5,
    kErrorNotEnoughMemory = 8,
    kErrorNotSupported = 50,       // no GVfs FUSE folder to link a letter to
    kErrorBadNetPath = 53,         // unknown or unreachable server
    kErrorUnexpectedNetwork = 59,  // an SMB or GVfs failure without a closer code
    kErrorBadNetName = 67,         // the server has no share of that name
    kErrorCannotMake = 82,         // the drive link cannot be made
    kErrorAlreadyAssigned = 85,    // the letter holds something else
    kErrorInvalidParameter = 87,
    kErrorInvalidName = 123,         // a name that is no host name, address or share name
    kErrorNoAssociation = 1155,      // nothing on this desktop opens the location
    kErrorConnectionUnavail = 1201,  // remembered letter whose share is not mounted
    kErrorNoMoreDevices = 1248,      // every drive letter is taken
    kErrorCancelled = 1223,          // the user cancelled the credential prompt
    kErrorTimeout = 1460,            // no answer within the time allowed
    kErrorNotConnected = 2250,       // the letter holds no connection
    kErrorDeviceInUse = 2404,        // files are open on the share: it stays mounted
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
