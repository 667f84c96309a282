#pragma once

#include "upnp/stack/SocketSet.h"

namespace norvale::stack {

// An object that lives on an EventChain. On every pass the chain calls
// OnPrepare (add sockets to watch, lower the block time in milliseconds),
// waits, then calls OnReady with the wait's result (ready count, 0 on
// time-out, -1 on error with all sets empty). When the chain ends it calls
// OnDestroy and then deletes the object. All three run on the chain thread.
class ChainedObject {
  public:
    ChainedObject() = default;
    ChainedObject(const ChainedObject&) = delete;
    ChainedObject& operator=(const ChainedObject&) = delete;
    virtual ~ChainedObject() = default;

    virtual void OnPrepare(SocketSet& /*readSet*/, SocketSet& /*writeSet*/, SocketSet& /*errorSet*/,
                           int& /*blockTimeMs*/) {}
    virtual void OnReady(int /*selectResult*/, const SocketSet& /*readSet*/,
                         const SocketSet& /*writeSet*/, const SocketSet& /*errorSet*/) {}
    virtual void OnDestroy() {}
};

}  // namespace norvale::stack
