// zip-extract ARCHIVE FOLDER
// Extracts every entry of ARCHIVE below FOLDER the way the updater does.
// Exit status 0 when everything was extracted, 1 when anything failed (the
// failing entries and their causes go to stderr), 2 on a usage error.

#include <cstdio>
#include <cstring>
#include <vector>

#include "zip/ExtractArchive.h"

int main(int argc, char** argv) {
    const char* const usage = "usage: zip-extract ARCHIVE FOLDER\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::vector<norvale::zip::ZipEntryFailure> failures;
    if (norvale::zip::ExtractArchive(argv[1], argv[2], &failures)) return 0;
    for (const auto& f : failures) {
        if (f.index == norvale::zip::ZipEntryFailure::kWholeArchive)
            std::fprintf(stderr, "%s: cause %d (%s)\n", argv[1], f.cause, f.detail.c_str());
        else
            std::fprintf(stderr, "entry %zu \"%s\": cause %d (%s)\n", f.index, f.name.c_str(),
                         f.cause, f.detail.c_str());
    }
    return 1;
}
