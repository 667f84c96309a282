#include "zip/ZipException.h"

#include <utility>

namespace norvale::zip {

CZipException::CZipException(int internal, std::string detail)
    : internal_(internal), cause_(CauseOf(internal)), detail_(std::move(detail)) {}

int CZipException::CauseOf(int internal) {
    if (internal >= -6 && internal <= 2 && internal != 0) {
        // 1 -> 2, 2 -> 3, -1 -> 4 ... -6 -> 9
        return internal > 0 ? internal + 1 : 3 - internal;
    }
    if (internal <= kBadZipFile && internal >= kSystem) return 10 + (kBadZipFile - internal);
    return kGeneric;
}

void CZipException::Throw(int internal, std::string detail) {
    throw CZipException(internal, std::move(detail));
}

}  // namespace norvale::zip
