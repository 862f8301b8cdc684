// What tests, tools and fuzzers may ask of the software Glide beyond the
// Glide calls and softglide.h: which loops draw the pixels, and a fresh
// start.
#pragma once

namespace softglide::testing {

// The loops that draw a triangle's pixels: the portable reference, one pixel
// at a time (Reference); the portable lane loops (Portable); or the fastest
// lane loops this machine has (Fast, the default: an instruction set's own
// where the processor has one, else the portable ones). All three give the
// same pixels.
enum class Loops { Reference, Portable, Fast };
void useLoops(Loops loops);
Loops loopsInUse();

// Starts over as the program does: scale 1, one thread per core, the fast
// loops, default render state, black buffers, empty texture memory, no swap
// handler, rasterising on, nothing recorded.
void startFresh();

}  // namespace softglide::testing
