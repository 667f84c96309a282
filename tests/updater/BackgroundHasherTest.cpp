// The download's hash taken on a thread of its own: the same hash as one
// pass over the bytes, whatever the pieces, and no hang when dropped early.
#include <gtest/gtest.h>

#include "UpdaterTestSupport.h"
#include "updater/BackgroundHasher.h"

namespace norvale::updater {
namespace {

TEST(BackgroundHasher, PiecesOfAnySizeGiveTheHashOfTheWholeInOrder) {
    // Past eight blocks of a quarter megabyte, so that Add must wait.
    const std::string bytes = test::PatternBytes(3 * 1024 * 1024 + 12345, 7);
    ArchiveHasher whole;
    whole.Update(bytes.data(), bytes.size());
    const ArchiveHasher::Hash expected = whole.Final();
    for (const std::size_t piece : {std::size_t{1} << 14, std::size_t{1000}, std::size_t{262145}}) {
        BackgroundHasher hasher;
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            hasher.Add(bytes.data() + at, std::min(piece, bytes.size() - at));
        EXPECT_EQ(hasher.Final(), expected) << piece;
    }
    BackgroundHasher empty;
    ArchiveHasher nothing;
    EXPECT_EQ(empty.Final(), nothing.Final());
    // A failed download drops its hasher half fed.
    BackgroundHasher dropped;
    dropped.Add(bytes.data(), bytes.size());
}

}  // namespace
}  // namespace norvale::updater
