#include "display/display.h"

#include <drm_fourcc.h>

#include "platform/diag.h"
#include "platform/rga/rga.h"

// Never destroyed: presenting threads may outlive static destruction, and
// what the state holds belongs to a device that may be gone by then.
DisplayState& display_state() {
  static DisplayState* state = new DisplayState;
  return *state;
}

int rga_rotation_code(int degrees) {
  switch (degrees) {
    case 90:
      return HAL_TRANSFORM_ROT_90;
    case 180:
      return HAL_TRANSFORM_ROT_180;
    case 270:
      return HAL_TRANSFORM_ROT_270;
    default:
      return 0;
  }
}

namespace {

// Failures that would repeat with every frame.
diag::Throttle g_blitFailures;
diag::Throttle g_commitFailures;
diag::Throttle g_copyFailures;

// Must be called with the lifecycle held exclusively. Runs drmReleaseBuffer
// (drm_display.h) over the module's four buffers.
void releaseBuffers(DisplayState& s) {
  for (DrmBuffer& b : s.buffers)
    if (b.held()) drmReleaseBuffer(s.device.fd.get(), &b);
}

}  // namespace

int display_init(int width, int height) {
  DisplayState& s = display_state();
  std::unique_lock<std::shared_mutex> life(s.lifecycle);
  if (s.ready) return 0;
  // A failed bring-up keeps what it made until display_deinit; a retry
  // without one must not leak it by opening the device afresh.
  if (s.device.fd.get() >= 0) releaseBuffers(s);
  drmDeinit(&s.device);
  s.format = DRM_FORMAT_NV12;
  s.width = width;
  s.height = height;
  s.planeSelect = 0;
  s.bufferCount = DisplayState::kBufferCount;
  s.rgaFormat = RK_FORMAT_YCbCr_420_SP;
  s.nextIndex.store(0);
  {
    std::lock_guard<std::mutex> g(s.lock);
    s.lastIndex = 0;
  }
  if (drmInit(&s.device) != 0) {
    diag::err("drmInit: Failed\n");
    return -1;
  }
  for (int i = 0; i < s.bufferCount; ++i) {
    if (drmGetBuffer(s.device.fd.get(), width, height, s.format, &s.buffers[i]) != 0) {
      diag::err("Alloc drm buffer failed, %d\n", i);
      // What was made stays until display_deinit; the display is not usable.
      return -1;
    }
  }
  s.ready = true;
  return 0;
}

int display_deinit() {
  DisplayState& s = display_state();
  std::unique_lock<std::shared_mutex> life(s.lifecycle);
  const int fd = s.device.fd.get();
  // Buffers are released before the descriptor that made them is closed.
  if (fd >= 0) releaseBuffers(s);
  drmDeinit(&s.device);
  s.ready = false;
  return 0;
}

int drm_commit(DisplayState* state, int index, void* src, int srcFd, int srcFormat, int srcWidth,
               int srcHeight, int x, int y, int w, int h, int rotation) {
  if (!state || index < 0 || index >= state->bufferCount) return -1;
  DrmBuffer& b = state->buffers[index];
  rga_info_t s{};
  s.fd = srcFd >= 0 ? srcFd : -1;
  s.virAddr = srcFd >= 0 ? nullptr : src;
  s.mmuFlag = 1;
  s.rotation = rga_rotation_code(rotation);
  rga_set_rect(&s.rect, x, y, w, h, srcWidth, srcHeight, srcFormat);
  rga_info_t d{};
  d.fd = b.dmaFd.get();
  d.virAddr = b.dmaFd.valid() ? nullptr : b.map;
  d.mmuFlag = 1;
  rga_set_rect(&d.rect, 0, 0, state->width, state->height, state->width, state->height,
               state->rgaFormat);
  if (c_RkRgaBlit(&s, &d, nullptr) != 0) {
    if (g_blitFailures.next()) diag::out("%s: rga fail\n", "drm_commit");
    return -1;
  }
  const int ret =
      drmCommit(&b, state->width, state->height, 0, 0, &state->device, state->planeSelect);
  if (ret != 0 && g_commitFailures.next()) diag::err("display commit error, ret = %d\n", ret);
  return ret;
}

void display_show(void* src, int srcFd, int srcFormat, int srcWidth, int srcHeight, int x, int y,
                  int w, int h, int rotation) {
  DisplayState& s = display_state();
  std::shared_lock<std::shared_mutex> life(s.lifecycle);
  if (!s.ready) return;
  const int next = static_cast<int>(s.nextIndex.fetch_add(1u, std::memory_order_relaxed) %
                                    static_cast<unsigned>(s.bufferCount));
  drm_commit(&s, next, src, srcFd, srcFormat, srcWidth, srcHeight, x, y, w, h, rotation);
  {
    std::lock_guard<std::mutex> g(s.lock);
    s.lastIndex = next;
  }
}

int display_rga_copy_last_to(void* dst, int dstWidth, int dstHeight, int rotation, int dstFormat) {
  if (!dst || dstWidth <= 0 || dstHeight <= 0) return -1;
  DisplayState& s = display_state();
  std::shared_lock<std::shared_mutex> life(s.lifecycle);
  if (!s.ready) return -1;
  int fd, width, height;
  {
    std::lock_guard<std::mutex> g(s.lock);
    fd = s.buffers[s.lastIndex].dmaFd.get();
    width = s.width;
    height = s.height;
  }
  if (fd < 0) return -1;
  rga_info_t src{};
  src.fd = fd;
  src.mmuFlag = 1;
  src.rotation = rga_rotation_code(rotation);
  rga_set_rect(&src.rect, 0, 0, width, height, width, height, s.rgaFormat);
  rga_info_t d{};
  d.fd = -1;
  d.virAddr = dst;
  d.mmuFlag = 1;
  rga_set_rect(&d.rect, 0, 0, dstWidth, dstHeight, dstWidth, dstHeight, dstFormat);
  if (c_RkRgaBlit(&src, &d, nullptr) != 0) {
    if (g_copyFailures.next())
      diag::out("%s: rga fail (rot=%d %dx%d -> %dx%d fmt=0x%x)\n", "display_rga_copy_last_to",
                rotation, width, height, dstWidth, dstHeight, dstFormat);
    return -1;
  }
  return 0;
}
