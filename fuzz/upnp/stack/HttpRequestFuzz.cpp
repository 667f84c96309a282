// The HTTP server's request engine (3072-byte head limit) fed an arbitrary
// byte stream in arbitrary reads, several requests per connection.
#include "fuzz/upnp/stack/HttpStreamFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    norvale::stack::fuzzing::RunStream(norvale::stack::HttpReader::Mode::kRequest, data, size);
    return 0;
}
