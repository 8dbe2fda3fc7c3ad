// Method dispatch: validate and record the chosen method and radius, run the method on the
// working image, and turn its picture into the run's mask.
#include "plugin/dispatch.h"

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "plugin/plugin.h"
#include "plugin/selection_output.h"
#include "params/edge_table.h"
#include "params/parameter_set.h"
#include "params/settings.h"

int16_t DispatchEdgeMethod(ImageBuffer* image, RunState* run, PluginHandle* choice, ParameterSet* set) {
    const EdgeChoice* picked = static_cast<const EdgeChoice*>(choice->data);
    int32_t method = picked->method;
    int32_t radius = picked->radius;
    // Outside the five no method would run and the document itself would become the selection.
    if (radius == 0 || !IsEdgeMethod(method)) {
        method = kDefaultMethod;
        radius = kDefaultRadius;
    }
    if (!IsEdgeRadius(radius)) radius = kDefaultRadius;

    SetIntegerParameter(set, 0, method);
    SetIntegerParameter(set, 1, radius);
    SetSettingReal(run->settings, kSettingMethod, float(method));
    SetSettingReal(run->settings, kSettingRadius, float(radius));

    const ProgressPair progress = RunProgress(run);
    int16_t result = RunEdgeMethod(method, radius, image, &progress, 1);
    if (result != kNoErr) return result;
    return ConvertIntoMask(image, run->maskImage, run->width, run->height);
}
