// The host's handles, as the API's HandleProcs (version 1, 8 procedures) hand them out.
//
// Contract: a handle is a char** whose master pointer points into a size-prefixed block: the
// block's first 16 bytes hold the size, the data follow (so *handle is 16-byte aligned when the
// heap's blocks are). Every handle the host made is registered; disposing of a handle the host did
// not make (or made and already disposed of) is ignored and counted, never freed, and none is
// accepted everywhere and does nothing. Sizes are 0..1 GiB; a negative or larger size is refused
// (newProc gives none, setSizeProc -108). Single-threaded, like the host.
#pragma once

#include <cstdint>
#include <vector>

#include "api/host_api.h"

namespace varno {

Handle NewHostHandle(int32_t size);
void DisposeHostHandle(Handle handle);
int32_t HostHandleSize(Handle handle);  // 0 for a handle the host does not know
OSErr SetHostHandleSize(Handle handle, int32_t size);
bool IsHostHandle(Handle handle);
// A number unique to each handle the host ever made (0 for none or an unknown handle), so that a
// handle can be told apart from a later one at the same address.
uint64_t HostHandleSerial(Handle handle);

// A new handle holding a copy of `bytes`; none when out of memory.
Handle NewHostHandleWith(const std::vector<uint8_t>& bytes);
// A copy of the handle's bytes (empty for an unknown handle).
std::vector<uint8_t> HostHandleBytes(Handle handle);

int32_t LiveHostHandles(void);
int32_t ForeignDisposals(void);  // disposals of handles the host did not know

// The suite as it goes into the host record.
HandleProcs* HostHandleProcs(void);

}  // namespace varno
