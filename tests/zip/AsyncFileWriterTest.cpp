// The writer thread: each file's failure (creation, write, completion check)
// stays with that file and is reported when someone waits for it.

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

TEST(AsyncFileWriter, EachFileKeepsItsOwnOutcomeWhileTheNextIsWritten) {
    TempDir dir;
    CAsyncFileWriter writer(16, 2);
    std::uint64_t refused = writer.BeginFile([]() -> CUniqueFd { throw std::runtime_error("no"); });
    Put(writer, "lost");
    writer.EndFile([](int, std::uint32_t) { ADD_FAILURE() << "completed a failed file"; });

    std::uint64_t written = writer.BeginFile(Creator(dir / "b"));
    EXPECT_FALSE(writer.Failed());
    Put(writer, "hello ");
    Put(writer, "world");
    std::uint32_t crc = 0;
    writer.EndFile([&](int, std::uint32_t c) { crc = c; });

    std::uint64_t checked = writer.BeginFile(Creator(dir / "c"));
    Put(writer, "x");
    writer.EndFile([](int, std::uint32_t) { throw std::logic_error("bad CRC"); });

    EXPECT_THROW(writer.WaitFile(refused), std::runtime_error);
    writer.WaitFile(written);
    EXPECT_EQ(crc, crc32(0, reinterpret_cast<const Bytef*>("hello world"), 11));
    EXPECT_EQ(ReadFile(dir / "b"), "hello world");
    EXPECT_THROW(writer.WaitFile(checked), std::logic_error);
    EXPECT_EQ(ReadFile(dir / "c"), "x");  // written before the check
}

TEST(AsyncFileWriter, WriteErrorIsTheFilesOutcomeAndSkipsTheRest) {
    CAsyncFileWriter writer(16, 2);
    std::uint64_t file =
        writer.BeginFile([] { return CUniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)); });
    Put(writer, "a");
    Put(writer, "b");
    Put(writer, "c");
    writer.EndFile([](int, std::uint32_t) { ADD_FAILURE() << "completed a failed file"; });
    try {
        writer.WaitFile(file);
        ADD_FAILURE() << "no error";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.Cause(), CZipException::kSystemCause);
    }
    EXPECT_TRUE(writer.Failed());
}

}  // namespace
}  // namespace norvale::zip::test
