// Host callbacks that never let an exception reach the plug-in: the host's own code may run out of
// memory (std::bad_alloc) inside any callback, and an exception unwinding through the plug-in's
// frames, which know nothing of it, would end the process or leave the plug-in's state half done.
//
// Contract: Guarded<F>::Call has F's signature and calling convention and does what F does; when F
// throws, it answers -108 (out of memory) for an OSErr, nothing for void, and a zero value (false,
// no handle, no key) otherwise. Every procedure a host hands the plug-in goes through it.
#pragma once

#include <type_traits>

#include "api/host_api.h"

namespace varno {

constexpr OSErr kHostOutOfMemory = -108;

template <auto F>
struct Guarded;

template <typename R, typename... A, R (*F)(A...)>
struct Guarded<F> {
    static R PIAPI Call(A... arguments) {
        try {
            return F(arguments...);
        } catch (...) {
            if constexpr (std::is_same_v<R, OSErr>) return kHostOutOfMemory;
            else if constexpr (!std::is_void_v<R>) return R{};
        }
    }
};

}  // namespace varno
