#include "sim/sim_kms.h"

#include <drm_fourcc.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/drm/drm_formats.h"

namespace sim {

struct SimKms::Memory {
  platform::UniqueFd fd;
  uint8_t* map = nullptr;
  size_t size = 0;
  uint64_t offset = 0;  // fake offset for mmap on the DRM descriptor
  ~Memory() {
    if (map) ::munmap(map, size);
  }
};

namespace {

// An atomic request of this device. libdrm's request type is opaque to its
// users, so the seam hands this one out under that name.
struct AtomicReq {
  std::vector<SimKms::Change> items;
};

AtomicReq* asReq(drmModeAtomicReq* r) { return reinterpret_cast<AtomicReq*>(r); }

template <typename T>
T* calloced(size_t n = 1) {
  return static_cast<T*>(std::calloc(n ? n : 1, sizeof(T)));
}

template <typename T>
T* copyArray(const std::vector<T>& v) {
  T* out = calloced<T>(v.size());
  if (out && !v.empty()) std::memcpy(out, v.data(), v.size() * sizeof(T));
  return out;
}

int64_t monotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SimKms::SimKms(const SimKmsTopology& topology) : topo_(topology) {
  epochNs_ = monotonicNs();
  // The panel's timing: 320 x 360 at 60 Hz.
  mode_.hdisplay = kPanelWidth;
  mode_.hsync_start = 340;
  mode_.hsync_end = 350;
  mode_.htotal = 370;
  mode_.vdisplay = kPanelHeight;
  mode_.vsync_start = 370;
  mode_.vsync_end = 372;
  mode_.vtotal = 380;
  mode_.clock = 370 * 380 * 60 / 1000;
  mode_.vrefresh = 60;
  mode_.type = DRM_MODE_TYPE_PREFERRED | DRM_MODE_TYPE_DRIVER;
  std::snprintf(mode_.name, sizeof mode_.name, "%ux%u", kPanelWidth, kPanelHeight);

  const uint64_t u32max = std::numeric_limits<uint32_t>::max();
  const uint64_t i32max = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
  const uint32_t atomicFlag = DRM_MODE_PROP_ATOMIC;
  const uint32_t propType = addProperty("type", DRM_MODE_PROP_ENUM | DRM_MODE_PROP_IMMUTABLE, {},
                                        {{0, "Overlay"}, {1, "Primary"}, {2, "Cursor"}});
  const uint32_t propFb =
      addProperty("FB_ID", DRM_MODE_PROP_OBJECT | atomicFlag, {DRM_MODE_OBJECT_FB});
  const uint32_t propCrtc =
      addProperty("CRTC_ID", DRM_MODE_PROP_OBJECT | atomicFlag, {DRM_MODE_OBJECT_CRTC});
  std::vector<uint32_t> rect;
  for (const char* n : {"SRC_X", "SRC_Y", "SRC_W", "SRC_H"})
    rect.push_back(addProperty(n, DRM_MODE_PROP_RANGE | atomicFlag, {0, u32max}));
  for (const char* n : {"CRTC_X", "CRTC_Y"})
    rect.push_back(
        addProperty(n, DRM_MODE_PROP_SIGNED_RANGE | atomicFlag,
                    {static_cast<uint64_t>(int64_t{std::numeric_limits<int32_t>::min()}), i32max}));
  for (const char* n : {"CRTC_W", "CRTC_H"})
    rect.push_back(addProperty(n, DRM_MODE_PROP_RANGE | atomicFlag, {0, i32max}));
  const uint32_t propDpms = addProperty("DPMS", DRM_MODE_PROP_ENUM, {},
                                        {{DRM_MODE_DPMS_ON, "On"},
                                         {DRM_MODE_DPMS_STANDBY, "Standby"},
                                         {DRM_MODE_DPMS_SUSPEND, "Suspend"},
                                         {DRM_MODE_DPMS_OFF, "Off"}});
  const uint32_t propConnCrtc =
      addProperty("CRTC_ID", DRM_MODE_PROP_OBJECT | atomicFlag, {DRM_MODE_OBJECT_CRTC});
  const uint32_t propActive = addProperty("ACTIVE", DRM_MODE_PROP_RANGE | atomicFlag, {0, 1});
  const uint32_t propMode = addProperty("MODE_ID", DRM_MODE_PROP_BLOB | atomicFlag, {});

  // CRTCs.
  for (uint32_t id : {kCrtcUnused, kCrtcPanel}) {
    Object o{id, DRM_MODE_OBJECT_CRTC, {propActive, propMode}, {}};
    o.values[propActive] = id == kCrtcPanel ? 1 : 0;
    o.values[propMode] = 0;
    objects_[id] = o;
    crtcs_.push_back(id);
  }
  // Planes: each gets its own zpos, as the kernel makes them.
  planes_ = {
      {kPlanePrimary0, 1u << 0, 1, {DRM_FORMAT_XRGB8888, DRM_FORMAT_ARGB8888, DRM_FORMAT_RGB565}},
      {kPlanePrimary,
       1u << 1,
       1,
       {DRM_FORMAT_XRGB8888, DRM_FORMAT_ARGB8888, DRM_FORMAT_XBGR8888, DRM_FORMAT_ABGR8888,
        DRM_FORMAT_RGB888, DRM_FORMAT_BGR888, DRM_FORMAT_RGB565}},
      {kPlaneOverlay,
       1u << 1,
       0,
       {DRM_FORMAT_NV12, DRM_FORMAT_NV21, DRM_FORMAT_XRGB8888, DRM_FORMAT_ARGB8888,
        DRM_FORMAT_RGB888, DRM_FORMAT_RGB565}},
  };
  for (const Plane& p : planes_) {
    Object o{p.id, DRM_MODE_OBJECT_PLANE, {propType, propFb, propCrtc}, {}};
    o.props.insert(o.props.end(), rect.begin(), rect.end());
    if (p.id == kPlaneOverlay && !topo_.overlayLacks.empty())
      o.props.erase(
          std::remove_if(o.props.begin(), o.props.end(),
                         [&](uint32_t id) { return props_[id].name == topo_.overlayLacks; }),
          o.props.end());
    const bool zpos = p.id == kPlaneOverlay ? topo_.overlayZpos : topo_.primaryZpos;
    if (zpos) {
      const uint32_t z = addProperty("zpos", DRM_MODE_PROP_RANGE, {0, 3});
      o.props.push_back(z);
      o.values[z] = p.type == 1 ? 0 : 1;  // the driver's default stacking
    }
    for (uint32_t pid : o.props)
      if (!o.values.count(pid)) o.values[pid] = 0;
    o.values[propType] = p.type;
    objects_[p.id] = o;
  }
  // Encoders and connectors.
  uint32_t panelEncoderCrtc = kCrtcPanel;
  if (topo_.encoderCrtc == SimKmsTopology::EncoderCrtc::None) panelEncoderCrtc = 0xFFFFFFFFu;
  if (topo_.encoderCrtc == SimKmsTopology::EncoderCrtc::Zero) panelEncoderCrtc = 0;
  objects_[kEncoderPanel] = Object{kEncoderPanel, DRM_MODE_OBJECT_ENCODER, {}, {}};
  objects_[kEncoderPanel].values[0] = panelEncoderCrtc;  // crtc id kept under key 0
  if (topo_.hdmiFirst) {
    objects_[kEncoderHdmi] = Object{kEncoderHdmi, DRM_MODE_OBJECT_ENCODER, {}, {}};
    objects_[kEncoderHdmi].values[0] = kCrtcUnused;
    encoders_.push_back(kEncoderHdmi);
    Object c{kConnectorHdmi, DRM_MODE_OBJECT_CONNECTOR, {propConnCrtc}, {}};
    if (topo_.dpms) c.props.insert(c.props.begin(), propDpms);
    for (uint32_t pid : c.props) c.values[pid] = 0;
    c.values[propConnCrtc] = kCrtcUnused;
    objects_[kConnectorHdmi] = c;
    connectors_.push_back(kConnectorHdmi);
  }
  encoders_.push_back(kEncoderPanel);
  Object c{kConnectorPanel, DRM_MODE_OBJECT_CONNECTOR, {propConnCrtc}, {}};
  if (topo_.dpms) c.props.insert(c.props.begin(), propDpms);
  for (uint32_t pid : c.props) c.values[pid] = 0;
  c.values[propConnCrtc] = kCrtcPanel;
  objects_[kConnectorPanel] = c;
  connectors_.push_back(kConnectorPanel);
}

SimKms::~SimKms() {
  std::lock_guard<std::mutex> lock(mu_);
  files_.clear();
  fbs_.clear();
}

uint32_t SimKms::addProperty(const std::string& name, uint32_t flags, std::vector<uint64_t> values,
                             std::vector<std::pair<uint64_t, std::string>> enums) {
  Property p{nextPropId_++, name, flags, std::move(values), std::move(enums)};
  props_[p.id] = p;
  return p.id;
}

SimKms::File* SimKms::file(int fd) {
  const auto it = files_.find(fd);
  if (it == files_.end()) {
    errno = EBADF;
    return nullptr;
  }
  return &it->second;
}

SimKms::Object* SimKms::object(uint32_t id) {
  const auto it = objects_.find(id);
  return it == objects_.end() ? nullptr : &it->second;
}

const SimKms::Property* SimKms::property(uint32_t id) const {
  const auto it = props_.find(id);
  return it == props_.end() ? nullptr : &it->second;
}

uint32_t SimKms::propertyId(const Object& o, const std::string& name) const {
  for (uint32_t pid : o.props)
    if (property(pid)->name == name) return pid;
  return 0;
}

// ---- test views -------------------------------------------------------------

bool SimKms::overlayFrame(PanelFrame* out) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (!overlayValid_ || !out) return false;
  out->fbId = overlay_.fbId;
  out->format = overlay_.format;
  out->width = overlay_.width;
  out->height = overlay_.height;
  out->pitch = overlay_.pitch;
  out->commit = overlay_.commit;
  out->bytes.assign(overlay_.bytes.begin(), overlay_.bytes.end());
  return true;
}

void SimKms::setCommitListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(mu_);
  listener_ =
      listener ? std::make_shared<const std::function<void()>>(std::move(listener)) : nullptr;
}

