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

template <typename F>
PIAnyProc Any(F* procedure) {
    return reinterpret_cast<PIAnyProc>(procedure);
}

}  // namespace varno
