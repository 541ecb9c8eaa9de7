#pragma once
// Colour palettes of the live picture. A palette recolours an NV12 frame in
// place: the chroma of each 2 x 2 block comes from a table lookup on the luma
// of its top-left pixel, so the step stays cheap at 768 x 576.
//
// Image modes:
//   0  black, violet, red, orange, yellow, almost white as heat rises
//   1  grey, hot is white
//   2  grey, hot is black (luma inverted)
//   3  dark blue, grey, pale yellow
//   4  deep blue to cyan
// Any other mode leaves the frame as it is.
#include <cstdint>

constexpr int kPaletteModeCount = 5;

// Recolours the width x height NV12 frame (luma plane, then the interleaved
// CbCr plane at offset width x height) in place. Always returns 0. A null
// frame, a size below 1 or an odd size (which has no whole 2 x 2 blocks to
// colour) leaves the frame untouched.
int ApplyPalette(unsigned char* frame, int width, int height, int mode);

// The chroma that a palette table gives a luma value; false for modes 1, 2
// and unknown modes, which have no table.
bool PaletteChroma(int mode, int luma, uint8_t* cb, uint8_t* cr);
