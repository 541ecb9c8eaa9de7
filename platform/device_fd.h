#pragma once
// An open device descriptor that is closed through platform::dev() when its
// owner lets go of it, so no error path can leave a device open.
#include <utility>

#include "platform/devio.h"

namespace platform {

// Not platform::DrmFd (drm/drm_objects.h), which closes through the DrmApi.
class DeviceFd {
 public:
  DeviceFd() = default;
  explicit DeviceFd(int fd) : fd_(fd) {}
  ~DeviceFd() { reset(); }
  DeviceFd(DeviceFd&& other) noexcept : fd_(other.release()) {}
  DeviceFd& operator=(DeviceFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  DeviceFd(const DeviceFd&) = delete;
  DeviceFd& operator=(const DeviceFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held (if any) and takes `fd`: the close's result,
  // 0 when there was nothing to close.
  int reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    return old >= 0 ? dev().close(old) : 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace platform
