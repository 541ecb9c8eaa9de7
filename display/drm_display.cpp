#include "display/drm_display.h"

#include <drm_fourcc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/diag.h"
#include "platform/drm/drm_api.h"
#include "platform/drm/drm_formats.h"

namespace {

constexpr int kNoDevice = -19;  // -ENODEV
constexpr int kInvalid = -22;   // -EINVAL
constexpr uint32_t kNoCrtc = 0xFFFFFFFFu;

// Failures that would repeat with every frame.
diag::Throttle g_addFailures;
diag::Throttle g_commitFailures;

bool isPanelConnector(uint32_t type) {
  return type == DRM_MODE_CONNECTOR_LVDS || type == DRM_MODE_CONNECTOR_eDP ||
         type == DRM_MODE_CONNECTOR_DSI || type == DRM_MODE_CONNECTOR_DPI;
}

// Finds a property of an object by name; returns its id (0 if absent) and,
// when asked, its current value.
uint32_t findProperty(platform::DrmApi& api, int fd, const drmModeObjectProperties* props,
                      const char* name, uint64_t* value = nullptr) {
  for (uint32_t i = 0; props && i < props->count_props; ++i) {
    const platform::DrmProperty p(api, api.getProperty(fd, props->props[i]));
    if (!p || std::strcmp(p->name, name) != 0) continue;
    if (value) *value = props->prop_values[i];
    return p->prop_id;
  }
  return 0;
}

// First plane, in plane-resource order, that can sit on the CRTC and whose
// "type" property is `type`.
bool pickPlane(platform::DrmApi& api, int fd, int crtcIndex, uint64_t type, DrmPlane* out) {
  const platform::DrmPlaneResources res(api, api.getPlaneResources(fd));
  if (!res) return false;
  for (uint32_t i = 0; i < res->count_planes; ++i) {
    platform::DrmModePlane plane(api, api.getPlane(fd, res->planes[i]));
    if (!plane || !(plane->possible_crtcs & (1u << crtcIndex))) continue;
    const platform::DrmObjectProperties props(
        api, api.objectGetProperties(fd, plane->plane_id, DRM_MODE_OBJECT_PLANE));
    if (!props) {
      diag::out("failed to found props plane[%d] %s\n", plane->plane_id, std::strerror(errno));
      continue;
    }
    uint64_t planeType = ~0ull;
    if (findProperty(api, fd, props.get(), "type", &planeType) == 0 || planeType != type) continue;
    const drmModeObjectProperties* pp = props.get();
    out->crtcId = findProperty(api, fd, pp, "CRTC_ID");
    out->fbId = findProperty(api, fd, pp, "FB_ID");
    out->srcX = findProperty(api, fd, pp, "SRC_X");
    out->srcY = findProperty(api, fd, pp, "SRC_Y");
    out->srcW = findProperty(api, fd, pp, "SRC_W");
    out->srcH = findProperty(api, fd, pp, "SRC_H");
    out->crtcX = findProperty(api, fd, pp, "CRTC_X");
    out->crtcY = findProperty(api, fd, pp, "CRTC_Y");
    out->crtcW = findProperty(api, fd, pp, "CRTC_W");
    out->crtcH = findProperty(api, fd, pp, "CRTC_H");
    out->plane = std::move(plane);
    return true;
  }
  return false;
}

// The first property a commit sets that the plane lacks, or nullptr. Without
// one every commit would be refused, frame after frame.
const char* missingCommitProperty(const DrmPlane& p) {
  const std::pair<uint32_t, const char*> ids[] = {
      {p.crtcId, "CRTC_ID"}, {p.fbId, "FB_ID"},  {p.srcX, "SRC_X"},   {p.srcY, "SRC_Y"},
      {p.srcW, "SRC_W"},     {p.srcH, "SRC_H"},  {p.crtcX, "CRTC_X"}, {p.crtcY, "CRTC_Y"},
      {p.crtcW, "CRTC_W"},   {p.crtcH, "CRTC_H"}};
  for (const auto& [id, name] : ids)
    if (id == 0) return name;
  return nullptr;
}

bool setZpos(platform::DrmApi& api, int fd, const DrmPlane& p, uint64_t z) {
  const platform::DrmObjectProperties props(
      api, api.objectGetProperties(fd, p.plane->plane_id, DRM_MODE_OBJECT_PLANE));
  if (!props) return false;
  const uint32_t id = findProperty(api, fd, props.get(), "zpos");
  return id != 0 && api.objectSetProperty(fd, p.plane->plane_id, DRM_MODE_OBJECT_PLANE, id, z) == 0;
}

// The first connector, in resource order, of a panel type; connection state
// is not looked at.
platform::DrmConnector pickConnector(platform::DrmApi& api, int fd, const drmModeRes* res) {
  for (int i = 0; i < res->count_connectors; ++i) {
    platform::DrmConnector c(api, api.getConnector(fd, res->connectors[i]));
    if (c && isPanelConnector(c->connector_type)) return c;
  }
  return {};
}

// The CRTC driving the connector: its current encoder's, or else the lowest
// one any of its encoders can use. Returns the index in the resource list.
int pickCrtc(platform::DrmApi& api, int fd, const drmModeRes* res, const drmModeConnector* conn) {
  for (int i = 0; i < res->count_encoders; ++i) {
    if (res->encoders[i] != conn->encoder_id) continue;
    const platform::DrmEncoder enc(api, api.getEncoder(fd, res->encoders[i]));
    // An encoder that reports no CRTC (-1, or 0 before any mode was set) is
    // not bound yet: fall back to the encoders' possible CRTCs.
    if (enc && enc->crtc_id != kNoCrtc && enc->crtc_id != 0) {
      for (int c = 0; c < res->count_crtcs; ++c)
        if (res->crtcs[c] == enc->crtc_id) return c;
      return -1;
    }
    break;
  }
  uint32_t mask = 0;
  for (int i = 0; i < conn->count_encoders; ++i) {
    const platform::DrmEncoder enc(api, api.getEncoder(fd, conn->encoders[i]));
    if (enc) mask |= enc->possible_crtcs;
  }
  if (mask == 0) return -1;
  const int index = __builtin_ctz(mask);
  return index < res->count_crtcs ? index : -1;
}

}  // namespace

