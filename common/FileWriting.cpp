#include "common/FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace norvale::common {
namespace {

// Long enough to tell the file apart, short enough that ".NAME.XXXXXX"
// stays within a file name's 255 bytes.
constexpr std::size_t kMaxNameInTemporary = 200;

// "FOLDER/.NAME.XXXXXX" for "FOLDER/NAME", the pattern of mkostemp.
std::string TemporaryPattern(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + '.' + name.substr(0, kMaxNameInTemporary) + ".XXXXXX";
}

}  // namespace

bool WriteAll(int fd, const void* data, std::size_t length) {
    const char* next = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, next, length);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        next += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool ReplaceFile(const char* path, const void* data, std::size_t length, mode_t mode) {
    std::string temporary = TemporaryPattern(path);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, data, length) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    // A late write error shows in close's result only.
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path) == 0) return true;
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    return false;
}

}  // namespace norvale::common
