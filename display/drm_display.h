#pragma once
// The DRM layer under the display module: choosing connector, CRTC and the
// two planes, scan-out buffers, and atomic commits on a plane. All libdrm
// calls go through platform::drm(), so the same code drives the board's
// "rockchip" device and the simulator's virtual KMS device. What the device
// hands out is held by owners bound to the DrmApi that made it.
#include <xf86drm.h>
#include <xf86drmMode.h>

#include <cstdint>
#include <mutex>

#include "platform/drm/drm_objects.h"
#include "platform/unique_fd.h"

// One plane of the device with the property ids a commit sets on it. Not to
// be confused with platform::DrmModePlane, the owner of libdrm's record.
struct DrmPlane {
  platform::DrmModePlane plane;
  // Property ids looked up by name among the plane's properties.
  uint32_t crtcId = 0;  // "CRTC_ID"
  uint32_t fbId = 0;    // "FB_ID"
  uint32_t srcX = 0, srcY = 0, srcW = 0, srcH = 0;
  uint32_t crtcX = 0, crtcY = 0, crtcW = 0, crtcH = 0;
};

struct DrmDevice {
  platform::DrmFd fd;
  int crtcIndex = -1;
  platform::DrmCrtc crtc;
  platform::DrmConnector connector;
  platform::DrmProperty dpms;  // the connector's "DPMS" property
  DrmPlane primary;
  DrmPlane overlay;
  // Refilled by every commit, so showing a frame allocates nothing; the lock
  // covers a second presenter in the moment the live picture and a playback
  // hand over.
  platform::DrmAtomicRequest request;
  mutable std::mutex requestLock;
};

// One scan-out buffer. It owns what drmGetBuffer made: letting go of it
// (drmReleaseBuffer, destruction, or a move over it) removes the framebuffer
// on the device that made it, unmaps it and closes the exported descriptor.
struct DrmBuffer {
  uint32_t fbId = 0;
  uint32_t handle = 0;
  uint64_t size = 0;
  uint32_t pitch = 0;
  void* map = nullptr;
  platform::UniqueFd dmaFd;

  DrmBuffer() = default;
  ~DrmBuffer() { release(); }
  DrmBuffer(DrmBuffer&& other) noexcept { take(other); }
  DrmBuffer& operator=(DrmBuffer&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  DrmBuffer(const DrmBuffer&) = delete;
  DrmBuffer& operator=(const DrmBuffer&) = delete;

  bool held() const { return fbId || map || dmaFd.valid(); }
  void release();

 private:
  friend int drmGetBuffer(int, int, int, uint32_t, DrmBuffer*);
  void take(DrmBuffer& other);
  // The device the framebuffer lives on, and the DrmApi that reaches it.
  platform::DrmApi* api_ = nullptr;
  int deviceFd_ = -1;
};

// The device path only; display_init (display.h) also makes the buffers.
// 0, or a negative error number (-19 when no usable display path was found,
// among them an overlay plane lacking a property that commits set).
int drmInit(DrmDevice* device);
// Releases everything drmInit obtained; the device is empty afterwards. Not
// display_deinit (display.h), which also releases the buffers.
void drmDeinit(DrmDevice* device);
int drmGetBuffer(int fd, int width, int height, uint32_t fourcc, DrmBuffer* buffer);
// Not display.cpp's releaseBuffers, which runs this over the module's four.
int drmReleaseBuffer(int fd, DrmBuffer* buffer);
// One blocking atomic commit of `buffer` on the overlay plane (planeSelect 0)
// or the primary plane (1). A zero width or height means the mode's size.
// Not drm_commit (display.h), which blits a frame into a buffer and then
// calls this.
int drmCommit(const DrmBuffer* buffer, int width, int height, int crtcX, int crtcY,
              const DrmDevice* device, int planeSelect);
