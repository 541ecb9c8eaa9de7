#pragma once
// The DRM/KMS seam. The display code makes every libdrm call through
// platform::drm(), with libdrm's own types, names and result conventions, so
// the same code drives the board's "rockchip" device and the simulator's
// virtual KMS device. LinuxDrmApi forwards each call to libdrm unchanged.
//
// Result conventions (as libdrm):
// - open: a descriptor, or a negative value on failure.
// - getX: a structure to be released with the matching freeX of the SAME
//   DrmApi, or nullptr with errno set.
// - setClientCap, primeHandleToFD, ioctl: 0, or -1 with errno set.
// - objectSetProperty, addFB2, rmFB, atomicCommit, create/map/destroyDumb:
//   0, or a negated errno.
// - atomicAddProperty: the new number of entries in the request, or a
//   negated errno.
// - mmap/munmap: as the system calls; a dumb buffer is mapped with the offset
//   from mapDumbBuffer on the DRM descriptor, as drm_mmap does.
// Descriptors from primeHandleToFD are real dma-buf (or memfd) descriptors:
// any code may mmap them directly and must close them with ::close.
#include <fcntl.h>  // DRM_CLOEXEC, DRM_RDWR
#include <sys/types.h>
#include <xf86drm.h>
#include <xf86drmMode.h>

#include <cstdint>

namespace platform {

class DrmApi {
 public:
  virtual ~DrmApi() = default;

  // drmOpen(name, busid) / drmClose.
  virtual int open(const char* name, const char* busid) = 0;
  virtual int close(int fd) = 0;
  // drmSetClientCap: DRM_CLIENT_CAP_UNIVERSAL_PLANES (2), DRM_CLIENT_CAP_ATOMIC (3).
  virtual int setClientCap(int fd, uint64_t capability, uint64_t value) = 0;

  // Resources and objects.
  virtual drmModeRes* getResources(int fd) = 0;
  virtual void freeResources(drmModeRes* res) = 0;
  virtual drmModeConnector* getConnector(int fd, uint32_t connectorId) = 0;
  virtual void freeConnector(drmModeConnector* connector) = 0;
  virtual drmModeEncoder* getEncoder(int fd, uint32_t encoderId) = 0;
  virtual void freeEncoder(drmModeEncoder* encoder) = 0;
  virtual drmModeCrtc* getCrtc(int fd, uint32_t crtcId) = 0;
  virtual void freeCrtc(drmModeCrtc* crtc) = 0;
  virtual drmModePlaneRes* getPlaneResources(int fd) = 0;
  virtual void freePlaneResources(drmModePlaneRes* res) = 0;
  virtual drmModePlane* getPlane(int fd, uint32_t planeId) = 0;
  virtual void freePlane(drmModePlane* plane) = 0;

  // Properties: drmModeObjectGetProperties (objectType DRM_MODE_OBJECT_*),
  // drmModeGetProperty (the name, flags, range or enum values of one id),
  // drmModeObjectSetProperty (legacy single-property set, used for zpos).
  virtual drmModeObjectProperties* objectGetProperties(int fd, uint32_t objectId,
                                                       uint32_t objectType) = 0;
  virtual void freeObjectProperties(drmModeObjectProperties* props) = 0;
  virtual drmModePropertyRes* getProperty(int fd, uint32_t propertyId) = 0;
  virtual void freeProperty(drmModePropertyRes* property) = 0;
  virtual int objectSetProperty(int fd, uint32_t objectId, uint32_t objectType, uint32_t propertyId,
                                uint64_t value) = 0;

  // Dumb buffers (drmModeCreateDumbBuffer / MapDumbBuffer / DestroyDumbBuffer),
  // the mapping itself, and PRIME export (drmPrimeHandleToFD).
  virtual int createDumbBuffer(int fd, uint32_t width, uint32_t height, uint32_t bpp,
                               uint32_t flags, uint32_t* handle, uint32_t* pitch,
                               uint64_t* size) = 0;
  virtual int mapDumbBuffer(int fd, uint32_t handle, uint64_t* offset) = 0;
  virtual int destroyDumbBuffer(int fd, uint32_t handle) = 0;
  virtual void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) = 0;
  virtual int munmap(void* addr, size_t length) = 0;
  virtual int primeHandleToFD(int fd, uint32_t handle, uint32_t flags, int* primeFd) = 0;

