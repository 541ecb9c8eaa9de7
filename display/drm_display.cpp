#include "display/drm_display.h"

#include <drm_fourcc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/drm/drm_api.h"

namespace {

constexpr int kNoDevice = -19;  // -ENODEV
constexpr int kInvalid = -22;   // -EINVAL
constexpr uint32_t kNoCrtc = 0xFFFFFFFFu;

bool isPanelConnector(uint32_t type) {
  return type == DRM_MODE_CONNECTOR_LVDS || type == DRM_MODE_CONNECTOR_eDP ||
         type == DRM_MODE_CONNECTOR_DSI || type == DRM_MODE_CONNECTOR_DPI;
}

// Finds a property of an object by name; returns its id (0 if absent) and,
// when asked, its current value.
uint32_t findProperty(int fd, drmModeObjectProperties* props, const char* name,
                      uint64_t* value = nullptr) {
  platform::DrmApi& api = platform::drm();
  for (uint32_t i = 0; props && i < props->count_props; ++i) {
    drmModePropertyRes* p = api.getProperty(fd, props->props[i]);
    if (!p) continue;
    const bool match = std::strcmp(p->name, name) == 0;
    const uint32_t id = p->prop_id;
    api.freeProperty(p);
    if (match) {
      if (value) *value = props->prop_values[i];
      return id;
    }
  }
  return 0;
}

void freePlane(DrmPlane* p) {
  if (p->plane) platform::drm().freePlane(p->plane);
  *p = DrmPlane();
}

// First plane, in plane-resource order, that can sit on the CRTC and whose
// "type" property is `type`.
bool pickPlane(int fd, int crtcIndex, uint64_t type, DrmPlane* out) {
  platform::DrmApi& api = platform::drm();
  drmModePlaneRes* res = api.getPlaneResources(fd);
  if (!res) return false;
  bool found = false;
  for (uint32_t i = 0; i < res->count_planes && !found; ++i) {
    drmModePlane* plane = api.getPlane(fd, res->planes[i]);
    if (!plane) continue;
    if (!(plane->possible_crtcs & (1u << crtcIndex))) {
      api.freePlane(plane);
      continue;
    }
    drmModeObjectProperties* props =
        api.objectGetProperties(fd, plane->plane_id, DRM_MODE_OBJECT_PLANE);
    if (!props) {
      std::printf("failed to found props plane[%d] %s\n", plane->plane_id, std::strerror(errno));
      api.freePlane(plane);
      continue;
    }
    uint64_t planeType = ~0ull;
    const bool hasType = findProperty(fd, props, "type", &planeType) != 0;
    if (hasType && planeType == type) {
      out->plane = plane;
      out->crtcId = findProperty(fd, props, "CRTC_ID");
      out->fbId = findProperty(fd, props, "FB_ID");
      out->srcX = findProperty(fd, props, "SRC_X");
      out->srcY = findProperty(fd, props, "SRC_Y");
      out->srcW = findProperty(fd, props, "SRC_W");
      out->srcH = findProperty(fd, props, "SRC_H");
      out->crtcX = findProperty(fd, props, "CRTC_X");
      out->crtcY = findProperty(fd, props, "CRTC_Y");
      out->crtcW = findProperty(fd, props, "CRTC_W");
      out->crtcH = findProperty(fd, props, "CRTC_H");
      found = true;
    } else {
      api.freePlane(plane);
    }
    api.freeObjectProperties(props);
  }
  api.freePlaneResources(res);
  return found;
}

bool setZpos(int fd, const DrmPlane& p, uint64_t z) {
  platform::DrmApi& api = platform::drm();
  drmModeObjectProperties* props =
      api.objectGetProperties(fd, p.plane->plane_id, DRM_MODE_OBJECT_PLANE);
  if (!props) return false;
  const uint32_t id = findProperty(fd, props, "zpos");
  api.freeObjectProperties(props);
  return id != 0 && api.objectSetProperty(fd, p.plane->plane_id, DRM_MODE_OBJECT_PLANE, id, z) == 0;
}

// The CRTC driving the connector: its current encoder's, or else the lowest
// one any of its encoders can use. Returns the index in the resource list.
int pickCrtc(int fd, drmModeRes* res, drmModeConnector* conn) {
  platform::DrmApi& api = platform::drm();
  uint32_t crtcId = 0;
  bool haveCurrent = false;
  for (int i = 0; i < res->count_encoders && !haveCurrent; ++i) {
    if (res->encoders[i] != conn->encoder_id) continue;
    drmModeEncoder* enc = api.getEncoder(fd, res->encoders[i]);
    if (!enc) break;
    // An encoder that reports no CRTC (-1, or 0 before any mode was set) is
    // not bound yet: fall back to the encoders' possible CRTCs.
    if (enc->crtc_id != kNoCrtc && enc->crtc_id != 0) {
      crtcId = enc->crtc_id;
      haveCurrent = true;
    }
    api.freeEncoder(enc);
  }
  if (haveCurrent) {
    for (int i = 0; i < res->count_crtcs; ++i)
      if (res->crtcs[i] == crtcId) return i;
    return -1;
  }
  uint32_t mask = 0;
  for (int i = 0; i < conn->count_encoders; ++i) {
    drmModeEncoder* enc = api.getEncoder(fd, conn->encoders[i]);
    if (!enc) continue;
    mask |= enc->possible_crtcs;
    api.freeEncoder(enc);
  }
  if (mask == 0) return -1;
  const int index = __builtin_ctz(mask);
  return index < res->count_crtcs ? index : -1;
}

}  // namespace