uint32_t SimKms::planeFb(uint32_t planeId) const {
  return static_cast<uint32_t>(planeProperty(planeId, "FB_ID"));
}

uint64_t SimKms::planeProperty(uint32_t planeId, const std::string& name) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = objects_.find(planeId);
  if (it == objects_.end()) return 0;
  const uint32_t pid = propertyId(it->second, name);
  const auto v = it->second.values.find(pid);
  return pid && v != it->second.values.end() ? v->second : 0;
}

uint64_t SimKms::commits() const {
  std::lock_guard<std::mutex> lock(mu_);
  return commits_;
}

size_t SimKms::liveBuffers() const {
  std::lock_guard<std::mutex> lock(mu_);
  size_t n = 0;
  for (const auto& [off, w] : memories_) n += w.expired() ? 0 : 1;
  return n;
}

void SimKms::failNextCommits(int error, int times) {
  std::lock_guard<std::mutex> lock(mu_);
  failError_ = error;
  failTimes_ = times;
}

// ---- device -----------------------------------------------------------------

int SimKms::open(const char* name, const char* busid) {
  if (!name || std::strcmp(name, "rockchip") != 0 || (busid && *busid)) {
    errno = ENODEV;
    return -1;
  }
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  files_[fd].fd.reset(fd);
  return fd;
}

