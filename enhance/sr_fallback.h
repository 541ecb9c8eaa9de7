#pragma once
// Threefold enlargement of the 256 x 192 luma plane by plain bilinear
// interpolation, for when the NPU cannot run the network (no runtime, a model
// it refuses, a failed run): super-resolution then still shows the live
// picture at 768 x 576 instead of whatever its frame ring held.
#include <cstdint>

struct sr_rknn;

// Writes the 768 x 576 luma plane at dst from the 256 x 192 one at src; the
// chroma behind it is left alone. Allocates nothing.
void sr_plain_upscale(const uint8_t* src, uint8_t* dst);

// The step of the capture chain: the network when it runs, otherwise the
// interpolation. 0 when the network enlarged the frame, 1 when it was
// interpolated (no context, or the run failed); -1 for a null plane.
int sr_enlarge(sr_rknn* ctx, const uint8_t* src, uint8_t* dst);
