#pragma once
// Device I/O seam. Device code (camera, sensor command channel, keys,
// accelerometer, watchdog) talks to the kernel only through this interface,
// with the kernel's own request numbers and structures, so the same code runs
// on the board and against the simulated board. Paths are system paths as the
// board names them; the implementation resolves them. Results follow the
// system calls: -1 (or MAP_FAILED) with errno set on failure.
#include <poll.h>
#include <sys/select.h>
#include <sys/types.h>

#include <cstddef>

namespace platform {

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  virtual int open(const char* systemPath, int flags, mode_t mode = 0) = 0;
  virtual int close(int fd) = 0;
  virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual ssize_t read(int fd, void* buf, size_t count) = 0;
  virtual ssize_t write(int fd, const void* buf, size_t count) = 0;
  virtual void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) = 0;
  virtual int munmap(void* addr, size_t length) = 0;
  virtual int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds,
                     struct timeval* timeout) = 0;
  virtual int poll(struct pollfd* fds, nfds_t nfds, int timeoutMs) = 0;
};

// The kernel, with paths resolved through the path mapping.
class LinuxDeviceIo : public DeviceIo {
 public:
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
};

// The process-wide instance. Defaults to LinuxDeviceIo. setDeviceIo is called
// before any device is opened (the simulator at start-up, tests in set-up);
// the caller keeps ownership and passes nullptr to go back to the default.
DeviceIo& dev();
void setDeviceIo(DeviceIo* io);

}  // namespace platform
