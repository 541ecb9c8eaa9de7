#pragma once
// The DRM pixel formats this system knows, in one table shared by the display
// code (how big a dumb buffer to make for a format) and the simulated KMS
// device (how a framebuffer of that format lies in memory).
#include <cstdint>

namespace platform {

struct DrmFormat {
  uint32_t fourcc;
  // The dumb buffer made for the format: bits per pixel, and whether its
  // chroma lies below the luma in the same buffer (1.5 times the lines).
  uint8_t dumbBpp;
  bool chromaBelow;
  // The framebuffer's planes: count, bytes per pixel of each, and the
  // subsampling of the planes after the first.
  uint8_t planes;
  uint8_t cpp[3];
  uint8_t hsub, vsub;
};

// The format's row (a DrmFormat), or nullptr for a format outside the table.
const DrmFormat* drmFormat(uint32_t fourcc);

}  // namespace platform
