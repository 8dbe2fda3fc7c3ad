// The exported entry point: About does nothing; every other selector first makes sure the host
// keeps a PersistentBlock for the plug-in, then Execute runs and any other selector is refused.
#include <cstring>

#include "plugin/execute.h"
#include "plugin/plugin.h"

extern "C" PLUGIN_EXPORT void PIAPI ENTRYPOINT(int16_t selector, void* record, intptr_t* data,
                                               int16_t* result) {
    if (selector == kSelectorAbout) {
        *result = kNoErr;
        return;
    }
    if (*data == 0) {
        PluginHandle* handle = CreatePluginHandle(kPersistentBlockSize);
        if (!handle) {
            *result = kErrOutOfMemory;
            return;
        }
        *data = reinterpret_cast<intptr_t>(handle);
    }
    // Each call works on a copy: nothing is carried from one call to the next through the block.
    PersistentBlock block;
    std::memcpy(&block, reinterpret_cast<PluginHandle*>(*data)->data, sizeof block);
    *result = kNoErr;
    if (selector == kSelectorExecute) {
        *result = Execute(&block, static_cast<SelectionRecord*>(record));
    } else {
        *result = kErrBadParameters;
    }
}
