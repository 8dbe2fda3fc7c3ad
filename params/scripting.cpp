// Exchange of the ParameterSet's input entries with the host's scripting descriptors.
//
// Every use of a host suite is preceded by its usability test (presence, version, procedure
// count, and the procedures actually called), so a host that offers no scripting, or an older or
// newer one, simply gets the dialog and no recorded descriptor.
#include "params/scripting.h"

#include <cmath>

#include "base/memory.h"
#include "base/results.h"
#include "params/parameter_set.h"

namespace {

constexpr int16_t kReadProcsNeeded = 18;
constexpr int16_t kWriteProcsNeeded = 16;
constexpr int16_t kHandleProcsVersion = 1;
constexpr int16_t kHandleProcsNeeded = 4;
constexpr uint32_t kDescriptorFloat = 0x646F7562;  // 'doub'

bool DescriptorSuitesUsable(const SelectionRecord* host) {
    const PIDescriptorParameters* params = host->descriptorParameters;
    if (!params || params->descriptorParametersVersion != 0) return false;
    const ReadDescriptorProcs* read = params->readDescriptorProcs;
    const WriteDescriptorProcs* write = params->writeDescriptorProcs;
    if (!read || !write) return false;
    if (read->readDescriptorProcsVersion < 0 || read->numReadDescriptorProcs < kReadProcsNeeded) return false;
    if (write->writeDescriptorProcsVersion < 0 || write->numWriteDescriptorProcs < kWriteProcsNeeded) {
        return false;
    }
    // A count that claims procedures the host left empty must not lead to a call through null.
    return read->openReadDescriptorProc && read->closeReadDescriptorProc && read->getKeyProc &&
           read->getIntegerProc && read->getEnumeratedProc && write->openWriteDescriptorProc &&
           write->closeWriteDescriptorProc && write->putIntegerProc && write->putEnumeratedProc;
}

bool HandleSuiteUsable(const SelectionRecord* host) {
    const HandleProcs* procs = host->handleProcs;
    return procs && procs->handleProcsVersion == kHandleProcsVersion &&
           procs->numHandleProcs >= kHandleProcsNeeded && procs->newProc && procs->disposeProc &&
           procs->getSizeProc && procs->setSizeProc;
}

// playInfo 1 asks for the dialog; 0 (no dialog) and 2 (silent) do not.
bool SkipDialog(const SelectionRecord* host) {
    return host->descriptorParameters->playInfo != kPlayDialogDisplay;
}

// An integer entry's played value, as the descriptor holds it: an integer ('long'), or a real
// ('doub', as the terminology declares the edge radius) rounded to the nearest whole number. False
// for any other type, or a real beyond every integer: the key counts as missing. The read starts
// from `*value`, so a get that delivers nothing leaves it as it was.
bool ReadIntegerValue(const ReadDescriptorProcs* procs, PIReadDescriptor token, uint32_t type, int32_t* value) {
    if (type == kTypeLong) {
        procs->getIntegerProc(token, value);
        return true;
    }
    if (type != kDescriptorFloat || !procs->getFloatProc) return false;
    double real = *value;
    procs->getFloatProc(token, &real);
    real = std::round(real);
    if (!(real >= -2147483648.0 && real <= 2147483647.0)) return false;
    *value = static_cast<int32_t>(real);
    return true;
}

// Reads the value the host holds under the current key into every input entry with that key:
// integers by the type the host reports (ReadIntegerValue), enumerations by the entry's own type;
// values outside the entry's range are ignored. The read starts from the entry's current value, so
// a get that delivers nothing leaves the entry as it was.
void ReadValueForKey(const ReadDescriptorProcs* procs, PIReadDescriptor token, ParameterSet* set,
                     uint32_t key, uint32_t hostType) {
    int32_t inputs = ParameterInputCount(set);
    for (int32_t i = 0; i < inputs; ++i) {
        if (ParameterKey(set, i) != key) continue;
        uint32_t type = ParameterType(set, i);
        if (type == kTypeLong) {
            int32_t value = GetIntegerParameter(set, i);
            if (!ReadIntegerValue(procs, token, hostType, &value)) continue;
            if (ParameterMin(set, i) <= value && value <= ParameterMax(set, i)) {
                SetIntegerParameter(set, i, value);
            }
        } else if (IsEnumerationType(type)) {
            uint32_t value = uint32_t(GetIntegerParameter(set, i));
            procs->getEnumeratedProc(token, &value);
            if (uint32_t(ParameterMin(set, i)) <= value && value <= uint32_t(ParameterMax(set, i))) {
                SetIntegerParameter(set, i, int32_t(value));
            }
        }
    }
}

}  // namespace

void ReleaseScriptDescriptor(SelectionRecord* host) {
    PIDescriptorParameters* params = host->descriptorParameters;
    if (!params) return;
    if (params->descriptor && HandleSuiteUsable(host)) host->handleProcs->disposeProc(params->descriptor);
    params->descriptor = nullptr;
}

bool ReadScriptParameters(SelectionRecord* host, ParameterSet* set) {
    if (!DescriptorSuitesUsable(host)) return false;
    int32_t inputs = ParameterInputCount(set);
    if (inputs <= 0) return SkipDialog(host);

    // The host walks the list of expected keys until its 0 terminator; it may mark keys in it
    // while reading, so the list lives until the reader is closed.
    auto* keys = static_cast<uint32_t*>(AllocateMemoryBlock(4 * (uint32_t(inputs) + 1)));
    if (!keys) return false;  // cannot read what was played back: let the user choose
    for (int32_t i = 0; i < inputs; ++i) keys[i] = ParameterKey(set, i);
    keys[inputs] = 0;

    PIDescriptorParameters* params = host->descriptorParameters;
    const ReadDescriptorProcs* procs = params->readDescriptorProcs;
    PIReadDescriptor token = procs->openReadDescriptorProc(params->descriptor, keys);
    if (token) {
        uint32_t key = 0;
        uint32_t type = 0;
        int32_t flags = 0;
        while (procs->getKeyProc(token, &key, &type, &flags)) ReadValueForKey(procs, token, set, key, type);
        procs->closeReadDescriptorProc(token);
        ReleaseScriptDescriptor(host);
    }
    FreeMemoryBlock(keys);
    return SkipDialog(host);
}

int16_t WriteScriptParameters(SelectionRecord* host, const ParameterSet* set) {
    if (!DescriptorSuitesUsable(host)) return kNoErr;
    PIDescriptorParameters* params = host->descriptorParameters;
    const WriteDescriptorProcs* procs = params->writeDescriptorProcs;
    PIWriteDescriptor token = procs->openWriteDescriptorProc();
    // Without a writer there is nothing to close, and the host's descriptor stays as it is.
    if (!token) return kNoErr;

    int32_t inputs = ParameterInputCount(set);
    for (int32_t i = 0; i < inputs; ++i) {
        uint32_t key = ParameterKey(set, i);
        uint32_t type = ParameterType(set, i);
        int32_t value = GetIntegerParameter(set, i);
        if (type == kTypeLong) {
            procs->putIntegerProc(token, key, value);
        } else {
            procs->putEnumeratedProc(token, key, type, uint32_t(value));
        }
    }
    ReleaseScriptDescriptor(host);
    procs->closeWriteDescriptorProc(token, &params->descriptor);
    params->recordInfo = 0;
    return kNoErr;
}