  // Framebuffers: drmModeAddFB2 (up to four planes by handle, pitch, offset)
  // and drmModeRmFB.
  virtual int addFB2(int fd, uint32_t width, uint32_t height, uint32_t pixelFormat,
                     const uint32_t handles[4], const uint32_t pitches[4],
                     const uint32_t offsets[4], uint32_t* fbId, uint32_t flags) = 0;
  virtual int rmFB(int fd, uint32_t fbId) = 0;

  // Atomic requests: drmModeAtomicAlloc / AddProperty / Commit / Free. A
  // request belongs to the DrmApi that allocated it. Commit flags as libdrm
  // (DRM_MODE_ATOMIC_TEST_ONLY, _NONBLOCK, _ALLOW_MODESET, DRM_MODE_PAGE_FLIP_EVENT);
  // with no flags the call returns once the new state is on the screen.
  virtual drmModeAtomicReq* atomicAlloc() = 0;
  virtual int atomicAddProperty(drmModeAtomicReq* req, uint32_t objectId, uint32_t propertyId,
                                uint64_t value) = 0;
  virtual int atomicCommit(int fd, drmModeAtomicReq* req, uint32_t flags, void* userData) = 0;
  virtual void atomicFree(drmModeAtomicReq* req) = 0;
  // drmModeAtomicSetCursor: keeps the first `cursor` entries, so one request
  // can be refilled for every frame without allocating.
  virtual void atomicSetCursor(drmModeAtomicReq* req, int cursor) = 0;
};

// libdrm itself.
class LinuxDrmApi : public DrmApi {
 public:
  int open(const char* name, const char* busid) override;
  int close(int fd) override;
  int setClientCap(int fd, uint64_t capability, uint64_t value) override;
  drmModeRes* getResources(int fd) override;
  void freeResources(drmModeRes* res) override;
  drmModeConnector* getConnector(int fd, uint32_t connectorId) override;
  void freeConnector(drmModeConnector* connector) override;
  drmModeEncoder* getEncoder(int fd, uint32_t encoderId) override;
  void freeEncoder(drmModeEncoder* encoder) override;
  drmModeCrtc* getCrtc(int fd, uint32_t crtcId) override;
  void freeCrtc(drmModeCrtc* crtc) override;
  drmModePlaneRes* getPlaneResources(int fd) override;
  void freePlaneResources(drmModePlaneRes* res) override;
  drmModePlane* getPlane(int fd, uint32_t planeId) override;
  void freePlane(drmModePlane* plane) override;
  drmModeObjectProperties* objectGetProperties(int fd, uint32_t objectId,
                                               uint32_t objectType) override;
  void freeObjectProperties(drmModeObjectProperties* props) override;
  drmModePropertyRes* getProperty(int fd, uint32_t propertyId) override;
  void freeProperty(drmModePropertyRes* property) override;
  int objectSetProperty(int fd, uint32_t objectId, uint32_t objectType, uint32_t propertyId,
                        uint64_t value) override;
  int createDumbBuffer(int fd, uint32_t width, uint32_t height, uint32_t bpp, uint32_t flags,
                       uint32_t* handle, uint32_t* pitch, uint64_t* size) override;
  int mapDumbBuffer(int fd, uint32_t handle, uint64_t* offset) override;
  int destroyDumbBuffer(int fd, uint32_t handle) override;
  void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) override;
  int munmap(void* addr, size_t length) override;
  int primeHandleToFD(int fd, uint32_t handle, uint32_t flags, int* primeFd) override;
  int addFB2(int fd, uint32_t width, uint32_t height, uint32_t pixelFormat,
             const uint32_t handles[4], const uint32_t pitches[4], const uint32_t offsets[4],
             uint32_t* fbId, uint32_t flags) override;
  int rmFB(int fd, uint32_t fbId) override;
  drmModeAtomicReq* atomicAlloc() override;
  int atomicAddProperty(drmModeAtomicReq* req, uint32_t objectId, uint32_t propertyId,
                        uint64_t value) override;
  int atomicCommit(int fd, drmModeAtomicReq* req, uint32_t flags, void* userData) override;
  void atomicFree(drmModeAtomicReq* req) override;
  void atomicSetCursor(drmModeAtomicReq* req, int cursor) override;
};

// The process-wide instance, libdrm by default. setDrmApi is called before the
// display is brought up (the simulator at start-up, tests in set-up); the
// caller keeps ownership and passes nullptr to go back to libdrm.
DrmApi& drm();
void setDrmApi(DrmApi* api);

}  // namespace platform
