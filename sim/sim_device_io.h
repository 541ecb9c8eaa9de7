#pragma once
// The simulated board's device I/O. Simulated devices answer for their system
// paths ("/dev/video0", "/dev/v4l-subdev3", ...); every other path is opened
// under the board root. Each descriptor of a simulated device is a real kernel
// descriptor (an eventfd the device signals when it is readable), so select
// and poll go to the kernel unchanged and real and simulated descriptors mix
// freely; ioctl, read, write and mmap on it are dispatched to the device.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/devio.h"

namespace sim {

// One simulated device node. Errors follow the system calls: -1 (MAP_FAILED)
// with errno set.
class SimDevice {
 public:
  virtual ~SimDevice() = default;

  // Opens one descriptor and returns it (a real kernel descriptor that the
  // device owns until release), or -1 with errno.
  virtual int open(int flags) = 0;
  // The descriptor is being closed: forget it and close the kernel descriptor.
  virtual void release(int fd) = 0;
  virtual int ioctl(int fd, unsigned long request, void* arg);   // ENOTTY
  virtual ssize_t read(int fd, void* buf, size_t count);         // EINVAL
  virtual ssize_t write(int fd, const void* buf, size_t count);  // EINVAL
  virtual void* mmap(int fd, void* addr, size_t length, int prot, int flags,
                     off_t offset);  // ENODEV

  // Faults on demand, for tests: the next `times` calls of `op` (an ioctl
  // request number or one of the kOp codes) fail with `error`.
  static constexpr unsigned long kOpOpen = 1, kOpRead = 2, kOpWrite = 3, kOpMmap = 4;
  void failNext(unsigned long op, int error, int times = 1);
  void clearFaults();
  // True (errno set) when a planned fault is due for op; consumes it.
  bool takeFault(unsigned long op);

 private:
  std::mutex faultMu_;
  std::map<unsigned long, std::pair<int, int>> faults_;  // op -> (errno, remaining)
};

class SimDeviceIo : public platform::DeviceIo {
 public:
  SimDeviceIo() = default;
  ~SimDeviceIo() override;
  SimDeviceIo(const SimDeviceIo&) = delete;
  SimDeviceIo& operator=(const SimDeviceIo&) = delete;

  // Registers a device under its system path (replacing any earlier one).
  void addDevice(const std::string& systemPath, std::shared_ptr<SimDevice> device);
  std::shared_ptr<SimDevice> device(const std::string& systemPath) const;
  // Open descriptors of simulated devices.
  size_t openCount() const;

  int open(const char* systemPath, int flags, mode_t mode = 0) override;
  int close(int fd) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  ssize_t read(int fd, void* buf, size_t count) override;
  ssize_t write(int fd, const void* buf, size_t count) override;
  void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) override;
  int munmap(void* addr, size_t length) override;
  int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds,
             struct timeval* timeout) override;
  int poll(struct pollfd* fds, nfds_t nfds, int timeoutMs) override;

 private:
  std::shared_ptr<SimDevice> lookup(int fd) const;

  mutable std::mutex mu_;
  std::map<std::string, std::shared_ptr<SimDevice>> devices_;
  std::map<int, std::shared_ptr<SimDevice>> open_;
};

}  // namespace sim
