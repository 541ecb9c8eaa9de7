#pragma once
// Detail enhancement of a luma plane: a box-blurred base layer, the detail
// above it cored by a threshold and amplified by a gain, then the whole frame
// shifted back to its old mean brightness. Integer arithmetic throughout, so
// a frame always comes out the same to the bit.
#include <cstdint>

struct sr_dde {
  int32_t width;  // largest frame accepted
  int32_t height;
  int32_t capacity;     // largest pixel count accepted
  float detail;         // strength as the user sets it
  float sigma;          // blur size as the user sets it
  int32_t radius;       // box radius from sigma, 1..4; the window is 2r + 1
  int32_t gain;         // detail in 1/256, 0..4096
  int32_t threshold;    // coring threshold in luma levels, 0..64
  uint16_t* rowPlane;   // horizontal means, then the enhanced values
  uint16_t* basePlane;  // the blurred base layer
  float lastMs;         // duration of the last call
  // Working rows: one source line with its edges replicated, and the running
  // column sums of the vertical pass.
  uint16_t* padded;
  uint16_t* columnSums;
};

// A context for frames up to width x height with the default settings
// (detail 1.8, sigma 1.5, radius 2, gain 461, threshold 5); null if a size is
// below 1 or memory runs out.
sr_dde* sr_dde_create(int width, int height);

// Values above 0 replace detail and sigma; radius and gain are then derived.
void sr_dde_set_params(sr_dde* ctx, float detail, float sigma);

// Coring threshold, limited to 0..64.
void sr_dde_set_threshold(sr_dde* ctx, int thr);

// Enhances the width x height luma plane in place. 0 on success (also when
// the gain is 0 and nothing is done), -1 for a null argument or a size below
// 1, -2 for a frame larger than the context.
int sr_dde_process(sr_dde* ctx, uint8_t* luma, int width, int height);

void sr_dde_destroy(sr_dde* ctx);