int drmInit(DrmDevice* dev) {
  if (!dev) return kInvalid;
  platform::DrmApi& api = platform::drm();
  *dev = DrmDevice();

  const int fd = api.open("rockchip", nullptr);
  if (fd < 0) {
    std::printf("failed to open rockchip drm: %s\n", std::strerror(errno));
    return fd;
  }
  dev->fd = fd;

  int ret = api.setClientCap(fd, DRM_CLIENT_CAP_UNIVERSAL_PLANES, 1);
  if (ret == 0) ret = api.setClientCap(fd, DRM_CLIENT_CAP_ATOMIC, 1);
  if (ret != 0) {
    std::printf("Failed to set atomic cap %s", std::strerror(errno));
    drmDeinit(dev);
    return ret;
  }

  drmModeRes* res = api.getResources(fd);
  if (!res) {
    std::printf("Failed to get resources: %s\n", std::strerror(errno));
    drmDeinit(dev);
    return kNoDevice;
  }

  for (int i = 0; i < res->count_connectors && !dev->connector; ++i) {
    drmModeConnector* c = api.getConnector(fd, res->connectors[i]);
    if (!c) continue;
    if (isPanelConnector(c->connector_type))
      dev->connector = c;
    else
      api.freeConnector(c);
  }
  if (!dev->connector) {
    std::printf("failed to find connector");
    api.freeResources(res);
    drmDeinit(dev);
    return kNoDevice;
  }

  drmModeObjectProperties* cprops =
      api.objectGetProperties(fd, dev->connector->connector_id, DRM_MODE_OBJECT_CONNECTOR);
  if (!cprops) {
    std::printf("failed to found props connector[%d] %s\n", dev->connector->connector_id,
                std::strerror(errno));
    api.freeResources(res);
    drmDeinit(dev);
    return kNoDevice;
  }
  const uint32_t dpmsId = findProperty(fd, cprops, "DPMS");
  api.freeObjectProperties(cprops);
  if (dpmsId != 0) dev->dpms = api.getProperty(fd, dpmsId);
  if (!dev->dpms) {
    api.freeResources(res);
    drmDeinit(dev);
    return kNoDevice;
  }

  dev->crtcIndex = pickCrtc(fd, res, dev->connector);
  if (dev->crtcIndex >= 0) dev->crtc = api.getCrtc(fd, res->crtcs[dev->crtcIndex]);
  api.freeResources(res);
  if (!dev->crtc) {
    std::printf("failed to find crtc connect to connector ");
    drmDeinit(dev);
    return kNoDevice;
  }

  if (!pickPlane(fd, dev->crtcIndex, DRM_PLANE_TYPE_PRIMARY, &dev->primary) ||
      !pickPlane(fd, dev->crtcIndex, DRM_PLANE_TYPE_OVERLAY, &dev->overlay)) {
    std::printf("failed to found expected plane");
    drmDeinit(dev);
    return kNoDevice;
  }

  // The interface on the primary plane lies above the picture.
  if (!setZpos(fd, dev->primary, 1) || !setZpos(fd, dev->overlay, 0)) {
    std::printf("%s: set zpos property failed!\n", "drmInit");
    drmDeinit(dev);
    return kNoDevice;
  }
  dev->request = api.atomicAlloc();  // reused by every commit; null: one per commit
  return 0;
}

