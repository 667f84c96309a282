#pragma once

#include <sys/types.h>

#include <cstddef>

// Writing whole files and buffers with plain system calls; no Qt, so that
// every library down to the archive reader can use them.
namespace norvale::common {

// Writes all `length` bytes at `data` to `fd`, again after a signal or a
// short write. True when every byte was written; false with errno saying
// why (EIO when the system wrote nothing without naming an error).
bool WriteAll(int fd, const void* data, std::size_t length);

// Replaces the file at `path` in one step: the bytes go to a fresh hidden
// file in the same folder (".NAME.XXXXXX", created exclusively, so nothing
// planted there is written through), are flushed to disk with fsync, get
// `mode` and are renamed over `path`. A symlink under the name is replaced,
// never followed; a reader (also after a crash) sees the old file or the
// whole new one. The folder itself is not flushed: after a crash the name
// may still show the old file. False on any failure, with nothing left
// behind and the old file unchanged.
bool ReplaceFile(const char* path, const void* data, std::size_t length, mode_t mode);

}  // namespace norvale::common
