// The edge parameters in one table: the five methods, the radius range and the defaults.
//
// Everything that names, numbers or bounds a method or a radius takes it from here: the PiPL/AETE
// builder (the terminology's enumeration 'rB45'), the dialog and its resource text (generated
// from this table by resources/pipl_gen), the parameter set and the dispatch, varno's -m/-r and
// the GIMP plug-in. A method's number is at once the value the plug-in runs, the value of the
// action's enumerator ('EdgM', type 'rB45') and the id of the dialog's radio button.
#pragma once

#include <cstdint>

#include "edges/methods.h"

struct EdgeMethodEntry {
    int32_t number;
    const char* name;        // what the menus, the terminology and GIMP's dialog show
    const char* dialogText;  // the dialog resource's text for the button, when it is not `name`
    const char* shortName;   // varno's -m
    int32_t accessKey;       // index in `name` of the letter a toolkit underlines (GIMP's dialog)
};

inline constexpr EdgeMethodEntry kEdgeMethods[] = {
    {kMethodTraditional, "Traditional", nullptr, "traditional", 0},
    {kMethodSkinnyLines, "Skinny lines", nullptr, "skinny", 1},
    {kMethodSmoother, "Smoother", nullptr, "smoother", 0},
    {kMethodFineDetail, "Fine detail", "Fine Detail", "fine", 0},
    {kMethodVariableWidth, "Variable width", "Variable width:", "variable", 0},
};
inline constexpr int32_t kEdgeMethodCount = int32_t(sizeof kEdgeMethods / sizeof kEdgeMethods[0]);

enum : int32_t {
    kEdgeMethodFirst = kEdgeMethods[0].number,
    kEdgeMethodLast = kEdgeMethods[kEdgeMethodCount - 1].number,
    kEdgeRadiusMin = 1,
    kEdgeRadiusMax = 3,
    kDefaultMethod = kMethodSmoother,
    kDefaultRadius = 2,
};
// The dialog's text for Variable width's button once the dialog runs, and its slider's label.
inline constexpr const char kEdgeRadiusLabel[] = "Variable Width";

constexpr bool TableIsConsecutive() {
    for (int32_t i = 0; i < kEdgeMethodCount; ++i)
        if (kEdgeMethods[i].number != kEdgeMethodFirst + i) return false;
    return true;
}
static_assert(TableIsConsecutive(), "the methods are numbered one after another");

// Whether `method` names one of the five methods; whether `radius` lies in the radius range.
constexpr bool IsEdgeMethod(int32_t method) { return method >= kEdgeMethodFirst && method <= kEdgeMethodLast; }
constexpr bool IsEdgeRadius(int32_t radius) { return radius >= kEdgeRadiusMin && radius <= kEdgeRadiusMax; }

// Whether `method` uses the radius: Variable width alone; the others take none.
constexpr bool EdgeMethodTakesRadius(int32_t method) { return method == kMethodVariableWidth; }

// The entry of method `number`; null when it is none of the five.
const EdgeMethodEntry* FindEdgeMethod(int32_t number);
// A method given by its short name, its name ("Fine detail": the label the menus and the dialog
// show), either in any case, or its number written as one digit; 0 when it is none of these.
int32_t EdgeMethodFromText(const char* text);
// A radius written as one digit of the range; 0 when it is not one.
int32_t EdgeRadiusFromText(const char* text);

// The remembered choice: the method and radius the plug-in's preferences file holds from its last
// run (found by the plug-in's install-path rule and only read; a missing file stays missing).
//
// Contract: each value is taken on its own, as the plug-in stores it (a single-precision real,
// truncated toward zero): a method in 3..7 or a radius in 1..3 is taken, anything else (out of
// range, not a number, a file too short to hold it, no file, a file that cannot be read) gives
// that value's default (Smoother, radius 2) and leaves the other value as the file has it.
struct RememberedEdgeChoice {
    int32_t method;
    int32_t radius;
};
RememberedEdgeChoice ReadRememberedChoice(void);
// The same from the first `size` bytes of a preferences file (none: the defaults).
RememberedEdgeChoice RememberedChoiceFrom(const uint8_t* bytes, int32_t size);
