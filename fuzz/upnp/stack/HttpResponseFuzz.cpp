// The HTTP client's response engine fed an arbitrary byte stream in
// arbitrary reads: every message ends in exactly one final delivery, the
// engine never reads outside what it is offered and never keeps more than
// its limits.
#include "fuzz/upnp/stack/HttpStreamFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    norvale::stack::fuzzing::RunStream(norvale::stack::HttpReader::Mode::kResponse, data, size);
    return 0;
}
