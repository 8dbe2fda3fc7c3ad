// What a result code means to a user of a host of the plug-in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace varno {

// A short meaning for any 16-bit result: the classic file and memory codes, the API's plug-in
// codes, and a general text for codes without one of their own.
std::string ResultMeaning(int16_t code);
// The one line varno prints for a non-zero result: "varno: user cancelled (-128)". `reported`,
// when not empty, replaces the meaning: the plug-in's own text for -30904, or the host's reason
// for not calling the plug-in at all.
std::string ResultLine(int16_t code, const std::string& reported = {});

// A progress bar on stderr, redrawn when its percentage changes; `shown` holds the percentage on
// screen (-1: none yet). Clearing erases a bar that was drawn. There is one bar per process: the
// functions below may be called from several threads.
void DrawProgressBar(int32_t done, int32_t total, int32_t* shown);
void ClearProgressBar(int32_t* shown);
// Where a bar stands for a run whose reports come in passes, each counted from its own start
// (a new total, or fewer done than before, begins a pass). The bar only moves forward: a pass
// takes it from where it stood towards the end in proportion to how far the pass's own count has
// come from its first report, so a run that counts once from 0 to its total is shown as reported.
struct ForwardBar {
    double position = 0;   // 0..1
    double passStart = 0;  // the position when the current pass began
    double passFirst = 0;  // the current pass's first reported fraction
    int32_t done = 0, total = -1;
};
// Takes one report and gives the bar's new position.
double AdvanceBar(ForwardBar* bar, int32_t done, int32_t total);
// Text drawn before the bar from its next drawing on ("file 3/10 "); empty for none.
void SetProgressLabel(const std::string& label);
// One line on `stream` (stdout or stderr) that does not run into the bar: the bar is erased first
// and drawn again below the line.
void PrintLine(std::FILE* stream, const std::string& line);

}  // namespace varno
