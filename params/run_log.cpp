// The run log: a tab-separated record of the run's parameter set appended to "c:\VEXAlog.txt",
// only when that file already exists. The name is used as it stands, without the install-path
// rule. A log that another program is appending to is waited for a moment; every failure is
// silent and never touches the run's result.
#include "params/run_log.h"

#include "base/results.h"
#include "buffers/text_output.h"
#include "params/parameter_set.h"

namespace {

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

int16_t OpenForAppend(const char* path, FileHandle* handle) {
    int16_t result = FileOpen(path, handle);
    if (result != kNoErr) return result;
    result = FileSetPosToEnd(*handle);
    if (result != kNoErr) {
        // Writing anywhere but at the end would overwrite the log.
        FileClose(*handle);
        *handle = kNoFile;
    }
    return result;
}

void WriteRunLog(int16_t result, const ParameterSet* set) {
    if (!set) return;
    FileHandle file = kNoFile;
    int16_t opened = OpenForAppend(kRunLogName, &file);
    // Another program's run may be appending its own record, which takes a moment: wait for it.
    for (int32_t waited = 0; opened == kErrFileBusy && waited < kRunLogBusyWait; waited += kRunLogBusyPoll) {
        FilePause(kRunLogBusyPoll);
        opened = OpenForAppend(kRunLogName, &file);
    }
    if (opened != kNoErr) return;

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
