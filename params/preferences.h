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
// How long a run waits for a preferences file that another program's run holds (milliseconds),
// and how often it tries again meanwhile; a host that takes the file around a run waits the same.
constexpr int32_t kPreferencesBusyWait = 4000;
constexpr int32_t kPreferencesBusyPoll = 50;

// Fills the SettingsArea and string slots; `path` (514 bytes) receives the resolved name. Returns
// the open file handle (kept open, and locked against other openers, until the save), or kNoFile
// when the run goes on without one: a missing file is made only by the save; a file that exists
// but cannot be opened (held by another program, no permission, not a regular file) is neither
// read nor replaced: `path` is then emptied, and the save leaves that file alone.
FileHandle LoadPreferences(RunState* run, char* path);
// Builds the parameter set from the SettingsArea and applies the unit default. None when out of
// memory.
ParameterSet* SeedParameters(RunState* run);
// Writes the whole file as a new file beside the old one (the name with ".new" added), flushes it,
// closes `file` and puts the new file in the old one's place in one step; bytes an older, longer
// file held beyond the layout are carried over. Whatever fails, the old file (or its absence) is
// left exactly as it was and no new file remains. Releases the string slots. 0, or the code of
// what failed: -61 for a file opened read-only (not touched), -108 without a record block, the
// file layer's code otherwise; 0 too when `path` is empty (nothing to save to).
int16_t SavePreferences(RunState* run, const char* path, FileHandle file);
// Releases the string slots and closes the file without saving.
void AbandonPreferences(RunState* run, FileHandle file);

void SetStringSlot(RunState* run, int32_t index, const char* text);
const char* GetStringSlot(const RunState* run, int32_t index);
