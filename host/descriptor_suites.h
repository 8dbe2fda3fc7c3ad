// What the two descriptor suites (descriptor_read.cpp, descriptor_write.cpp) share with the
// descriptors themselves (descriptor.cpp): the count of open readers and writers, an item's start,
// and the cast of a procedure into a suite's untyped slot. Internal to host/.
#pragma once

#include "host/descriptor.h"

namespace varno {

// A reader or writer opened (+1) or closed (-1); OpenDescriptorTokens reports the balance.
void CountDescriptorToken(int32_t change);

inline DescriptorItem Item(uint32_t key, uint32_t type) {
    DescriptorItem item;
    item.key = key;
    item.type = type;
    return item;
}

// A token being closed: released when the close returns, however it ends (running out of memory
// included), since the plug-in holds it no longer.
template <typename Token>
struct Closing {
    Token* token;
    ~Closing() {
        if (!token) return;
        delete token;
        CountDescriptorToken(-1);
    }
};

template <typename F>
PIAnyProc Any(F* procedure) {
    return reinterpret_cast<PIAnyProc>(procedure);
}

}  // namespace varno
