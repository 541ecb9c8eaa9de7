#include "sim/sim_device_io.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"
#include "platform/unique_fd.h"

namespace sim {

int SimDevice::ioctl(int, unsigned long, void*) {
  errno = ENOTTY;
  return -1;
}
ssize_t SimDevice::read(int, void*, size_t) {
  errno = EINVAL;
  return -1;
}
ssize_t SimDevice::write(int, const void*, size_t) {
  errno = EINVAL;
  return -1;
}
void* SimDevice::mmap(int, void*, size_t, int, int, off_t) {
  errno = ENODEV;
  return MAP_FAILED;
}

void SimDevice::failNext(unsigned long op, int error, int times) {
  std::lock_guard<std::mutex> lock(faultMu_);
  if (times <= 0)
    faults_.erase(op);
  else
    faults_[op] = {error, times};
}

void SimDevice::clearFaults() {
  std::lock_guard<std::mutex> lock(faultMu_);
  faults_.clear();
}

bool SimDevice::takeFault(unsigned long op) {
  std::lock_guard<std::mutex> lock(faultMu_);
  const auto it = faults_.find(op);
  if (it == faults_.end()) return false;
  const int err = it->second.first;
  if (--it->second.second <= 0) faults_.erase(it);
  errno = err;
  return true;
}

SimDeviceIo::~SimDeviceIo() {
  std::map<int, std::shared_ptr<SimDevice>> open;
  {
    std::lock_guard<std::mutex> lock(mu_);
    open.swap(open_);
  }
  for (auto& [fd, d] : open) d->release(fd);
}

void SimDeviceIo::addDevice(const std::string& systemPath, std::shared_ptr<SimDevice> device) {
  std::lock_guard<std::mutex> lock(mu_);
  devices_[systemPath] = std::move(device);
}

std::shared_ptr<SimDevice> SimDeviceIo::device(const std::string& systemPath) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = devices_.find(systemPath);
  return it == devices_.end() ? nullptr : it->second;
}

size_t SimDeviceIo::openCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return open_.size();
}

std::shared_ptr<SimDevice> SimDeviceIo::lookup(int fd) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = open_.find(fd);
  return it == open_.end() ? nullptr : it->second;
}

int SimDeviceIo::open(const char* systemPath, int flags, mode_t mode) {
  if (!systemPath) {
    errno = EFAULT;
    return -1;
  }
  std::shared_ptr<SimDevice> d = device(systemPath);
  if (!d) {
    // Not a simulated node: the board's file tree (never the PC's /dev).
    const std::string p = platform::path(systemPath);
    return ::open(p.c_str(), flags, mode);
  }
  if (d->takeFault(SimDevice::kOpOpen)) return -1;
  const int fd = d->open(flags);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  open_[fd] = d;
  return fd;
}

int SimDeviceIo::close(int fd) {
  std::shared_ptr<SimDevice> d;
  {
    std::lock_guard<std::mutex> lock(mu_);
    const auto it = open_.find(fd);
    if (it != open_.end()) {
      d = it->second;
      open_.erase(it);
    }
  }
  if (!d) return platform::closeDescriptor(fd);
  // The kernel descriptor stays open until release, so its number cannot be
  // handed out again while the device still knows it.
  d->release(fd);
  return 0;
}

int SimDeviceIo::ioctl(int fd, unsigned long request, void* arg) {
  const std::shared_ptr<SimDevice> d = lookup(fd);
  if (!d) return ::ioctl(fd, request, arg);
  if (d->takeFault(request)) return -1;
  return d->ioctl(fd, request, arg);
}

ssize_t SimDeviceIo::read(int fd, void* buf, size_t count) {
  const std::shared_ptr<SimDevice> d = lookup(fd);
  if (!d) return ::read(fd, buf, count);
  if (d->takeFault(SimDevice::kOpRead)) return -1;
  return d->read(fd, buf, count);
}

ssize_t SimDeviceIo::write(int fd, const void* buf, size_t count) {
  const std::shared_ptr<SimDevice> d = lookup(fd);
  if (!d) return ::write(fd, buf, count);
  if (d->takeFault(SimDevice::kOpWrite)) return -1;
  return d->write(fd, buf, count);
}

void* SimDeviceIo::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  const std::shared_ptr<SimDevice> d = lookup(fd);
  if (!d) return ::mmap(addr, length, prot, flags, fd, offset);
  if (d->takeFault(SimDevice::kOpMmap)) return MAP_FAILED;
  return d->mmap(fd, addr, length, prot, flags, offset);
}

int SimDeviceIo::munmap(void* addr, size_t length) { return ::munmap(addr, length); }

int SimDeviceIo::select(int nfds, fd_set* r, fd_set* w, fd_set* e, struct timeval* timeout) {
  return ::select(nfds, r, w, e, timeout);
}

int SimDeviceIo::poll(struct pollfd* fds, nfds_t nfds, int timeoutMs) {
  return ::poll(fds, nfds, timeoutMs);
}

}  // namespace sim
