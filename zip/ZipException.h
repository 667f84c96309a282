#pragma once

#include <string>

namespace norvale::zip {

// The error object of the archive reader. It carries the internal error value
// (zlib's result codes 1..-6, or the reader's own -101..-107) and the cause
// code derived from it; `Detail()` is a short text for people reading logs.
class CZipException {
  public:
    // Internal values of the reader itself (zlib's own codes are used as they are).
    enum Internal {
        kBadZipFile = -101,    // archive structure broken or inconsistent
        kBadCrc = -102,        // CRC-32 of the written data differs
        kUnsafeEntry = -103,   // entry refused: its path leaves the destination
        kNoSpace = -104,       // declared size exceeds the destination's free space
        kSizeMismatch = -105,  // entry data longer or shorter than declared
        kUnsupported = -106,   // encryption, ZIP64 or multi-volume
        kSystem = -107,        // the operating system refused a file operation
        kMisuse = -100,        // call out of order (an entry already open ...)
    };

    // Cause codes as reported to the caller.
    enum Cause {
        kGeneric = 1,
        kStreamEnd = 2,
        kNeedDict = 3,
        kErrno = 4,
        kStreamError = 5,
        kDataError = 6,
        kMemError = 7,
        kBufError = 8,
        kVersionError = 9,
        kBadZipFileCause = 10,
        kBadCrcCause = 11,
        kUnsafeEntryCause = 12,
        kNoSpaceCause = 13,
        kSizeMismatchCause = 14,
        kUnsupportedCause = 15,
        kSystemCause = 16,
    };

    CZipException(int internal, std::string detail);

    // Maps an internal value to its cause code (unknown values give kGeneric).
    static int CauseOf(int internal);

    // Throws a CZipException for `internal`.
    [[noreturn]] static void Throw(int internal, std::string detail = {});

    int Cause() const { return cause_; }
    int Internal() const { return internal_; }
    const std::string& Detail() const { return detail_; }

  private:
    int internal_;
    int cause_;
    std::string detail_;
};

}  // namespace norvale::zip