// Everything is gathered in owners first and handed to the device only when
// the whole path is found: a failure anywhere releases what was obtained.
int drmInit(DrmDevice* dev) {
  if (!dev) return kInvalid;
  drmDeinit(dev);
  platform::DrmApi& api = platform::drm();

  const int rawFd = api.open("rockchip", nullptr);
  if (rawFd < 0) {
    diag::out("failed to open rockchip drm: %s\n", std::strerror(errno));
    return rawFd;
  }
  platform::DrmFd file(api, rawFd);
  const int fd = file.get();

  int ret = api.setClientCap(fd, DRM_CLIENT_CAP_UNIVERSAL_PLANES, 1);
  if (ret == 0) ret = api.setClientCap(fd, DRM_CLIENT_CAP_ATOMIC, 1);
  if (ret != 0) {
    diag::out("Failed to set atomic cap %s", std::strerror(errno));
    return ret;
  }

  const platform::DrmResources res(api, api.getResources(fd));
  if (!res) {
    diag::out("Failed to get resources: %s\n", std::strerror(errno));
    return kNoDevice;
  }

  platform::DrmConnector connector = pickConnector(api, fd, res.get());
  if (!connector) {
    diag::out("failed to find connector");
    return kNoDevice;
  }

  const platform::DrmObjectProperties cprops(
      api, api.objectGetProperties(fd, connector->connector_id, DRM_MODE_OBJECT_CONNECTOR));
  if (!cprops) {
    diag::out("failed to found props connector[%d] %s\n", connector->connector_id,
              std::strerror(errno));
    return kNoDevice;
  }
  const uint32_t dpmsId = findProperty(api, fd, cprops.get(), "DPMS");
  platform::DrmProperty dpms;
  if (dpmsId != 0) dpms = platform::DrmProperty(api, api.getProperty(fd, dpmsId));
  if (!dpms) return kNoDevice;

  const int crtcIndex = pickCrtc(api, fd, res.get(), connector.get());
  platform::DrmCrtc crtc;
  if (crtcIndex >= 0) crtc = platform::DrmCrtc(api, api.getCrtc(fd, res->crtcs[crtcIndex]));
  if (!crtc) {
    diag::out("failed to find crtc connect to connector ");
    return kNoDevice;
  }

  DrmPlane primary, overlay;
  if (!pickPlane(api, fd, crtcIndex, DRM_PLANE_TYPE_PRIMARY, &primary) ||
      !pickPlane(api, fd, crtcIndex, DRM_PLANE_TYPE_OVERLAY, &overlay)) {
    diag::out("failed to found expected plane");
    return kNoDevice;
  }
  if (const char* missing = missingCommitProperty(overlay)) {
    diag::warning(diag::kDisplay, "overlay plane %u has no \"%s\" property: frames cannot be committed",
               overlay.plane->plane_id, missing);
    return kNoDevice;
  }

  // The interface on the primary plane lies above the picture.
  if (!setZpos(api, fd, primary, 1) || !setZpos(api, fd, overlay, 0)) {
    diag::out("%s: set zpos property failed!\n", "drmInit");
    return kNoDevice;
  }

  dev->fd = std::move(file);
  dev->crtcIndex = crtcIndex;
  dev->crtc = std::move(crtc);
  dev->connector = std::move(connector);
  dev->dpms = std::move(dpms);
  dev->primary = std::move(primary);
  dev->overlay = std::move(overlay);
  // Reused by every commit; without one each commit makes its own.
  dev->request = platform::DrmAtomicRequest(api, api.atomicAlloc());
  return 0;
}

