#pragma once
// Owning holders for what a DrmApi hands out. Each remembers the DrmApi that
// made its object and frees it there, so an object never reaches another
// device's free call (the simulator and tests swap the DrmApi), and no error
// path needs its own cleanup.
#include <utility>

#include "platform/drm/drm_api.h"

namespace platform {

template <typename T, void (DrmApi::*Free)(T*)>
class DrmHeld {
 public:
  DrmHeld() = default;
  DrmHeld(DrmApi& api, T* object) : api_(&api), object_(object) {}
  ~DrmHeld() { reset(); }
  DrmHeld(DrmHeld&& other) noexcept
      : api_(other.api_), object_(std::exchange(other.object_, nullptr)) {}
  DrmHeld& operator=(DrmHeld&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  DrmHeld(const DrmHeld&) = delete;
  DrmHeld& operator=(const DrmHeld&) = delete;

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void reset() {
    if (object_) (api_->*Free)(object_);
    object_ = nullptr;
  }

 private:
  DrmApi* api_ = nullptr;
  T* object_ = nullptr;
};

using DrmResources = DrmHeld<drmModeRes, &DrmApi::freeResources>;
using DrmConnector = DrmHeld<drmModeConnector, &DrmApi::freeConnector>;
using DrmEncoder = DrmHeld<drmModeEncoder, &DrmApi::freeEncoder>;
using DrmCrtc = DrmHeld<drmModeCrtc, &DrmApi::freeCrtc>;
using DrmPlaneResources = DrmHeld<drmModePlaneRes, &DrmApi::freePlaneResources>;
// libdrm's plane record; not ::DrmPlane (drm_display.h), the display's plane.
using DrmModePlane = DrmHeld<drmModePlane, &DrmApi::freePlane>;
using DrmObjectProperties = DrmHeld<drmModeObjectProperties, &DrmApi::freeObjectProperties>;
using DrmProperty = DrmHeld<drmModePropertyRes, &DrmApi::freeProperty>;
using DrmAtomicRequest = DrmHeld<drmModeAtomicReq, &DrmApi::atomicFree>;

// A descriptor from DrmApi::open, closed through the same DrmApi. Its twin
// for other devices is platform::DeviceFd (unique_fd.h).
class DrmFd {
 public:
  DrmFd() = default;
  DrmFd(DrmApi& api, int fd) : api_(&api), fd_(fd) {}
  ~DrmFd() { reset(); }
  DrmFd(DrmFd&& other) noexcept : api_(other.api_), fd_(std::exchange(other.fd_, -1)) {}
  DrmFd& operator=(DrmFd&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  DrmFd(const DrmFd&) = delete;
  DrmFd& operator=(const DrmFd&) = delete;

  int get() const { return fd_; }
  DrmApi* api() const { return api_; }
  void reset() {
    if (fd_ >= 0 && api_) api_->close(fd_);
    fd_ = -1;
  }

 private:
  DrmApi* api_ = nullptr;
  int fd_ = -1;
};

}  // namespace platform
