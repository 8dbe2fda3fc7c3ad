// The skeleton of the methods that work on 3x3 neighbourhoods (Traditional, Skinny lines, Smoother,
// Fine detail), written once: the checks of the image, the row blocks and the bordered scratch
// image, the worker bands with their one-band fallback, and the passes the methods share. A method
// supplies its row functions and its own state; the skeleton owns every block and the workers.
//
// Contract (the one of edges/methods.h): RunBandMethod returns 0 at once, with no host call and no
// block made, for an image with no rows or columns; -30700 for a plane count other than 1 or 3;
// -108 (or the buffer layer's code) when a row block or the scratch image could not be made, the
// image then untouched;
// otherwise what the method's passes return. Everything it made is released on every path.
//
// The 3x3 pass works in place on the rows 1 .. rows of one buffer, `worked`: the scratch image
// ((W + 2) x (H + 2) brightness samples, image pixel (x, y) at (x + 1, y + 1)) or, for a method
// without one, the image itself (its interior rows). A band keeps the input values of the row above
// and of the row itself in two row blocks, which rotate as it goes down; the rows just above and
// below a band, which its neighbours overwrite, are copied into its blocks before the pass. A single
// band (one thread) reads the row below from the buffer, which nobody else writes.
#pragma once

#include <cstdint>

#include "base/workers.h"

struct BufferShape;
struct ImageBuffer;
struct ProgressPair;

// The checks every method makes of its image first: false when there is nothing to do, *result
// then 0 (no rows or columns, or no image), or when the image is refused, *result -30700 (a plane
// count other than 1 or 3).
bool MethodImage(const ImageBuffer* image, BufferShape* shape, int16_t* result);

// A band's row blocks, each `Bands::rowBytes` bytes.
struct BandRows {
    uint8_t* above;   // the row above the one being computed, as it was before the pass
    uint8_t* middle;  // the row being computed, as it was before the pass
    uint8_t* below;   // the row below the band, copied before the pass (none: one band reads it where it lies)
    uint8_t* spare;   // a fourth block for the method that asks for one, none otherwise
};

struct Bands {
    ImageBuffer* image;
    ImageBuffer* scratch;  // the bordered one-plane brightness image; none for a method without one
    ImageBuffer* worked;   // the buffer the 3x3 pass works on: the scratch image, else the image
    int32_t width;
    int32_t height;
    int32_t planes;
    int32_t rows;      // rows the 3x3 pass computes (rows 1 .. rows of `worked`), and the rows banded
    int32_t rowBytes;  // bytes of a row of `worked`, and of every row block
    int32_t bands;
    BandRows band[kMaxThreads];
    uint8_t* flags;  // the method's own bytes, flagsPerRow for each row of `worked` (none without)
    const void* state;  // the method's own: its kernels
    WorkerPool* pool;
    const ProgressPair* progress;
    bool report;  // the low byte of the method's flag: report progress and ask whether to stop
};

// A 3x3 row: computes row `out` of `worked` from the input values of the rows above, at and below
// it (rowBytes bytes each).
using ThreeRowKernel = void (*)(const Bands& m, const uint8_t* above, const uint8_t* middle, const uint8_t* below,
                                uint8_t* out);
// A row of the last pass of a scratch-image method: image row `pixels` from pixels 1 .. W of its
// scratch row (`values`).
using WriteBackKernel = void (*)(const Bands& m, const uint8_t* values, uint8_t* pixels);

// What a method tells the skeleton. Without `passes` the method is the usual one: with a scratch
// image, brightness in, the 3x3 pass, the write-back, over 3 x height progress steps, a pass each;
// without one, the 3x3 pass over the image's interior rows, over `height` steps.
struct BandMethod {
    const char* scratchName;  // the scratch image's name; none: the method works on the image's interior rows
    bool spareRow;            // every band needs a fourth row block
    int32_t flagsPerRow;      // bytes the method keeps for each row of `worked`
    ThreeRowKernel threeRow;
    WriteBackKernel writeBack;
    int16_t (*passes)(Bands* bands);  // a method of passes of its own
};

int16_t RunBandMethod(const BandMethod& method, const void* state, ImageBuffer* image,
                      const ProgressPair* progress, int32_t flag);

// The first of the rows 0 .. rows - 1 of band `band` (the next band's first ends it).
inline int32_t First(const Bands& m, int32_t band) { return BandStart(band, m.bands, m.rows); }

// A pass over every band, `work` doing the band's rows; progress steps firstStep .. of `steps`.
int16_t RunBandPass(Bands* m, void (*work)(void*, int32_t, BandControl*), void* arg, int32_t firstStep,
                    int32_t steps);

// The brightness of every image pixel ((R + G + B + 1) div 3 for colour) into the scratch image,
// every border pixel repeating its nearest image pixel.
int16_t LoadBrightness(Bands* m, int32_t firstStep, int32_t steps);

// Copies the row of `worked` just above every band into its `above` block, and the row just below
// it into its `below` block when it has one.
void CopyBandBorders(Bands* m);

int16_t RunThreeRows(Bands* m, ThreeRowKernel kernel, int32_t firstStep, int32_t steps);
int16_t WriteBack(Bands* m, WriteBackKernel kernel, int32_t firstStep, int32_t steps);
