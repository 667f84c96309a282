#include "zip/ZipStorage.h"

#include <zlib.h>

#include "zip/ZipException.h"

namespace norvale::zip {

void CZipStorage::Seek(std::uint64_t position) {
    if (!file_.Seek(position))
        CZipException::Throw(CZipException::kBadZipFile, "offset beyond the end of the archive");
}

void CZipStorage::Read(void* buffer, std::size_t length) {
    if (ReadSome(buffer, length) != length)
        CZipException::Throw(CZipException::kBadZipFile, "archive ends early");
}

std::size_t CZipStorage::ReadSome(void* buffer, std::size_t length) {
    std::int64_t n = file_.Read(buffer, length);
    if (n < 0) CZipException::Throw(Z_ERRNO, "cannot read the archive");
    return static_cast<std::size_t>(n);
}

}  // namespace norvale::zip
