// The execution driver: one Execute call from the host's selection and document to the new
// selection. It owns every resource of the run (row buffers, both image buffers, the run record,
// the path block, the preferences file, the parameter set and the choice handle) and releases all
// of them on every path before it returns the result.
#include "plugin/execute.h"

#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "plugin/dispatch.h"
#include "plugin/pixels.h"
#include "plugin/selection_output.h"
#include "params/edge_table.h"
#include "params/parameter_set.h"
#include "params/preferences.h"
#include "params/run_log.h"
#include "params/scripting.h"
#include "params/settings.h"

namespace {

constexpr int32_t kMaxSide = 32767;  // the record keeps width and height as signed 16-bit values

struct Geometry {
    int32_t width;
    int32_t height;
    int32_t imageMode;
};

// The text the host shows for a document too large for the run, as a Pascal string.
constexpr char kTooLargeText[] = "The document is larger than 32767 pixels on a side.";

// A document wider or higher than the plug-in can take is not the user's mistake: the host shows
// a sentence that says so (errReportString), when it offers the string to put it in.
int16_t RefuseTooLarge(const SelectionRecord* host) {
    if (!host->errorString) return kErrBadParameters;
    unsigned char* text = *host->errorString;
    constexpr uint8_t length = sizeof kTooLargeText - 1;
    static_assert(sizeof kTooLargeText - 1 <= 255);
    text[0] = length;
    for (uint8_t i = 0; i < length; ++i) text[1 + i] = static_cast<unsigned char>(kTooLargeText[i]);
    return kErrReportString;
}

// The host records the run relies on, and a document the run can describe and read: grey, RGB,
// CMYK or Lab at 8 or 16 bits per channel, what the PiPL's enable expression announces. Checked
// before anything is allocated or read.
int16_t CheckHost(const SelectionRecord* host, Geometry* geometry) {
    if (!host || !host->documentInfo) return kErrBadParameters;
    const ChannelPortProcs* ports = host->channelPortProcs;
    if (!ports || ports->numChannelPortProcs < 2 || !ports->readPixelsProc || !ports->writeBasePixelsProc)
        return kErrHostInsufficient;
    if (!host->newSelection || !host->newSelection->port) return kErrHostInsufficient;
    const ReadImageDocumentDesc* document = host->documentInfo;
    if (PlanesForImageMode(document->imageMode) == 0 || (document->depth != 8 && document->depth != 16))
        return kErrUnsupportedMode;
    const VRect& bounds = document->bounds;
    if (bounds.right < 1 || bounds.bottom < 1) return kErrBadParameters;
    if (bounds.right > kMaxSide || bounds.bottom > kMaxSide) return RefuseTooLarge(host);
    *geometry = {bounds.right, bounds.bottom, document->imageMode};
    return kNoErr;
}

bool AllocateRowBuffers(RowBuffers* rows, int32_t width) {
    for (int32_t i = 0; i < 4; ++i) {
        rows->row[i] = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(6 * width)));
        if (!rows->row[i]) return false;
        rows->desc[i] = {rows->row[i], 8 * width, 8, 0, 8};
    }
    return true;
}

void FreeRowBuffers(RowBuffers* rows) {
    for (uint8_t*& row : rows->row) {
        FreeMemoryBlock(row);
        row = nullptr;
    }
}

const ReadChannelDesc* DocumentChannels(const ReadImageDocumentDesc* document) {
    if (document->targetCompositeChannels) return document->targetCompositeChannels;
    if (document->mergedCompositeChannels) return document->mergedCompositeChannels;
    return document->alphaChannels;
}

// Puts method and radius into the EdgeChoice (defaults when either is 0, or the method is none of
// the five) and, unless scripting asked for no dialog, lets the user change them. 0 to go on,
// -128 when the dialog was cancelled or could not be shown.
int16_t RunDialogStep(ImageBuffer* image, RunState* run, PluginHandle** slot, ParameterSet* set, bool skipDialog) {
    PluginHandle* handle = CreatePluginHandle(sizeof(EdgeChoice));
    if (!handle) return kErrOutOfMemory;
    *slot = handle;
    EdgeChoice* choice = static_cast<EdgeChoice*>(handle->data);
    choice->method = GetIntegerParameter(set, 0);
    choice->radius = GetIntegerParameter(set, 1);
    // A method that names none of the five (a damaged preferences file) counts as none chosen.
    if (!IsEdgeMethod(choice->method) || choice->radius == 0) {
        choice->method = kDefaultMethod;
        choice->radius = kDefaultRadius;
    }
    if (skipDialog) return kNoErr;
    if (ShowEdgeDialog(image, run, handle) != 1) return kErrUserCancelled;
    SetIntegerParameter(set, 0, choice->method);
    SetIntegerParameter(set, 1, choice->radius);
    SetSettingReal(run->settings, kSettingDialogRadius, float(choice->radius));
    SetSettingReal(run->settings, kSettingDialogMethod, float(choice->method));
    return kNoErr;
}

