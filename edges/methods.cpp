// A method by its number.
#include "edges/methods.h"

#include "base/results.h"

int16_t RunEdgeMethod(int32_t method, int32_t radius, ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    switch (method) {
        case kMethodTraditional:
            return FindEdgesTraditional(image, progress, flag);
        case kMethodSkinnyLines:
            return FindEdgesSkinnyLines(image, progress, flag);
        case kMethodSmoother:
            return FindEdgesSmoother(image, progress, flag);
        case kMethodFineDetail:
            return FindEdgesFineDetail(image, progress, flag);
        case kMethodVariableWidth:
            return FindEdgesVariableWidth(image, progress, radius, flag);
        default:
            return kNoErr;
    }
}