int SimKms::close(int fd) {
  std::shared_ptr<const std::function<void()>> listener;
  int rc;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!file(fd)) return -1;
    // The file's framebuffers go with it, taking them off any plane.
    const bool shown = overlayValid_;
    std::vector<uint32_t> mine;
    for (const auto& [id, fb] : fbs_)
      if (fb.owner == fd) mine.push_back(id);
    for (uint32_t id : mine) dropFramebuffer(id);
    rc = files_.extract(fd).mapped().fd.reset();
    if (shown && !overlayValid_) listener = listener_;
  }
  if (listener) (*listener)();  // the panel goes dark
  return rc;
}

int SimKms::setClientCap(int fd, uint64_t capability, uint64_t value) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return -1;
  if (value > 1 ||
      (capability != DRM_CLIENT_CAP_UNIVERSAL_PLANES && capability != DRM_CLIENT_CAP_ATOMIC &&
       capability != DRM_CLIENT_CAP_STEREO_3D)) {
    errno = EINVAL;
    return -1;
  }
  if (capability == DRM_CLIENT_CAP_UNIVERSAL_PLANES) f->universalPlanes = value;
  if (capability == DRM_CLIENT_CAP_ATOMIC) {
    f->atomic = value;
    if (value) f->universalPlanes = true;  // atomic implies universal planes
  }
  return 0;
}

drmModeRes* SimKms::getResources(int fd) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return nullptr;
  drmModeRes* r = calloced<drmModeRes>();
  std::vector<uint32_t> fbs;
  for (const auto& [id, fb] : fbs_)
    if (fb.owner == fd) fbs.push_back(id);
  r->count_fbs = static_cast<int>(fbs.size());
  r->fbs = copyArray(fbs);
  r->count_crtcs = static_cast<int>(crtcs_.size());
  r->crtcs = copyArray(crtcs_);
  r->count_connectors = static_cast<int>(connectors_.size());
  r->connectors = copyArray(connectors_);
  r->count_encoders = static_cast<int>(encoders_.size());
  r->encoders = copyArray(encoders_);
  r->min_width = r->min_height = 1;
  r->max_width = r->max_height = 4096;
  return r;
}
void SimKms::freeResources(drmModeRes* res) { drmModeFreeResources(res); }

