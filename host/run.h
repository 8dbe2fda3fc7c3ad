// One invocation of the plug-in by the host: About, then Execute with a filled SelectionRecord.
//
// Contract: when the plug-in came with a PiPL, RunPlugin first asks it whether the plug-in is
// enabled for the document's mode and depth (PiplEnablesDocument) and, when it is not, calls
// nothing: the result is -30701 and the report's errorString says why, in one line. Then it builds the host records for `document` (documentInfo with the composite
// channels by mode and the selection channel when the document has one, a new-selection channel
// with a write port, the channel-port, handle and descriptor suites, platform data, '8BIM'),
// calls the entry point with About (an AboutRecord) and, when that returns 0, with Execute. On an
// Execute result of 0 the new selection replaces the document's selection, as a host does (it is
// moved there from the report), or is first combined with it as options.combine says; on any
// other result the document is left exactly as it was. Everything the host allocated for the call is released before it returns; the descriptor the
// plug-in left (if any) is handed back in the report and disposed of. Not reentrant: one run at a
// time (the host's callbacks reach the run through a process-wide pointer, as they have no context
// argument).
//
// Channel ports: readPixelsProc serves unscaled 8-bit reads (rowBits, colBits and bitOffset in
// whole bytes, colBits at least 8): it copies the part of the request that overlaps the channel
// into the destination, whose first byte stands for the request's top-left corner, and reports
// that part in wroteRect ({0, 0, 0, 0} when nothing overlaps). Other depths give -30914, a scaled
// request -50, a port the host did not hand out -30910. writeBasePixelsProc stores the part of an
// 8-bit source that overlaps the new selection. readPortForWritePortProc gives a read port onto the
// new selection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "host/combine.h"
#include "host/descriptor.h"
#include "host/pipl.h"
#include "images/document.h"
#include "host/faults.h"
#include "api/host_api.h"

namespace varno {

// A loaded (or linked) plug-in: its entry point and the pointer-sized slot the host keeps for it
// between calls.
struct PluginInstance {
    PluginEntryProc entry = nullptr;
    intptr_t data = 0;
    std::vector<PiplProperty> pipl;  // as the loader read it; empty for a plug-in linked in (no check)
};

// Test option: the host delivers only part of what is asked for. Columns outside
// [firstColumn, endColumn) are never delivered (endColumn -1: no limit); a row r with
// skipRowPeriod > 0 and r % skipRowPeriod == skipRowPhase is never delivered, and a request ends
// its delivery before the first such row.
struct PartialDelivery {
    int32_t firstColumn = 0;
    int32_t endColumn = -1;
    int32_t skipRowPeriod = 0;
    int32_t skipRowPhase = 0;
    bool selection = false;  // applies to the selection channel
    bool composite = false;  // applies to the document's channels
};

struct RunOptions {
    int16_t playInfo = kPlayDialogDontDisplay;
    bool playDescriptor = false;  // hand `descriptor` to the plug-in to play back
    Descriptor descriptor;
    bool descriptorSuites = true;  // false: the record has no descriptorParameters
    int32_t abortAfter = 0;        // abortProc answers stop from its abortAfter-th call on (0: never)
    const std::atomic<int>* interrupt = nullptr;  // non-zero: abortProc answers stop
    bool progressBar = false;      // draw a bar on stderr, only ever forward, at its end on success
    // The part of the bar the run fills (0..1): a batch gives each picture its share of one bar.
    double barFrom = 0, barTo = 1;
    // Called with every report of progressProc, as the plug-in made it (a host's own bar).
    std::function<void(int32_t done, int32_t total)> progress;
    PartialDelivery partial;
    CallbackFailure fail;          // a host callback that fails on purpose (none by default)
    // What a successful run does with the document's selection: the plug-in's new selection
    // replaces it, or is combined with it.
    SelectionCombine combine = SelectionCombine::kReplace;
};

struct RunReport {
    int16_t aboutResult = 0;
    int16_t result = 0;
    bool executed = false;
    // The new-selection channel as the plug-in left it when the run failed (made, all zero, on the
    // first write that stores something; empty before), and how many writeBasePixelsProc calls
    // stored something. A successful run moves it into the document.
    std::vector<uint8_t> newSelection;
    int32_t rowsWritten = 0;
    bool recorded = false;  // the plug-in left a descriptor of its own
    Descriptor descriptor;
    int16_t recordInfo = 0;
    int32_t abortCalls = 0;
    int32_t progressCalls = 0;
    bool progressWithinTotal = true;  // every report had 0 <= done <= total
    int32_t handlesLeft = 0;          // host handles the call left behind, the descriptor excepted
    int32_t descriptorTokensLeft = 0;
    std::string errorString;          // the plug-in's text when the result is -30904, or the refusal
    bool refused = false;             // the PiPL does not enable the document: nothing was called
    int32_t callbackCalls[int32_t(HostCallback::kCount)] = {};  // calls of each kind the run made
};

int16_t RunPlugin(PluginInstance* plugin, Document* document, const RunOptions& options, RunReport* report);

}  // namespace varno
