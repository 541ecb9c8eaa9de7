#include "platform/drm/drm_api.h"

#include <sys/mman.h>

#include <atomic>
#include <cerrno>

#include "platform/paths.h"

namespace platform {

int LinuxDrmApi::open(const char* name, const char* busid) {
  // Under a simulated or test root the host's own display is never the
  // board's: only the real root reaches the kernel's DRM devices.
  if (platform::root() != "/") {
    errno = ENODEV;
    return -ENODEV;
  }
  return drmOpen(name, busid);
}
int LinuxDrmApi::close(int fd) { return drmClose(fd); }
int LinuxDrmApi::setClientCap(int fd, uint64_t capability, uint64_t value) {
  return drmSetClientCap(fd, capability, value);
}
drmModeRes* LinuxDrmApi::getResources(int fd) { return drmModeGetResources(fd); }
void LinuxDrmApi::freeResources(drmModeRes* res) { drmModeFreeResources(res); }
drmModeConnector* LinuxDrmApi::getConnector(int fd, uint32_t id) {
  return drmModeGetConnector(fd, id);
}
void LinuxDrmApi::freeConnector(drmModeConnector* c) { drmModeFreeConnector(c); }
drmModeEncoder* LinuxDrmApi::getEncoder(int fd, uint32_t id) { return drmModeGetEncoder(fd, id); }
void LinuxDrmApi::freeEncoder(drmModeEncoder* e) { drmModeFreeEncoder(e); }
drmModeCrtc* LinuxDrmApi::getCrtc(int fd, uint32_t id) { return drmModeGetCrtc(fd, id); }
void LinuxDrmApi::freeCrtc(drmModeCrtc* c) { drmModeFreeCrtc(c); }
drmModePlaneRes* LinuxDrmApi::getPlaneResources(int fd) { return drmModeGetPlaneResources(fd); }
void LinuxDrmApi::freePlaneResources(drmModePlaneRes* r) { drmModeFreePlaneResources(r); }
drmModePlane* LinuxDrmApi::getPlane(int fd, uint32_t id) { return drmModeGetPlane(fd, id); }
void LinuxDrmApi::freePlane(drmModePlane* p) { drmModeFreePlane(p); }
drmModeObjectProperties* LinuxDrmApi::objectGetProperties(int fd, uint32_t objectId,
                                                          uint32_t objectType) {
  return drmModeObjectGetProperties(fd, objectId, objectType);
}
void LinuxDrmApi::freeObjectProperties(drmModeObjectProperties* p) {
  drmModeFreeObjectProperties(p);
}
drmModePropertyRes* LinuxDrmApi::getProperty(int fd, uint32_t id) {
  return drmModeGetProperty(fd, id);
}
void LinuxDrmApi::freeProperty(drmModePropertyRes* p) { drmModeFreeProperty(p); }
int LinuxDrmApi::objectSetProperty(int fd, uint32_t objectId, uint32_t objectType,
                                   uint32_t propertyId, uint64_t value) {
  return drmModeObjectSetProperty(fd, objectId, objectType, propertyId, value);
}
int LinuxDrmApi::createDumbBuffer(int fd, uint32_t width, uint32_t height, uint32_t bpp,
                                  uint32_t flags, uint32_t* handle, uint32_t* pitch,
                                  uint64_t* size) {
  return drmModeCreateDumbBuffer(fd, width, height, bpp, flags, handle, pitch, size);
}
int LinuxDrmApi::mapDumbBuffer(int fd, uint32_t handle, uint64_t* offset) {
  return drmModeMapDumbBuffer(fd, handle, offset);
}
int LinuxDrmApi::destroyDumbBuffer(int fd, uint32_t handle) {
  return drmModeDestroyDumbBuffer(fd, handle);
}
void* LinuxDrmApi::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  return ::mmap(addr, length, prot, flags, fd, offset);
}
int LinuxDrmApi::munmap(void* addr, size_t length) { return ::munmap(addr, length); }
int LinuxDrmApi::primeHandleToFD(int fd, uint32_t handle, uint32_t flags, int* primeFd) {
  return drmPrimeHandleToFD(fd, handle, flags, primeFd);
}
int LinuxDrmApi::addFB2(int fd, uint32_t width, uint32_t height, uint32_t pixelFormat,
                        const uint32_t handles[4], const uint32_t pitches[4],
                        const uint32_t offsets[4], uint32_t* fbId, uint32_t flags) {
  return drmModeAddFB2(fd, width, height, pixelFormat, handles, pitches, offsets, fbId, flags);
}
int LinuxDrmApi::rmFB(int fd, uint32_t fbId) { return drmModeRmFB(fd, fbId); }
drmModeAtomicReq* LinuxDrmApi::atomicAlloc() { return drmModeAtomicAlloc(); }
int LinuxDrmApi::atomicAddProperty(drmModeAtomicReq* req, uint32_t objectId, uint32_t propertyId,
                                   uint64_t value) {
  return drmModeAtomicAddProperty(req, objectId, propertyId, value);
}
int LinuxDrmApi::atomicCommit(int fd, drmModeAtomicReq* req, uint32_t flags, void* userData) {
  return drmModeAtomicCommit(fd, req, flags, userData);
}
void LinuxDrmApi::atomicFree(drmModeAtomicReq* req) { drmModeAtomicFree(req); }
void LinuxDrmApi::atomicSetCursor(drmModeAtomicReq* req, int cursor) {
  drmModeAtomicSetCursor(req, cursor);
}

namespace {
LinuxDrmApi g_libdrm;
std::atomic<DrmApi*> g_current{nullptr};
}  // namespace

DrmApi& drm() {
  DrmApi* api = g_current.load(std::memory_order_acquire);
  return api ? *api : g_libdrm;
}

void setDrmApi(DrmApi* api) { g_current.store(api, std::memory_order_release); }

}  // namespace platform