drmModeConnector* SimKms::getConnector(int fd, uint32_t connectorId) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return nullptr;
  Object* o = object(connectorId);
  if (!o || o->type != DRM_MODE_OBJECT_CONNECTOR) {
    errno = ENOENT;
    return nullptr;
  }
  const bool hdmi = connectorId == kConnectorHdmi;
  drmModeConnector* c = calloced<drmModeConnector>();
  c->connector_id = connectorId;
  c->encoder_id = hdmi ? kEncoderHdmi : kEncoderPanel;
  c->connector_type = hdmi ? DRM_MODE_CONNECTOR_HDMIA : topo_.panelConnectorType;
  c->connector_type_id = 1;
  c->connection = DRM_MODE_CONNECTED;
  c->mmWidth = 38;
  c->mmHeight = 43;
  c->subpixel = DRM_MODE_SUBPIXEL_UNKNOWN;
  std::vector<drmModeModeInfo> modes{mode_};
  if (hdmi) {
    drmModeModeInfo m{};
    m.hdisplay = 1920;
    m.vdisplay = 1080;
    m.vrefresh = 60;
    m.clock = 148500;
    m.htotal = 2200;
    m.vtotal = 1125;
    std::snprintf(m.name, sizeof m.name, "1920x1080");
    modes = {m};
  }
  c->count_modes = static_cast<int>(modes.size());
  c->modes = copyArray(modes);
  std::vector<uint32_t> props;
  std::vector<uint64_t> values;
  const bool atomic = file(fd)->atomic;
  for (uint32_t pid : o->props) {
    if ((property(pid)->flags & DRM_MODE_PROP_ATOMIC) && !atomic) continue;
    props.push_back(pid);
    values.push_back(o->values[pid]);
  }
  c->count_props = static_cast<int>(props.size());
  c->props = copyArray(props);
  c->prop_values = copyArray(values);
  c->count_encoders = 1;
  c->encoders = copyArray(std::vector<uint32_t>{c->encoder_id});
  return c;
}
void SimKms::freeConnector(drmModeConnector* c) { drmModeFreeConnector(c); }

drmModeEncoder* SimKms::getEncoder(int fd, uint32_t encoderId) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return nullptr;
  Object* o = object(encoderId);
  if (!o || o->type != DRM_MODE_OBJECT_ENCODER) {
    errno = ENOENT;
    return nullptr;
  }
  drmModeEncoder* e = calloced<drmModeEncoder>();
  e->encoder_id = encoderId;
  e->encoder_type = encoderId == kEncoderHdmi ? DRM_MODE_ENCODER_TMDS : DRM_MODE_ENCODER_DSI;
  e->crtc_id = static_cast<uint32_t>(o->values[0]);
  e->possible_crtcs = encoderId == kEncoderHdmi ? 1u << 0 : 1u << 1;
  return e;
}
void SimKms::freeEncoder(drmModeEncoder* e) { drmModeFreeEncoder(e); }

drmModeCrtc* SimKms::getCrtc(int fd, uint32_t crtcId) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return nullptr;
  Object* o = object(crtcId);
  if (!o || o->type != DRM_MODE_OBJECT_CRTC) {
    errno = ENOENT;
    return nullptr;
  }
  drmModeCrtc* c = calloced<drmModeCrtc>();
  c->crtc_id = crtcId;
  if (crtcId == kCrtcPanel) {
    c->mode_valid = 1;
    c->mode = mode_;
    c->width = kPanelWidth;
    c->height = kPanelHeight;
    const Object& primary = objects_[kPlanePrimary];
    c->buffer_id = static_cast<uint32_t>(primary.values.at(propertyId(primary, "FB_ID")));
  }
  c->gamma_size = 1024;
  return c;
}
void SimKms::freeCrtc(drmModeCrtc* c) { drmModeFreeCrtc(c); }

drmModePlaneRes* SimKms::getPlaneResources(int fd) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return nullptr;
  std::vector<uint32_t> ids;
  for (const Plane& p : planes_)
    if (f->universalPlanes || p.type == 0) ids.push_back(p.id);  // legacy clients: overlays only
  drmModePlaneRes* r = calloced<drmModePlaneRes>();
  r->count_planes = static_cast<uint32_t>(ids.size());
  r->planes = copyArray(ids);
  return r;
}
void SimKms::freePlaneResources(drmModePlaneRes* r) { drmModeFreePlaneResources(r); }

