#include "platform/devio.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/paths.h"
#include "platform/unique_fd.h"

namespace platform {

int LinuxDeviceIo::open(const char* systemPath, int flags, mode_t mode) {
  const std::string p = path(systemPath ? systemPath : "");
  return ::open(p.c_str(), flags, mode);
}
int LinuxDeviceIo::close(int fd) { return closeDescriptor(fd); }
int LinuxDeviceIo::ioctl(int fd, unsigned long request, void* arg) {
  return ::ioctl(fd, request, arg);
}
ssize_t LinuxDeviceIo::read(int fd, void* buf, size_t count) { return ::read(fd, buf, count); }
ssize_t LinuxDeviceIo::write(int fd, const void* buf, size_t count) {
  return ::write(fd, buf, count);
}
void* LinuxDeviceIo::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  return ::mmap(addr, length, prot, flags, fd, offset);
}
int LinuxDeviceIo::munmap(void* addr, size_t length) { return ::munmap(addr, length); }
int LinuxDeviceIo::select(int nfds, fd_set* r, fd_set* w, fd_set* e, struct timeval* timeout) {
  return ::select(nfds, r, w, e, timeout);
}
int LinuxDeviceIo::poll(struct pollfd* fds, nfds_t nfds, int timeoutMs) {
  return ::poll(fds, nfds, timeoutMs);
}

namespace {
LinuxDeviceIo g_linux;
std::atomic<DeviceIo*> g_current{nullptr};
}  // namespace

DeviceIo& dev() {
  DeviceIo* io = g_current.load(std::memory_order_acquire);
  return io ? *io : g_linux;
}

void setDeviceIo(DeviceIo* io) { g_current.store(io, std::memory_order_release); }

}  // namespace platform
