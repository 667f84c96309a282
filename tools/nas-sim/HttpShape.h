#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace nassim {

enum class BodyMode { ContentLength, Chunked, UntilClose };

// How one HTTP answer is shaped. The defaults describe a well-behaved HTTP/1.1 device; a
// scenario's quirk object overrides single fields (see HttpShape::fromJson).
struct HttpShape {
    BodyMode mode = BodyMode::ContentLength;
    int chunkSize = 512;
    bool chunkExtensions = false;     // "1f;name=value" size lines
    bool trailer = false;             // a trailer header after the last chunk
    int status = 0;                   // 0: the natural status of the answer
    int delayMs = 0;                  // before the answer's first byte
    bool malformed = false;           // break the XML (mismatched closing tag)
    bool empty = false;               // send no body at all
    bool drop = false;                // close the connection without an answer
    std::optional<std::string> body;  // literal body instead of the generated one
    int dribbleBytes = 0;             // >0: write the answer in pieces of this size...
    int dribbleMs = 0;                // ...this many milliseconds apart
    std::string version = "1.1";      // of the status line
    std::string connection = "auto";  // auto, close, keep-alive
    bool upperCaseHeaders = false;
    std::optional<std::string> contentType;

    // Applies the fields present in `quirk` (an object) over *this. Throws
    // std::runtime_error naming the offending key on an unknown key or a bad value.
    void apply(const nlohmann::json& quirk);

    // The shape for a request path: quirks["*"], then quirks[kind], then quirks[path]
    // applied over the defaults. `kind` is description, scpd, control, event or presentation.
    static HttpShape lookup(const nlohmann::json& quirks, const std::string& kind,
                            const std::string& path);
};

}  // namespace nassim