drmModePlane* SimKms::getPlane(int fd, uint32_t planeId) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return nullptr;
  const auto it = std::find_if(planes_.begin(), planes_.end(),
                               [planeId](const Plane& p) { return p.id == planeId; });
  if (it == planes_.end()) {
    errno = ENOENT;
    return nullptr;
  }
  const Object& o = objects_[planeId];
  drmModePlane* p = calloced<drmModePlane>();
  p->plane_id = planeId;
  p->possible_crtcs = it->possibleCrtcs;
  p->count_formats = static_cast<uint32_t>(it->formats.size());
  p->formats = copyArray(it->formats);
  // A topology may leave a property out: it reads as 0.
  const auto value = [&](const char* name) -> uint64_t {
    const auto v = o.values.find(propertyId(o, name));
    return v == o.values.end() ? 0 : v->second;
  };
  p->crtc_id = static_cast<uint32_t>(value("CRTC_ID"));
  p->fb_id = static_cast<uint32_t>(value("FB_ID"));
  p->crtc_x = static_cast<uint32_t>(value("CRTC_X"));
  p->crtc_y = static_cast<uint32_t>(value("CRTC_Y"));
  p->x = static_cast<uint32_t>(value("SRC_X") >> 16);
  p->y = static_cast<uint32_t>(value("SRC_Y") >> 16);
  return p;
}
void SimKms::freePlane(drmModePlane* p) { drmModeFreePlane(p); }

drmModeObjectProperties* SimKms::objectGetProperties(int fd, uint32_t objectId,
                                                     uint32_t objectType) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return nullptr;
  Object* o = object(objectId);
  if (!o || (objectType != DRM_MODE_OBJECT_ANY && objectType != o->type) ||
      o->type == DRM_MODE_OBJECT_ENCODER) {
    errno = ENOENT;
    return nullptr;
  }
  std::vector<uint32_t> ids;
  std::vector<uint64_t> values;
  for (uint32_t pid : o->props) {
    if ((property(pid)->flags & DRM_MODE_PROP_ATOMIC) && !f->atomic) continue;
    ids.push_back(pid);
    values.push_back(o->values[pid]);
  }
  drmModeObjectProperties* p = calloced<drmModeObjectProperties>();
  p->count_props = static_cast<uint32_t>(ids.size());
  p->props = copyArray(ids);
  p->prop_values = copyArray(values);
  return p;
}
void SimKms::freeObjectProperties(drmModeObjectProperties* p) { drmModeFreeObjectProperties(p); }

drmModePropertyRes* SimKms::getProperty(int fd, uint32_t propertyId) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return nullptr;
  const Property* p = property(propertyId);
  if (!p) {
    errno = ENOENT;
    return nullptr;
  }
  drmModePropertyRes* r = calloced<drmModePropertyRes>();
  r->prop_id = p->id;
  r->flags = p->flags;
  std::strncpy(r->name, p->name.c_str(), DRM_PROP_NAME_LEN - 1);
  if (p->flags & DRM_MODE_PROP_ENUM) {
    std::vector<uint64_t> values;
    std::vector<drm_mode_property_enum> enums;
    for (const auto& [v, n] : p->enums) {
      values.push_back(v);
      drm_mode_property_enum e{};
      e.value = v;
      std::strncpy(e.name, n.c_str(), DRM_PROP_NAME_LEN - 1);
      enums.push_back(e);
    }
    r->count_values = static_cast<int>(values.size());
    r->values = copyArray(values);
    r->count_enums = static_cast<int>(enums.size());
    r->enums = copyArray(enums);
  } else {
    r->count_values = static_cast<int>(p->values.size());
    r->values = copyArray(p->values);
  }
  return r;
}
void SimKms::freeProperty(drmModePropertyRes* p) { drmModeFreeProperty(p); }

int SimKms::checkValue(const Property& p, uint64_t value, uint32_t) const {
  if (p.flags & DRM_MODE_PROP_IMMUTABLE) return -EINVAL;
  if (p.flags & DRM_MODE_PROP_RANGE) {
    if (value < p.values[0] || value > p.values[1]) return -EINVAL;
  } else if (p.flags & DRM_MODE_PROP_SIGNED_RANGE) {
    const int64_t v = static_cast<int64_t>(value);
    if (v < static_cast<int64_t>(p.values[0]) || v > static_cast<int64_t>(p.values[1]))
      return -EINVAL;
  } else if (p.flags & DRM_MODE_PROP_ENUM) {
    if (std::none_of(p.enums.begin(), p.enums.end(),
                     [value](const auto& e) { return e.first == value; }))
      return -EINVAL;
  } else if (p.flags & DRM_MODE_PROP_OBJECT) {
    if (value == 0) return 0;
    if (value > std::numeric_limits<uint32_t>::max()) return -EINVAL;
    const uint32_t id = static_cast<uint32_t>(value);
    if (p.values[0] == DRM_MODE_OBJECT_FB) return fbs_.count(id) ? 0 : -ENOENT;
    const auto it = objects_.find(id);
    if (it == objects_.end() || it->second.type != p.values[0]) return -ENOENT;
  } else if (p.flags & DRM_MODE_PROP_BLOB) {
    if (value != 0) return -ENOENT;  // no mode blobs are made here
  }
  return 0;
}

