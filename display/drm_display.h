#pragma once
// The DRM layer under the display module: choosing connector, CRTC and the
// two planes, scan-out buffers, and atomic commits on a plane. All libdrm
// calls go through platform::drm(), so the same code drives the board's
// "rockchip" device and the simulator's virtual KMS device.
#include <xf86drm.h>
#include <xf86drmMode.h>

#include <cstdint>

struct DrmPlane {
  drmModePlane* plane = nullptr;
  // Property ids looked up by name among the plane's properties.
  uint32_t crtcId = 0;  // "CRTC_ID"
  uint32_t fbId = 0;    // "FB_ID"
  uint32_t srcX = 0, srcY = 0, srcW = 0, srcH = 0;
  uint32_t crtcX = 0, crtcY = 0, crtcW = 0, crtcH = 0;
};

struct DrmDevice {
  int fd = -1;
  int crtcIndex = -1;
  drmModeCrtc* crtc = nullptr;
  drmModeConnector* connector = nullptr;
  drmModePropertyRes* dpms = nullptr;  // the connector's "DPMS" property
  DrmPlane primary;
  DrmPlane overlay;
  drmModeAtomicReq* request = nullptr;  // refilled by every commit
};

struct DrmBuffer {
  uint32_t fbId = 0;
  uint32_t handle = 0;
  uint64_t size = 0;
  uint32_t pitch = 0;
  void* map = nullptr;
  int dmaFd = -1;
};

// 0, or a negative error number (-19 when no usable display path was found).
int drmInit(DrmDevice* device);
void drmDeinit(DrmDevice* device);
int drmGetBuffer(int fd, int width, int height, uint32_t fourcc, DrmBuffer* buffer);
int drmReleaseBuffer(int fd, DrmBuffer* buffer);
// One blocking atomic commit of `buffer` on the overlay plane (planeSelect 0)
// or the primary plane (1). A zero width or height means the mode's size.
int drmCommit(const DrmBuffer* buffer, int width, int height, int crtcX, int crtcY,
              const DrmDevice* device, int planeSelect);

// Bits per pixel of a dumb buffer for a DRM format (0 for an unknown one).
int drmBitsPerPixel(uint32_t fourcc);
