#pragma once

#include <cstdio>
#include <string>

namespace nassim {

// Writes one line per served request or sent announcement, flushed at once so that a test
// reading the log sees it in time. Not owned: stderr; owned: a file opened by open().
class Logger {
  public:
    explicit Logger(std::FILE* out) : out_(out) {}
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Opens (truncates) `path` for the log; false when it cannot be opened.
    bool open(const std::string& path);
    void line(const std::string& text);

  private:
    std::FILE* out_;
    bool owned_ = false;
};

}  // namespace nassim
