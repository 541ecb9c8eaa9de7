#pragma once
// The owner of every descriptor the program opens: it closes what it holds
// when its owner lets go, so no error path can leave a file or device open,
// and it cannot be copied, so no descriptor is closed twice.
#include <utility>

namespace platform {

// close(2) itself; only the owners below and the device seam's own close
// call it.
int closeDescriptor(int fd);

// Files, pipes, exported buffers: whatever the kernel handed out directly.
struct KernelClose {
  int operator()(int fd) const { return closeDescriptor(fd); }
};
// What DeviceIo::open gave, closed through platform::dev() so that a
// simulated device learns its client went away.
struct DeviceClose {
  int operator()(int fd) const;
};

template <typename Close>
class BasicUniqueFd {
 public:
  BasicUniqueFd() = default;
  explicit BasicUniqueFd(int fd) : fd_(fd) {}
  ~BasicUniqueFd() { reset(); }
  BasicUniqueFd(BasicUniqueFd&& other) noexcept : fd_(other.release()) {}
  BasicUniqueFd& operator=(BasicUniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  BasicUniqueFd(const BasicUniqueFd&) = delete;
  BasicUniqueFd& operator=(const BasicUniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held (if any) and takes `fd`: the close's result,
  // 0 when there was nothing to close.
  int reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    return old >= 0 ? Close()(old) : 0;
  }

 private:
  int fd_ = -1;
};

using UniqueFd = BasicUniqueFd<KernelClose>;
// Not platform::DrmFd (drm/drm_objects.h), which closes through the DrmApi.
using DeviceFd = BasicUniqueFd<DeviceClose>;

}  // namespace platform
