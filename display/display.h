#pragma once
// The process-wide display module: four NV12 scan-out buffers of the panel's
// size on the overlay plane beneath the interface. A frame of any size is
// cropped, turned and scaled into the next buffer with one accelerator blit
// and shown with a blocking atomic commit; the frame on screen can be copied
// back for recordings and stills.
//
// Before a successful display_init and after display_deinit there is no
// device and no buffer: presenting does nothing and copying back fails.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "display/drm_display.h"

struct DisplayState {
  static constexpr int kBufferCount = 4;

  uint32_t format = 0;  // DRM FourCC "NV12"
  int width = 0;
  int height = 0;
  int planeSelect = 0;  // 0: overlay plane
  DrmDevice device;
  DrmBuffer buffers[kBufferCount];
  int bufferCount = kBufferCount;
  int rgaFormat = 0;
  // Advanced in one step, so two presenters meeting at a hand-over never
  // draw into the same buffer.
  std::atomic<unsigned> nextIndex{0};
  std::mutex lock;  // guards lastIndex
  int lastIndex = 0;
  // Bring-up and teardown exclude every user of the buffers; presenting and
  // copying back share it.
  std::shared_mutex lifecycle;
  bool ready = false;
};

// The one instance.
DisplayState& display_state();

// The whole display: drmInit (drm_display.h) plus the four buffers.
int display_init(int width, int height);
// The buffers, then drmDeinit (drm_display.h).
int display_deinit();
// Blits (x, y, w, h) of a srcWidth x srcHeight image (by dma-buf descriptor
// when srcFd >= 0, else at src) rotated by `rotation` degrees into buffer
// `index`, and commits it through drmCommit (drm_display.h), the bare commit.
int drm_commit(DisplayState* state, int index, void* src, int srcFd, int srcFormat, int srcWidth,
               int srcHeight, int x, int y, int w, int h, int rotation);
void display_show(void* src, int srcFd, int srcFormat, int srcWidth, int srcHeight, int x, int y,
                  int w, int h, int rotation);
// Copies the buffer on screen, rotated, into dst (dstWidth x dstHeight in an
// accelerator format). 0, or -1.
int display_rga_copy_last_to(void* dst, int dstWidth, int dstHeight, int rotation, int dstFormat);

// The accelerator's transform code for an angle in degrees (0 for anything
// but 90, 180 and 270).
int rga_rotation_code(int degrees);