void drmDeinit(DrmDevice* dev) {
  if (!dev) return;
  platform::DrmApi& api = platform::drm();
  if (dev->request) api.atomicFree(dev->request);
  freePlane(&dev->primary);
  freePlane(&dev->overlay);
  if (dev->dpms) api.freeProperty(dev->dpms);
  if (dev->crtc) api.freeCrtc(dev->crtc);
  if (dev->connector) api.freeConnector(dev->connector);
  if (dev->fd > 0) api.close(dev->fd);
  *dev = DrmDevice();
}

int drmBitsPerPixel(uint32_t fourcc) {
  switch (fourcc) {
    case DRM_FORMAT_C8:
    case DRM_FORMAT_R8:
    case DRM_FORMAT_RGB332:
    case DRM_FORMAT_BGR233:
      return 8;
    case DRM_FORMAT_XRGB4444:
    case DRM_FORMAT_XBGR4444:
    case DRM_FORMAT_RGBX4444:
    case DRM_FORMAT_BGRX4444:
    case DRM_FORMAT_ARGB4444:
    case DRM_FORMAT_ABGR4444:
    case DRM_FORMAT_RGBA4444:
    case DRM_FORMAT_BGRA4444:
    case DRM_FORMAT_XRGB1555:
    case DRM_FORMAT_XBGR1555:
    case DRM_FORMAT_RGBX5551:
    case DRM_FORMAT_BGRX5551:
    case DRM_FORMAT_ARGB1555:
    case DRM_FORMAT_ABGR1555:
    case DRM_FORMAT_RGBA5551:
    case DRM_FORMAT_BGRA5551:
    case DRM_FORMAT_RGB565:
    case DRM_FORMAT_BGR565:
    case DRM_FORMAT_GR88:
    case DRM_FORMAT_YUYV:
    case DRM_FORMAT_YVYU:
    case DRM_FORMAT_UYVY:
    case DRM_FORMAT_VYUY:
      return 16;
    case DRM_FORMAT_RGB888:
    case DRM_FORMAT_BGR888:
      return 24;
    case DRM_FORMAT_XRGB8888:
    case DRM_FORMAT_XBGR8888:
    case DRM_FORMAT_RGBX8888:
    case DRM_FORMAT_BGRX8888:
    case DRM_FORMAT_ARGB8888:
    case DRM_FORMAT_ABGR8888:
    case DRM_FORMAT_RGBA8888:
    case DRM_FORMAT_BGRA8888:
    case DRM_FORMAT_XRGB2101010:
    case DRM_FORMAT_XBGR2101010:
    case DRM_FORMAT_RGBX1010102:
    case DRM_FORMAT_BGRX1010102:
    case DRM_FORMAT_ARGB2101010:
    case DRM_FORMAT_ABGR2101010:
    case DRM_FORMAT_RGBA1010102:
    case DRM_FORMAT_BGRA1010102:
      return 32;
    default:
      return 0;
  }
}

int drmGetBuffer(int fd, int width, int height, uint32_t fourcc, DrmBuffer* buffer) {
  if (width <= 0 || height <= 0 || fd < 0 || !buffer) {
    std::printf("%s: invalid parameters\n", "drmGetBuffer");
    return kInvalid;
  }
  platform::DrmApi& api = platform::drm();
  uint32_t lines = static_cast<uint32_t>(height);
  uint32_t bpp = 8;
  switch (fourcc) {
    case DRM_FORMAT_NV12:
      lines = static_cast<uint32_t>(height) * 3 / 2;
      break;
    case DRM_FORMAT_NV21:
    case DRM_FORMAT_YUV420:
    case DRM_FORMAT_YUV422:
    case DRM_FORMAT_YUV444:
      break;
    default: {
      const int b = drmBitsPerPixel(fourcc);
      if (b == 0) std::printf("unsupported pixel format %d\n", static_cast<int>(fourcc));
      bpp = static_cast<uint32_t>(b);
    }
  }

  uint32_t handle = 0, pitch = 0;
  uint64_t size = 0;
  int ret =
      api.createDumbBuffer(fd, static_cast<uint32_t>(width), lines, bpp, 0, &handle, &pitch, &size);
  if (ret != 0) {
    std::printf("failed to create dumb buffer: %s\n", std::strerror(-ret > 0 ? -ret : errno));
    return ret;
  }
  uint64_t offset = 0;
  if (api.mapDumbBuffer(fd, handle, &offset) != 0) {
    std::printf("failed to create map dumb: %s\n", std::strerror(errno));
    api.destroyDumbBuffer(fd, handle);
    return kInvalid;
  }
  void* map =
      api.mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(offset));
  if (map == MAP_FAILED) {
    std::printf("failed to mmap buffer: %s\n", std::strerror(errno));
    api.destroyDumbBuffer(fd, handle);
    return kInvalid;
  }
  int dmaFd = -1;
  // Close-on-exec: helper programs (the remux) must not inherit scan-out memory.
  if (api.primeHandleToFD(fd, handle, DRM_CLOEXEC | DRM_RDWR, &dmaFd) != 0) {
    std::printf("failed to get dmabuf fd: %s\n", std::strerror(errno));
    api.munmap(map, size);
    api.destroyDumbBuffer(fd, handle);
    return kInvalid;
  }
  uint32_t handles[4] = {handle, 0, 0, 0};
  uint32_t pitches[4] = {pitch, 0, 0, 0};
  uint32_t offsets[4] = {0, 0, 0, 0};
  if (fourcc == DRM_FORMAT_NV12) {
    handles[1] = handle;
    pitches[1] = pitch;
    offsets[1] = pitch * static_cast<uint32_t>(height);
  }
  uint32_t fbId = 0;
  ret = api.addFB2(fd, static_cast<uint32_t>(width), static_cast<uint32_t>(height), fourcc, handles,
                   pitches, offsets, &fbId, 0);
  if (ret != 0) {
    std::printf("failed to create fb_id %d\n", ret);
    ::close(dmaFd);
    api.munmap(map, size);
    api.destroyDumbBuffer(fd, handle);
    return ret;
  }
  buffer->fbId = fbId;
  buffer->handle = handle;
  buffer->size = size;
  buffer->pitch = pitch;
  buffer->map = map;
  buffer->dmaFd = dmaFd;
  // The framebuffer and the exported descriptor keep the memory alive.
  api.destroyDumbBuffer(fd, handle);
  return 0;
}