int SimKms::objectSetProperty(int fd, uint32_t objectId, uint32_t objectType, uint32_t propertyId,
                              uint64_t value) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file(fd)) return -EBADF;
  Object* o = object(objectId);
  if (!o || (objectType != DRM_MODE_OBJECT_ANY && objectType != o->type)) return -ENOENT;
  const Property* p = property(propertyId);
  if (!p || std::find(o->props.begin(), o->props.end(), propertyId) == o->props.end())
    return -EINVAL;
  // The legacy path sets plain properties only; plane state goes through atomic.
  if (p->flags & DRM_MODE_PROP_ATOMIC) return -EINVAL;
  const int rc = checkValue(*p, value, o->type);
  if (rc) return rc;
  o->values[propertyId] = value;
  return 0;
}

// ---- buffers ----------------------------------------------------------------

int SimKms::createDumbBuffer(int fd, uint32_t width, uint32_t height, uint32_t bpp, uint32_t flags,
                             uint32_t* handle, uint32_t* pitch, uint64_t* size) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return -EBADF;
  if (!handle || !pitch || !size) return -EFAULT;
  if (width == 0 || height == 0 || bpp == 0 || flags != 0 || width > 8192 || height > 8192 ||
      bpp > 64)
    return -EINVAL;
  const uint64_t stride = ((static_cast<uint64_t>(width) * ((bpp + 7) / 8)) + 63) / 64 * 64;
  const uint64_t bytes = stride * height;
  auto mem = std::make_shared<Memory>();
  mem->fd.reset(::memfd_create("sim-dumb", MFD_CLOEXEC));
  if (!mem->fd.valid() || ::ftruncate(mem->fd.get(), static_cast<off_t>(bytes)) != 0)
    return -ENOMEM;
  void* m = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, mem->fd.get(), 0);
  if (m == MAP_FAILED) return -ENOMEM;
  mem->map = static_cast<uint8_t*>(m);
  mem->size = bytes;
  mem->offset = (nextMemory_++) << 24;
  memories_[mem->offset] = mem;
  const uint32_t h = f->nextHandle++;
  f->handles[h] = mem;
  *handle = h;
  *pitch = static_cast<uint32_t>(stride);
  *size = bytes;
  return 0;
}

int SimKms::mapDumbBuffer(int fd, uint32_t handle, uint64_t* offset) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return -EBADF;
  const auto it = f->handles.find(handle);
  if (it == f->handles.end()) return -ENOENT;
  if (!offset) return -EFAULT;
  *offset = it->second->offset;
  return 0;
}

int SimKms::destroyDumbBuffer(int fd, uint32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return -EBADF;
  // Framebuffers and exported descriptors keep the memory.
  return f->handles.erase(handle) ? 0 : -EINVAL;
}

void* SimKms::mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  std::shared_ptr<Memory> mem;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (files_.count(fd)) {
      const auto it = memories_.find(static_cast<uint64_t>(offset));
      mem = it == memories_.end() ? nullptr : it->second.lock();
      if (!mem || length == 0 || length > mem->size) {
        errno = EINVAL;
        return MAP_FAILED;
      }
    }
  }
  if (!mem) return ::mmap(addr, length, prot, flags, fd, offset);  // not ours: a dma-buf, say
  return ::mmap(addr, length, prot, flags, mem->fd.get(), 0);
}

int SimKms::munmap(void* addr, size_t length) { return ::munmap(addr, length); }

int SimKms::primeHandleToFD(int fd, uint32_t handle, uint32_t flags, int* primeFd) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return -1;
  const auto it = f->handles.find(handle);
  if (!primeFd || it == f->handles.end() || (flags & ~(DRM_CLOEXEC | DRM_RDWR))) {
    errno = primeFd ? ENOENT : EFAULT;
    return -1;
  }
  const int out = ::fcntl(it->second->fd.get(), (flags & DRM_CLOEXEC) ? F_DUPFD_CLOEXEC : F_DUPFD, 0);
  if (out < 0) return -1;
  *primeFd = out;
  return 0;
}

