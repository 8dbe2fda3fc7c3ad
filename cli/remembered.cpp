// Reading the remembered method and radius from the plug-in's preferences file.
#include "cli/remembered.h"

#include "buffers/files.h"
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/actions.h"
#include "params/preferences.h"
#include "params/settings.h"

namespace varno {

namespace {

constexpr int32_t kSettingsHead = 1024;  // the part of the file that holds both values

// The integer the plug-in seeds from a stored real, when it falls in [low, high]; else 0. The
// range is checked on the real, so that no NaN or huge value is ever converted.
int32_t StoredChoice(float value, int32_t low, int32_t high) {
    if (!(value >= float(low) && value < float(high + 1))) return 0;
    return int32_t(value);
}

}  // namespace

void ReadRememberedChoice(int32_t* method, int32_t* radius) {
    *method = *radius = 0;
    char path[kPathCapacity];
    CopyTextBounded(kPreferencesName, path, kPathCapacity);
    ResolveInstallPath(path);
    FileHandle file = kNoFile;
    if (FileOpen(path, &file) != 0) return;
    // Bytes a short file does not hold stay zero, as they do in the plug-in.
    uint8_t head[kSettingsHead] = {};
    int32_t count = kSettingsHead;
    const int16_t result = FileRead(file, &count, head);
    FileClose(file);
    if (result != 0) return;
    *method = StoredChoice(GetSettingReal(head, kSettingMethod), kMethodTraditional, kMethodVariableWidth);
    *radius = StoredChoice(GetSettingReal(head, kSettingRadius), 1, 3);
}

void CompleteEdgeChoice(Descriptor* played) {
    const bool hasMethod = played->Find(FourCC("EdgM")) != nullptr;
    const bool hasRadius = played->Find(FourCC("edgR")) != nullptr;
    if (hasMethod == hasRadius) return;
    int32_t method = 0, radius = 0;
    ReadRememberedChoice(&method, &radius);
    if (hasMethod) PutEdgeChoice(played, 0, radius ? radius : kDefaultRadius);
    else PutEdgeChoice(played, method ? method : kDefaultMethod, 0);
}

}  // namespace varno