int drmReleaseBuffer(int fd, DrmBuffer* buffer) {
  if (!buffer) return kInvalid;
  platform::DrmApi& api = platform::drm();
  if (buffer->fbId) api.rmFB(fd, buffer->fbId);
  if (buffer->dmaFd >= 0) ::close(buffer->dmaFd);
  if (buffer->map) api.munmap(buffer->map, buffer->size);
  *buffer = DrmBuffer();
  return 0;
}

int drmCommit(const DrmBuffer* buffer, int width, int height, int crtcX, int crtcY,
              const DrmDevice* dev, int planeSelect) {
  if (!buffer || !dev || dev->fd < 0) {
    std::printf("%s: invalid parameters\n", "drmCommit");
    return kInvalid;
  }
  const DrmPlane& p = planeSelect == 1 ? dev->primary : dev->overlay;
  if (!p.plane || !dev->crtc) {
    std::printf("%s: invalid parameters\n", "drmCommit");
    return kInvalid;
  }
  if (width == 0) width = dev->crtc->mode.hdisplay;
  if (height == 0) height = dev->crtc->mode.vdisplay;

  platform::DrmApi& api = platform::drm();
  // The device's request is refilled for every frame, so showing a frame
  // allocates nothing; the lock covers a second presenter in the moment the
  // live picture and a playback hand over.
  static std::mutex requestLock;
  std::unique_lock<std::mutex> lock(requestLock);
  drmModeAtomicReq* req = dev->request;
  if (req) {
    api.atomicSetCursor(req, 0);
  } else {
    req = api.atomicAlloc();
    if (!req) return -12;  // -ENOMEM
  }
  const uint32_t obj = p.plane->plane_id;
  const struct {
    uint32_t prop;
    uint64_t value;
  } props[] = {
      {p.crtcId, dev->crtc->crtc_id},
      {p.fbId, buffer->fbId},
      {p.srcX, 0},
      {p.srcY, 0},
      {p.srcW, static_cast<uint64_t>(width) << 16},
      {p.srcH, static_cast<uint64_t>(height) << 16},
      {p.crtcX, static_cast<uint64_t>(crtcX)},
      {p.crtcY, static_cast<uint64_t>(crtcY)},
      {p.crtcW, static_cast<uint64_t>(width)},
      {p.crtcH, static_cast<uint64_t>(height)},
  };
  for (const auto& pv : props) {
    if (api.atomicAddProperty(req, obj, pv.prop, pv.value) < 0)
      std::printf("Failed to add prop[%d] to [%d]", static_cast<int>(pv.value),
                  static_cast<int>(pv.prop));
  }
  const int ret = api.atomicCommit(dev->fd, req, 0, nullptr);
  if (ret != 0)
    std::printf("atomic: couldn't commit new state: %s\n", std::strerror(-ret > 0 ? -ret : errno));
  if (req != dev->request) api.atomicFree(req);
  return ret;
}
