#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "updater/MinisignSignature.h"

namespace norvale::updater {

// Reads a ".minisig" file fed in pieces of any size. At most kMaxBytes are
// taken; once the input breaks the layout the parser stays failed and takes
// nothing more. Use one parser per file.
class MinisignSignatureParser {
  public:
    static constexpr std::size_t kMaxBytes = 4096;
    static constexpr std::size_t kMaxCommentLineBytes = 1100;

    // Takes bytes; `*consumed` (not null) tells how many: all of them until
    // the parser fails.
    void Feed(const char* data, std::size_t length, std::size_t* consumed);
    // Ends the input: the signature, or none when the bytes were not one.
    std::optional<MinisignSignature> Finish();
    bool Failed() const { return failed_; }

    // The whole file at once.
    static std::optional<MinisignSignature> Parse(std::string_view text);

  private:
    bool TakeLine(std::string_view line);
    bool Fail();

    MinisignSignature signature_;
    std::string line_;
    std::size_t total_ = 0;
    int linesDone_ = 0;
    bool failed_ = false;
};

}  // namespace norvale::updater