void drmDeinit(DrmDevice* dev) {
  if (!dev) return;
  std::lock_guard<std::mutex> lock(dev->requestLock);
  dev->request.reset();
  dev->primary = DrmPlane();
  dev->overlay = DrmPlane();
  dev->dpms.reset();
  dev->crtc.reset();
  dev->connector.reset();
  dev->fd.reset();
  dev->crtcIndex = -1;
}

int drmGetBuffer(int fd, int width, int height, uint32_t fourcc, DrmBuffer* buffer) {
  if (width <= 0 || height <= 0 || fd < 0 || !buffer) {
    diag::out("%s: invalid parameters\n", "drmGetBuffer");
    return kInvalid;
  }
  platform::DrmApi& api = platform::drm();
  const platform::DrmFormat* format = platform::drmFormat(fourcc);
  if (!format) diag::out("unsupported pixel format %d\n", static_cast<int>(fourcc));
  const uint32_t bpp = format ? format->dumbBpp : 0;
  uint32_t lines = static_cast<uint32_t>(height);
  if (format && format->chromaBelow) lines = lines * 3 / 2;

  uint32_t handle = 0, pitch = 0;
  uint64_t size = 0;
  int ret =
      api.createDumbBuffer(fd, static_cast<uint32_t>(width), lines, bpp, 0, &handle, &pitch, &size);
  if (ret != 0) {
    diag::out("failed to create dumb buffer: %s\n", std::strerror(-ret > 0 ? -ret : errno));
    return ret;
  }
  uint64_t offset = 0;
  if (api.mapDumbBuffer(fd, handle, &offset) != 0) {
    diag::out("failed to create map dumb: %s\n", std::strerror(errno));
    api.destroyDumbBuffer(fd, handle);
    return kInvalid;
  }
  void* map =
      api.mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(offset));
  if (map == MAP_FAILED) {
    diag::out("failed to mmap buffer: %s\n", std::strerror(errno));
    api.destroyDumbBuffer(fd, handle);
    return kInvalid;
  }
  int exported = -1;
  // Close-on-exec: helper programs (the remux) must not inherit scan-out memory.
  if (api.primeHandleToFD(fd, handle, DRM_CLOEXEC | DRM_RDWR, &exported) != 0) {
    diag::out("failed to get dmabuf fd: %s\n", std::strerror(errno));
    api.munmap(map, size);
    api.destroyDumbBuffer(fd, handle);
    return kInvalid;
  }
  platform::UniqueFd dmaFd(exported);
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
    diag::out("failed to create fb_id %d\n", ret);
    api.munmap(map, size);
    api.destroyDumbBuffer(fd, handle);
    return ret;
  }
  buffer->release();
  buffer->fbId = fbId;
  buffer->handle = handle;
  buffer->size = size;
  buffer->pitch = pitch;
  buffer->map = map;
  buffer->dmaFd = std::move(dmaFd);
  buffer->api_ = &api;
  buffer->deviceFd_ = fd;
  // The framebuffer and the exported descriptor keep the memory alive.
  api.destroyDumbBuffer(fd, handle);
  return 0;
}

