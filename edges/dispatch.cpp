// Method dispatch: validate and record the chosen method and radius, run the method on the
// working image, and turn its picture into the run's mask.
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/plugin.h"
#include "host/selection_output.h"
#include "params/parameter_set.h"
#include "params/settings.h"

int16_t RunEdgeMethod(int32_t method, float radius, ImageBuffer* image, const RunState* run, int32_t flag) {
    switch (method) {
        case kMethodTraditional:
            return FindEdgesTraditional(image, run, flag);
        case kMethodSkinnyLines:
            return FindEdgesSkinnyLines(image, run, flag);
        case kMethodSmoother:
            return FindEdgesSmoother(image, run, flag);
        case kMethodFineDetail:
            return FindEdgesFineDetail(image, run, flag);
        case kMethodVariableWidth:
            return FindEdgesVariableWidth(image, run, int32_t(radius + 2.5f), flag);
        default:
            return kNoErr;
    }
}

int16_t DispatchEdgeMethod(ImageBuffer* image, RunState* run, PluginHandle* choice, ParameterSet* set) {
    const EdgeChoice* picked = static_cast<const EdgeChoice*>(choice->data);
    int32_t method = picked->method;
    float radius = float(picked->radius);
    if (radius == 0.0f || method == 0) {
        method = kDefaultMethod;
        radius = float(kDefaultRadius);
    }
    if (radius < 1.0f || radius > 3.0f) radius = float(kDefaultRadius);

    SetIntegerParameter(set, 0, method);
    SetIntegerParameter(set, 1, int32_t(radius + 0.5f));
    SetSettingReal(run->settings, kSettingMethod, float(method));
    SetSettingReal(run->settings, kSettingRadius, radius);

    int16_t result = RunEdgeMethod(method, radius, image, run, 1);
    if (result != kNoErr) return result;
    return ConvertIntoMask(image, run->maskImage, run->width, run->height);
}
