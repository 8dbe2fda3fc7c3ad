// The run log: after a successful run, a record of the run's ParameterSet is appended to the
// file "c:\VEXAlog.txt" when (and only when) that file exists. Every failure is silent.
#pragma once

#include <cstdint>

#include "buffers/files.h"

struct PersistentBlock;
struct ParameterSet;

constexpr const char* kRunLogName = "c:\\VEXAlog.txt";

void WriteRunLog(const PersistentBlock* block, const ParameterSet* set);
// Opens an existing file for reading and writing, positioned at its end; counts carriage returns.
int16_t OpenForAppend(const char* path, FileHandle* handle, int32_t* lineCount);