int SimKms::addFB2(int fd, uint32_t width, uint32_t height, uint32_t pixelFormat,
                   const uint32_t handles[4], const uint32_t pitches[4], const uint32_t offsets[4],
                   uint32_t* fbId, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mu_);
  File* f = file(fd);
  if (!f) return -EBADF;
  if (!handles || !pitches || !offsets || !fbId) return -EFAULT;
  const platform::DrmFormat* info = platform::drmFormat(pixelFormat);
  if (!info || flags != 0 || width == 0 || height == 0 || width > 4096 || height > 4096)
    return -EINVAL;
  Framebuffer fb;
  for (int i = 0; i < info->planes; ++i) {
    const auto it = f->handles.find(handles[i]);
    if (it == f->handles.end()) return -ENOENT;
    if (fb.memory && fb.memory != it->second) return -EINVAL;  // one memory per framebuffer here
    fb.memory = it->second;
    const uint64_t w = i == 0 ? width : (width + info->hsub - 1) / info->hsub;
    const uint64_t h = i == 0 ? height : (height + info->vsub - 1) / info->vsub;
    const uint64_t rowBytes = w * info->cpp[i];
    if (pitches[i] < rowBytes) return -EINVAL;
    const uint64_t end = offsets[i] + static_cast<uint64_t>(pitches[i]) * (h - 1) + rowBytes;
    if (end > fb.memory->size) return -EINVAL;
    fb.pitches[i] = pitches[i];
    fb.offsets[i] = offsets[i];
  }
  fb.id = nextFbId_++;
  fb.owner = fd;
  fb.width = width;
  fb.height = height;
  fb.format = pixelFormat;
  fbs_[fb.id] = fb;
  *fbId = fb.id;
  return 0;
}

void SimKms::dropFramebuffer(uint32_t fbId) {
  for (const Plane& p : planes_) {
    Object& o = objects_[p.id];
    const uint32_t fbProp = propertyId(o, "FB_ID");
    if (o.values[fbProp] == fbId) {
      o.values[fbProp] = 0;
      o.values[propertyId(o, "CRTC_ID")] = 0;
      if (p.id == kPlaneOverlay) overlayValid_ = false;
    }
  }
  fbs_.erase(fbId);
}

int SimKms::rmFB(int fd, uint32_t fbId) {
  std::shared_ptr<const std::function<void()>> listener;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!file(fd)) return -EBADF;
    const auto it = fbs_.find(fbId);
    if (it == fbs_.end() || it->second.owner != fd) return -ENOENT;
    const bool shown = overlayValid_;
    dropFramebuffer(fbId);
    if (shown && !overlayValid_) listener = listener_;
  }
  if (listener) (*listener)();
  return 0;
}

// ---- atomic -----------------------------------------------------------------

drmModeAtomicReq* SimKms::atomicAlloc() {
  return reinterpret_cast<drmModeAtomicReq*>(new AtomicReq);
}

int SimKms::atomicAddProperty(drmModeAtomicReq* req, uint32_t objectId, uint32_t propertyId,
                              uint64_t value) {
  if (!req) return -EINVAL;
  AtomicReq* r = asReq(req);
  r->items.push_back({objectId, propertyId, value});
  return static_cast<int>(r->items.size());
}

void SimKms::atomicFree(drmModeAtomicReq* req) { delete asReq(req); }

void SimKms::atomicSetCursor(drmModeAtomicReq* req, int cursor) {
  if (!req || cursor < 0) return;
  AtomicReq* r = asReq(req);
  if (static_cast<size_t>(cursor) < r->items.size()) r->items.resize(static_cast<size_t>(cursor));
}

uint64_t SimKms::pendingValue(const Object& o, const std::string& name,
                              const std::vector<Change>& changes) const {
  const uint32_t pid = propertyId(o, name);
  for (auto it = changes.rbegin(); it != changes.rend(); ++it)
    if (it->object == o.id && it->property == pid) return it->value;
  const auto v = o.values.find(pid);
  return v == o.values.end() ? 0 : v->second;
}

int SimKms::checkPlanes(const std::vector<Change>& changes) const {
  for (const Plane& pl : planes_) {
    const Object& o = objects_.at(pl.id);
    auto val = [&](const char* n) { return pendingValue(o, n, changes); };
    const uint64_t fbId = val("FB_ID"), crtcId = val("CRTC_ID");
    if (!fbId && !crtcId) continue;
    if (!fbId || !crtcId) return -EINVAL;  // a plane needs both or neither
    const auto crtcIt = std::find(crtcs_.begin(), crtcs_.end(), static_cast<uint32_t>(crtcId));
    const unsigned crtcIndex = static_cast<unsigned>(crtcIt - crtcs_.begin());
    if (!(pl.possibleCrtcs & (1u << crtcIndex))) return -EINVAL;
    if (!pendingValue(objects_.at(static_cast<uint32_t>(crtcId)), "ACTIVE", changes))
      return -EINVAL;
    const Framebuffer& fb = fbs_.at(static_cast<uint32_t>(fbId));
    if (std::find(pl.formats.begin(), pl.formats.end(), fb.format) == pl.formats.end())
      return -EINVAL;
    const uint64_t sx = val("SRC_X"), sy = val("SRC_Y"), sw = val("SRC_W"), sh = val("SRC_H");
    if (sw == 0 || sh == 0 || val("CRTC_W") == 0 || val("CRTC_H") == 0) return -EINVAL;
    if (sx + sw > (uint64_t{fb.width} << 16) || sy + sh > (uint64_t{fb.height} << 16))
      return -ENOSPC;  // source outside the framebuffer
  }
  return 0;
}

