// The run log: a tab-separated record of the run's parameter set appended to "c:\VEXAlog.txt",
// only when that file already exists. The name is used as it stands, without the install-path
// rule. Every failure is silent and never touches the run's result.
#include "params/run_log.h"

#include "base/memory.h"
#include "base/results.h"
#include "buffers/text_output.h"
#include "params/parameter_set.h"

namespace {

constexpr int32_t kAppendChunk = 32768;

// A four-character code as its four characters and a tab.
void WriteCode(FileHandle file, uint32_t code) {
    unsigned char text[5];
    CodeToText(code, text);
    WritePrefixedText(file, text, true, false);
}

void WriteEntry(FileHandle file, const ParameterSet* set, int32_t number, int32_t index) {
    WriteInteger(file, number, false, false);
    WriteText(file, ": ", false, false);
    uint32_t type = ParameterType(set, index);
    if (type == kTypeLong) {
        WriteText(file, "Type = LONG", true, false);
    } else {
        WriteText(file, "Type = RADIO/", false, false);
        WriteCode(file, type);
    }
    WriteText(file, "Key = ", false, false);
    WriteCode(file, ParameterKey(set, index));
    WriteText(file, "Min = ", false, false);
    WriteInteger(file, ParameterMin(set, index), true, false);
    WriteText(file, "Max = ", false, false);
    WriteInteger(file, ParameterMax(set, index), true, false);
    WriteText(file, "Value = ", false, false);
    WriteInteger(file, GetIntegerParameter(set, index), false, true);
}

}  // namespace

int16_t OpenForAppend(const char* path, FileHandle* handle, int32_t* lineCount) {
    if (lineCount) *lineCount = 0;
    int16_t result = FileOpen(path, handle);
    if (result != kNoErr) return result;
    auto* chunk = static_cast<uint8_t*>(AllocateMemoryBlock(kAppendChunk));
    if (!chunk) {
        // Without a chunk the end of the file cannot be reached, and writing at its start would
        // overwrite the log.
        FileClose(*handle);
        *handle = kNoFile;
        return kErrOutOfMemory;
    }
    int32_t lines = 0;
    for (;;) {
        int32_t count = kAppendChunk;
        int16_t read = FileRead(*handle, &count, chunk);
        if (read != kNoErr && read != kErrEndOfFile) break;
        for (int32_t i = 0; i < count; ++i) lines += chunk[i] == 13;
        if (count == 0) break;
    }
    FreeMemoryBlock(chunk);
    if (lineCount) *lineCount = lines;
    return kNoErr;
}

void WriteRunLog(int16_t result, const ParameterSet* set) {
    if (!set) return;
    FileHandle file = kNoFile;
    int32_t lines = 0;
    if (OpenForAppend(kRunLogName, &file, &lines) != kNoErr) return;

    WriteText(file, "-----------------------------", false, true);
    WriteText(file, "Signature = ", false, false);
    WriteCode(file, ParameterSignature(set));
    WriteText(file, ParameterNoWriteback(set) ? "No Writeback" : "WRITEBACK", true, false);
    WriteText(file, ParameterNeedsMask(set) ? "NEEDS MASK IMAGE" : "No Mask Image", false, true);

    int32_t inputs = ParameterInputCount(set);
    if (inputs > 0) {
        WriteText(file, "# Inputs = ", false, false);
        WriteInteger(file, inputs, false, true);
        for (int32_t i = 0; i < inputs; ++i) WriteEntry(file, set, i, i);
    }
    int32_t outputs = ParameterOutputCount(set);
    if (outputs > 0) {
        WriteText(file, "# Outputs = ", false, false);
        WriteInteger(file, outputs, false, true);
        for (int32_t j = 0; j < outputs; ++j) WriteEntry(file, set, j, inputs + j);
    }
    WriteText(file, "Result = ", false, false);
    WriteInteger(file, result, false, true);
    FileClose(file);
}
