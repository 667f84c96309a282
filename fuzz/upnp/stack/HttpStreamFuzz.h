#pragma once

// Shared driver of the HTTP engine fuzz targets: the first input byte picks
// the read sizes and how much of each delivery the caller consumes; the rest
// is the byte stream of one connection, fed the way a socket offers it
// (unconsumed bytes come again with the next read).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "upnp/stack/HttpReader.h"

namespace norvale::stack::fuzzing {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

struct Observer {
    int policy = 0;
    int finals = 0;
    bool headSeen = false;
    static void Deliver(void* owner, Packet* packet, char* buffer, int* consumed, int length,
                        int done) {
        auto* self = static_cast<Observer*>(owner);
        Check(packet != nullptr && length >= 0 && *consumed == 0);
        Check((buffer == nullptr) == (length == 0));
        if (buffer != nullptr) {
            volatile char sink = 0;
            for (int i = 0; i < length; ++i)
                sink = static_cast<char>(sink ^ buffer[i]);  // readable
            buffer[0] = buffer[0];                           // writable
        }
        if (done == -1) ++self->finals;
        *consumed = self->policy == 0 ? length : self->policy == 1 ? 0 : length / 2;
    }
};

inline void RunStream(HttpReader::Mode mode, const std::uint8_t* data, std::size_t size) {
    if (size < 1) return;
    std::uint32_t seed = data[0] * 2654435761u + 1;
    Observer observer;
    observer.policy = data[0] % 3;
    HttpReader::Limits limits;
    limits.maxHeaderBytes = mode == HttpReader::Mode::kRequest ? 3072 : 4096;
    limits.maxBufferedBytes = 65536;
    HttpReader reader(mode, limits, &Observer::Deliver, &observer);
    reader.Start((data[0] & 0x40) != 0, (data[0] & 0x80) != 0);
    std::string pending;
    std::size_t at = 1;
    int messages = 0;
    while (at < size) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t step = 1 + (seed >> 16) % 97;
        pending.append(reinterpret_cast<const char*>(data) + at, std::min(step, size - at));
        at += step;
        for (;;) {
            int consumed = -1;
            const auto status =
                reader.Feed(pending.data(), static_cast<int>(pending.size()), &consumed);
            Check(consumed >= 0 && consumed <= static_cast<int>(pending.size()));
            pending.erase(0, static_cast<std::size_t>(consumed));
            if (status == HttpReader::Status::kComplete) {
                ++messages;
                Check(observer.finals == messages);
                reader.Start();
                continue;
            }
            if (status == HttpReader::Status::kFailed) return;
            Check(status == HttpReader::Status::kNeedMore && pending.empty());
            break;
        }
    }
    const auto closed = reader.PeerClosed();
    if (closed == HttpReader::Status::kComplete) ++messages;
    Check(observer.finals == messages);
}

}  // namespace norvale::stack::fuzzing