// Settings, parameters, dialog and method, then the new selection to the host; with the success
// and failure paths that follow them. Returns the run's result: the first failure of the method,
// the mask or the host, or 0. Only once the host has the whole selection are the action recorded,
// the run logged and the preferences saved; the save is the last step and does its best: the
// selection is the user's whether or not the preferences could be written.
int16_t ChooseRunAndHandBack(PersistentBlock* block, SelectionRecord* host, const Geometry& geometry,
                             int16_t planes, RowBuffers* rows) {
    RunState* run = static_cast<RunState*>(AllocateMemoryBlock(sizeof(RunState)));
    char* path = static_cast<char*>(AllocateMemoryBlock(kPathCapacity));
    if (!run || !path) {
        FreeMemoryBlock(run);
        FreeMemoryBlock(path);
        return kErrOutOfMemory;
    }
    run->width = int16_t(geometry.width);
    run->height = int16_t(geometry.height);
    run->planes = planes;
    run->runWord = uint32_t(block->runWord);
    run->host = host;
    run->maskImage = block->maskImage;

    FileHandle preferences = LoadPreferences(run, path);
    ParameterSet* set = SeedParameters(run);
    int16_t result = set ? kNoErr : kErrOutOfMemory;
    if (result == kNoErr) {
        bool skipDialog = ReadScriptParameters(host, set);
        result = RunDialogStep(block->workingImage, run, &block->choice, set, skipDialog);
    }
    if (result == kNoErr) result = DispatchEdgeMethod(block->workingImage, run, block->choice, set);
    if (result == kNoErr) result = WriteSelectionBack(host, block->maskImage, rows, geometry.width, geometry.height);

    if (result == kNoErr) {
        WriteScriptParameters(host, set);
        WriteRunLog(block->result, set);
        FreeParameterSet(set);
        SavePreferences(run, path, preferences);
    } else {
        AbandonPreferences(run, preferences);
        FreeParameterSet(set);
    }
    FreeMemoryBlock(run);
    FreeMemoryBlock(path);
    return result;
}

// The selection into the mask, the document into the working image, then the method; on success
// the mask goes back to the host. A read the host refuses ends the run with its code.
int16_t ReadAndRun(PersistentBlock* block, SelectionRecord* host, const Geometry& geometry, RowBuffers* rows) {
    const int32_t width = geometry.width, height = geometry.height;
    int16_t result = ReadSelection(host, host->documentInfo->selection, rows, block->maskImage, width, height);
    if (result != kNoErr) return result;
    const ReadChannelDesc* channels = DocumentChannels(host->documentInfo);
    const int16_t planes = PlanesForImageMode(geometry.imageMode);
    if (!HasChannelsForMode(channels, geometry.imageMode)) return kErrChannelMissing;

    result = CreateBackingBuffer(width, height, planes, &block->workingImage);
    if (result != kNoErr) return result;
    result = ReadDocument(host, channels, geometry.imageMode, rows, block->workingImage, width, height);
    if (result != kNoErr) return result;
    return ChooseRunAndHandBack(block, host, geometry, planes, rows);
}

}  // namespace

int16_t Execute(PersistentBlock* block, SelectionRecord* host) {
    block->workingImage = nullptr;
    block->choice = nullptr;
    block->maskImage = nullptr;
    block->runWord = 0;

    Geometry geometry = {};
    int16_t result = CheckHost(host, &geometry);
    if (result != kNoErr) return result;

    // Every pass of the run, the dialog's previews included, takes its workers from one pool.
    WorkerPool pool;
    LendWorkerPool(&pool);
    RowBuffers rows = {};
    if (!AllocateRowBuffers(&rows, geometry.width)) result = kErrOutOfMemory;
    if (result == kNoErr)
        result = CreateMaskBuffer(geometry.width, geometry.height, 1, &block->maskImage);
    if (result == kNoErr) result = ReadAndRun(block, host, geometry, &rows);

    DisposePluginHandle(block->choice);
    if (block->workingImage) DisposeImageBuffer(block->workingImage);
    if (block->maskImage) DisposeImageBuffer(block->maskImage);
    FreeRowBuffers(&rows);
    TakeBackWorkerPool(&pool);
    block->choice = nullptr;
    block->workingImage = block->maskImage = nullptr;
    return result;
}
