// The plug-in's own infrastructure: result codes, memory blocks, handles, the block the host keeps
// between calls, the per-run record, and the progress/abort wrappers every long loop uses.
//
// Contract: results are signed 16-bit codes in the classic Mac numbering, 0 for success. Every
// allocation of the plug-in is a MemoryBlock: zero-filled, its size rounded up to a multiple of 8
// (a request of 0 bytes is passed on as 0 and nothing is cleared). Freeing none does nothing.
// Everything runs on the host's calling thread.
#pragma once

#include <cstdint>

#include "host/host_api.h"

struct ImageBuffer;

enum : int16_t {
    kNoErr = 0,
    kErrDiskFull = -34,
    kErrIO = -36,
    kErrBadName = -37,
    kErrEndOfFile = -39,
    kErrBadPosition = -40,
    kErrTooManyFiles = -42,
    kErrFileNotFound = -43,
    kErrFileLocked = -45,
    kErrFileBusy = -49,
    kErrBadFileHandle = -51,
    kErrNoWritePermission = -61,
    kErrOutOfMemory = -108,
    kErrUserCancelled = -128,
    kErrBadParameters = -30700,        // unsupported selector, or a document the record cannot describe
    kErrHostInsufficient = -30900,     // the host lacks a suite the run needs
    kErrChannelMissing = -30910,       // the document lacks a channel its mode needs (unknown port)
    kErrUnsupportedMode = -30915,      // image mode the plug-in does not read
};

// ---- memory -------------------------------------------------------------------------------------

void* AllocateMemoryBlock(uint32_t size);
void FreeMemoryBlock(void* block);

// The plug-in's own two-level handle: a master record pointing at a separately allocated,
// zero-filled data block.
struct PluginHandle {
    void* data;
    uint32_t tag;  // kPluginHandleTag
};
constexpr uint32_t kPluginHandleTag = 0x464F544F;  // 'FOTO'

PluginHandle* CreatePluginHandle(uint32_t size);
void DisposePluginHandle(PluginHandle* handle);

// Live counts of what the plug-in holds, so tests can assert that a call released everything
// (leak sanitizers do not see mappings).
struct LiveResources {
    int32_t memoryBlocks;
    int32_t pluginHandles;
    int32_t mappings;
};
LiveResources CountLiveResources(void);
void NoteMappingCreated(void);
void NoteMappingReleased(void);

// Test hook: the allocation numbered `countdown` from now (1 = the next one) fails, as do all
// later ones while `sticky` is set. 0 switches failures off.
void FailMemoryBlocksAfter(int32_t countdown, bool sticky);
// The same for the mappings of image buffers; the buffer layer asks MappingFails before each.
void FailMappingsAfter(int32_t countdown, bool sticky);
bool MappingFails(void);
// Requests made since the program started (memory blocks and plug-in handles; mappings), so
// that a test can make each request of a call fail in turn.
int32_t CountMemoryRequests(void);
int32_t CountMappingRequests(void);

// ---- the block the host keeps between calls --------------------------------------------------------

constexpr uint32_t kPersistentBlockSize = 52;

struct PersistentBlock {
    int16_t flags;
    int16_t result;  // printed by the run log; never set
    ImageBuffer* workingImage;
    PluginHandle* choice;  // holds the EdgeChoice during Execute
    int32_t runWord;
    ImageBuffer* maskImage;
    uint8_t flagByte;
};
static_assert(sizeof(PersistentBlock) <= kPersistentBlockSize);

// ---- the per-run record ---------------------------------------------------------------------------

constexpr int32_t kSettingsAreaSize = 4096;
constexpr int32_t kStringSlotCount = 48;

struct RunState {
    int16_t width;
    int16_t height;
    int16_t planes;
    int32_t reserved;
    uint32_t runWord;
    SelectionRecord* host;
    uint8_t settings[kSettingsAreaSize];  // the SettingsArea, persisted in the preferences file
    ImageBuffer* maskImage;
    char* stringSlots[kStringSlotCount];
    void* spare[2];
};

// Calls the host's progressProc with done = n + 4k and total = 6n: a caller's n steps fill the
// middle two thirds of the host's bar. Does nothing without a host or progress procedure.
void ReportProgress(const RunState* run, int32_t k, int32_t n);
// The host's abortProc, non-zero meaning stop; 0 without a host or abort procedure.
int32_t TestAbort(const RunState* run);

// First channel of `list` (followed through `next`) whose channelType equals `type`; none if absent.
const ReadChannelDesc* FindChannel(const ReadChannelDesc* list, int16_t type);

// The exported entry point (extern "C", cdecl, exported under this name only).
#if defined(_WIN32)
#define PLUGIN_EXPORT
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
extern "C" PLUGIN_EXPORT void PIAPI ENTRYPOINT(int16_t selector, void* record, intptr_t* data, int16_t* result);
