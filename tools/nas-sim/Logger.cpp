#include "tools/nas-sim/Logger.h"

namespace nassim {

Logger::~Logger() {
    if (owned_) std::fclose(out_);
}

bool Logger::open(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    if (owned_) std::fclose(out_);
    out_ = f;
    owned_ = true;
    return true;
}

void Logger::line(const std::string& text) {
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

}  // namespace nassim
