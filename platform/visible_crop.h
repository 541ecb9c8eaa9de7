#pragma once
// The part of a frame the panel shows at a zoom: the capture worker crops it
// for the display, and the temperature readout maps the reticle through it,
// so both must agree to the pixel.

namespace platform {

struct VisibleCrop {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// The centred crop of the sensor frame (256 x 192), or of the super-resolved
// one (768 x 576) when `sr`, at `zoomTenths` (10 = x1.0; below x1 counts as
// x1): 216/s x 192/s (648/s x 576/s), rounded half away from zero and cut down
// to a multiple of 8.
VisibleCrop visibleCrop(int zoomTenths, bool sr);

}  // namespace platform