void DrmBuffer::release() {
  if (api_) {
    if (fbId) api_->rmFB(deviceFd_, fbId);
    if (map) api_->munmap(map, size);
  }
  dmaFd.reset();
  fbId = handle = pitch = 0;
  size = 0;
  map = nullptr;
  api_ = nullptr;
  deviceFd_ = -1;
}

void DrmBuffer::take(DrmBuffer& other) {
  fbId = std::exchange(other.fbId, 0);
  handle = std::exchange(other.handle, 0);
  size = std::exchange(other.size, 0);
  pitch = std::exchange(other.pitch, 0);
  map = std::exchange(other.map, nullptr);
  dmaFd = std::move(other.dmaFd);
  api_ = std::exchange(other.api_, nullptr);
  deviceFd_ = std::exchange(other.deviceFd_, -1);
}

// The buffer remembers the device that made it; `fd` is that device.
int drmReleaseBuffer(int /*fd*/, DrmBuffer* buffer) {
  if (!buffer) return kInvalid;
  buffer->release();
  return 0;
}

int drmCommit(const DrmBuffer* buffer, int width, int height, int crtcX, int crtcY,
              const DrmDevice* dev, int planeSelect) {
  if (!buffer || !dev || dev->fd.get() < 0) {
    diag::out("%s: invalid parameters\n", "drmCommit");
    return kInvalid;
  }
  const DrmPlane& p = planeSelect == 1 ? dev->primary : dev->overlay;
  if (!p.plane || !dev->crtc) {
    diag::out("%s: invalid parameters\n", "drmCommit");
    return kInvalid;
  }
  if (width == 0) width = dev->crtc->mode.hdisplay;
  if (height == 0) height = dev->crtc->mode.vdisplay;

  // The request belongs to the DrmApi that opened the device.
  platform::DrmApi& api = *dev->fd.api();
  std::lock_guard<std::mutex> lock(dev->requestLock);
  platform::DrmAtomicRequest own;
  drmModeAtomicReq* req = dev->request.get();
  if (req) {
    api.atomicSetCursor(req, 0);
  } else {
    own = platform::DrmAtomicRequest(api, api.atomicAlloc());
    req = own.get();
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
    if (api.atomicAddProperty(req, obj, pv.prop, pv.value) < 0 && g_addFailures.next())
      diag::out("Failed to add prop[%d] to [%d]", static_cast<int>(pv.value),
                static_cast<int>(pv.prop));
  }
  const int ret = api.atomicCommit(dev->fd.get(), req, 0, nullptr);
  if (ret != 0 && g_commitFailures.next())
    diag::out("atomic: couldn't commit new state: %s\n", std::strerror(-ret > 0 ? -ret : errno));
  return ret;
}
