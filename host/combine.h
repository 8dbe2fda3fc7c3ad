// How a host puts a plug-in's new selection together with the document's current one, as image
// editors offer it for any new selection: replace it (what the plug-in's contract says), add to
// it, subtract from it or intersect with it. A document without a selection has none selected.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varno {

enum class SelectionCombine : int32_t { kReplace, kAdd, kSubtract, kIntersect };

// The names hosts take on their command lines and in scripts, in the enum's order.
inline constexpr const char* kSelectionCombineNames[] = {"replace", "add", "subtract", "intersect"};

// The mode `text` names (exactly, lower case); false when it names none.
bool SelectionCombineFromText(const char* text, SelectionCombine* mode);

// Writes into `selection` (the plug-in's new selection) its combination with `current`, `count`
// bytes each, 255 fully selected. `current` null stands for no selection. Add keeps the larger
// value, intersect the smaller, subtract what the new selection leaves of the current one.
void CombineSelection(SelectionCombine mode, const uint8_t* current, uint8_t* selection, size_t count);

}  // namespace varno
