// The preferences file "c:\QUENpref.xxx" (through the install-path rule): 53248 bytes holding the
// SettingsArea (bytes 0..1023 at 0, 1024..4095 at 50176) and 48 string slots of 1024 bytes at
// 1024 + 1024 k. Loaded before the parameters are gathered, saved only after a successful run.
#pragma once

#include <cstdint>

#include "buffers/files.h"

struct RunState;
struct ParameterSet;

constexpr const char* kPreferencesName = "c:\\QUENpref.xxx";
constexpr int32_t kPreferencesFileSize = 53248;

// Fills the SettingsArea and string slots; `path` (514 bytes) receives the resolved name. Returns
// the open file handle, or kNoFile when the run goes on without one. Only a missing file is
// (re)created; a file that exists but cannot be opened (held by another program, no permission) is
// neither read nor replaced: `path` is then emptied, and the save leaves that file alone.
FileHandle LoadPreferences(RunState* run, char* path);
// Builds the parameter set from the SettingsArea and applies the unit default. None when out of
// memory.
ParameterSet* SeedParameters(RunState* run);
// Writes the whole file (creating it first when `file` is kNoFile and `path` is not empty),
// releases the string slots and closes the file. Returns the status of the final write (0 when
// there is no file at all, -108 when its record block cannot be had and nothing was written).
int16_t SavePreferences(RunState* run, const char* path, FileHandle file);
// Releases the string slots and closes the file without saving.
void AbandonPreferences(RunState* run, FileHandle file);

void SetStringSlot(RunState* run, int32_t index, const char* text);
const char* GetStringSlot(const RunState* run, int32_t index);
