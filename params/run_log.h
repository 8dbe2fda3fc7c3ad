// The run log: after a successful run, a record of the run's ParameterSet is appended to the
// file "c:\VEXAlog.txt" when (and only when) that file exists. Every failure is silent.
#pragma once

#include <cstdint>

#include "buffers/files.h"

struct ParameterSet;

constexpr const char* kRunLogName = "c:\\VEXAlog.txt";
// How long a run waits for a log that another program is appending to (milliseconds), and how
// often it tries meanwhile.
constexpr int32_t kRunLogBusyWait = 2000;
constexpr int32_t kRunLogBusyPoll = 20;

// `result` is the plug-in block's result word, printed as the record's last line.
void WriteRunLog(int16_t result, const ParameterSet* set);
// Opens an existing file for reading and writing, positioned at its end (reached without reading
// what the file holds, however long it is).
int16_t OpenForAppend(const char* path, FileHandle* handle);
