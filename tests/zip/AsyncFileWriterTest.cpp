// The writer thread: a file's failure stays with that file, a write error
// surfaces at Finish, and every file is stamped and closed by Drain.

#include <fcntl.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "tests/zip/ZipTestSupport.h"
#include "zip/AsyncFileWriter.h"
#include "zip/ZipException.h"

namespace norvale::zip::test {
namespace {

CAsyncFileWriter::Create Creator(const fs::path& path) {
    return [path] {
        return CUniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    };
}

void Put(CAsyncFileWriter& writer, const std::string& text) {
    std::uint8_t* buffer = writer.AcquireBuffer();
    std::memcpy(buffer, text.data(), text.size());
    writer.Submit(buffer, text.size());
}

TEST(AsyncFileWriter, FailedCreationStaysWithItsFileAndLaterFilesAreWritten) {
    TempDir dir;
    CAsyncFileWriter writer(16, 2);
    writer.BeginFile([]() -> CUniqueFd { throw std::runtime_error("refused"); });
    Put(writer, "lost");
    EXPECT_THROW(writer.Finish(), std::runtime_error);
    EXPECT_TRUE(writer.Failed());
    writer.EndFile({});

    writer.BeginFile(Creator(dir / "b"));
    EXPECT_FALSE(writer.Failed());
    Put(writer, "hello ");
    Put(writer, "world");
    EXPECT_EQ(writer.Finish(), crc32(0, reinterpret_cast<const Bytef*>("hello world"), 11));
    int completedFd = -1;
    writer.EndFile([&](int fd) { completedFd = fd; });
    writer.Drain();
    EXPECT_GE(completedFd, 0);
    EXPECT_EQ(ReadFile(dir / "b"), "hello world");
}

TEST(AsyncFileWriter, WriteErrorIsRaisedByFinishAndSkipsTheRest) {
    CAsyncFileWriter writer(16, 2);
    writer.BeginFile([] { return CUniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)); });
    Put(writer, "a");
    Put(writer, "b");
    Put(writer, "c");
    try {
        writer.Finish();
        ADD_FAILURE() << "no error";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.Cause(), CZipException::kSystemCause);
    }
    bool completed = false;
    writer.EndFile([&](int) { completed = true; });
    writer.Drain();
    EXPECT_TRUE(completed);  // the descriptor is still handed over, then closed
}

}  // namespace
}  // namespace norvale::zip::test