void SimKms::latchOverlay() {
  const Object& o = objects_[kPlaneOverlay];
  const uint32_t fbId = static_cast<uint32_t>(o.values.at(propertyId(o, "FB_ID")));
  const auto it = fbs_.find(fbId);
  if (!fbId || it == fbs_.end()) {
    overlayValid_ = false;
    return;
  }
  const Framebuffer& fb = it->second;
  overlay_.fbId = fbId;
  overlay_.format = fb.format;
  overlay_.width = fb.width;
  overlay_.height = fb.height;
  overlay_.pitch = fb.pitches[0];
  overlay_.commit = commits_;
  // What scan-out reads at this vertical blank: luma, then chroma for NV12.
  const size_t luma = static_cast<size_t>(fb.pitches[0]) * fb.height;
  const platform::DrmFormat* info = platform::drmFormat(fb.format);
  const bool twoPlanes = info && info->planes == 2;
  const size_t total =
      twoPlanes ? luma + static_cast<size_t>(fb.pitches[0]) * (fb.height / 2) : luma;
  overlay_.bytes.resize(total);
  // Row by row, each plane with its own pitch: only the rows' pixels are
  // known to lie inside the buffer, not a whole last pitch.
  const size_t rowBytes = static_cast<size_t>(fb.width) * (info ? info->cpp[0] : 1);
  for (uint32_t y = 0; y < fb.height; ++y)
    std::memcpy(overlay_.bytes.data() + static_cast<size_t>(y) * fb.pitches[0],
                fb.memory->map + fb.offsets[0] + static_cast<size_t>(y) * fb.pitches[0], rowBytes);
  if (twoPlanes)
    for (uint32_t y = 0; y < fb.height / 2; ++y)
      std::memcpy(overlay_.bytes.data() + luma + static_cast<size_t>(y) * fb.pitches[0],
                  fb.memory->map + fb.offsets[1] + static_cast<size_t>(y) * fb.pitches[1],
                  rowBytes);
  overlayValid_ = true;
}

int SimKms::atomicCommit(int fd, drmModeAtomicReq* req, uint32_t flags, void*) {
  std::shared_ptr<const std::function<void()>> listener;
  int64_t vblankNs = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    File* f = file(fd);
    if (!f) return -EBADF;
    if (!f->atomic || !req) return -EINVAL;
    const uint32_t known =
        DRM_MODE_ATOMIC_TEST_ONLY | DRM_MODE_ATOMIC_NONBLOCK | DRM_MODE_ATOMIC_ALLOW_MODESET;
    if (flags & ~known) return -EINVAL;  // no page-flip events from this device
    if (failTimes_ > 0) {
      --failTimes_;
      return -failError_;
    }
    // Checked in place against the current state: nothing is copied per frame.
    const std::vector<Change>& changes = asReq(req)->items;
    for (const Change& c : changes) {
      const auto o = objects_.find(c.object);
      if (o == objects_.end()) return -ENOENT;
      const Property* p = property(c.property);
      if (!p || std::find(o->second.props.begin(), o->second.props.end(), c.property) ==
                    o->second.props.end())
        return -ENOENT;
      const int rc = checkValue(*p, c.value, o->second.type);
      if (rc) return rc;
    }
    const int rc = checkPlanes(changes);
    if (rc) return rc;
    if (flags & DRM_MODE_ATOMIC_TEST_ONLY) return 0;
    for (const Change& c : changes) objects_[c.object].values[c.property] = c.value;
    ++commits_;
    listener = listener_;
    if (topo_.waitForVblank && !(flags & DRM_MODE_ATOMIC_NONBLOCK)) {
      const int64_t period = 1000000000LL / 60;
      const int64_t since = monotonicNs() - epochNs_;
      vblankNs = epochNs_ + (since / period + 1) * period;
    } else {
      latchOverlay();
    }
  }
  if (vblankNs) {
    // A blocking commit returns once scan-out has taken the new picture at
    // the vertical blank; until then the panel still shows the old one. The
    // program relies on that order: the frame it remembers as shown (photos)
    // is the one on the panel once the commit has returned.
    const int64_t wait = vblankNs - monotonicNs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    std::lock_guard<std::mutex> lock(mu_);
    latchOverlay();
  }
  if (listener) (*listener)();
  return 0;
}

}  // namespace sim
