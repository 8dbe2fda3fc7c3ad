#include "host/combine.h"

#include <cstring>

namespace varno {

bool SelectionCombineFromText(const char* text, SelectionCombine* mode) {
    for (size_t i = 0; i < sizeof kSelectionCombineNames / sizeof kSelectionCombineNames[0]; ++i) {
        if (std::strcmp(text, kSelectionCombineNames[i]) != 0) continue;
        *mode = SelectionCombine(i);
        return true;
    }
    return false;
}

void CombineSelection(SelectionCombine mode, const uint8_t* current, uint8_t* selection, size_t count) {
    if (mode == SelectionCombine::kReplace) return;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t old = current ? current[i] : 0, added = selection[i];
        switch (mode) {
            case SelectionCombine::kReplace: break;  // returned above
            case SelectionCombine::kAdd: selection[i] = old > added ? old : added; break;
            case SelectionCombine::kSubtract: selection[i] = old < 255 - added ? old : uint8_t(255 - added); break;
            case SelectionCombine::kIntersect: selection[i] = old < added ? old : added; break;
        }
    }
}

}  // namespace varno
