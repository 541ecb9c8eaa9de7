#pragma once
// The simulated board's display controller: a virtual KMS device behind the
// DRM seam (platform/drm/drm_api.h), answering as the "rockchip" driver does
// for the board's panel.
//
// Default topology: two CRTCs (64, unused video port; 83, the panel's), the
// DSI connector 100 with one 320 x 360 mode at 60 Hz and its encoder 70 bound
// to CRTC 83, and three planes: 45 (primary of CRTC 64), 57 (primary of CRTC
// 83) and 59 (overlay of CRTC 83). Planes carry "type", "zpos" and the ten
// atomic properties (CRTC_ID, FB_ID, SRC_X/Y/W/H, CRTC_X/Y/W/H); the connector
// "DPMS" and "CRTC_ID". Atomic-only properties are visible once the client
// has set the atomic capability, as with the kernel.
//
// Dumb buffers live in memfds; PRIME export hands out a real descriptor of
// that memory. Framebuffers come from AddFB2 (NV12 with two planes on one
// handle, RGB formats). An atomic commit checks every property, latches the
// new state, copies the overlay plane's picture for the panel view and, unless
// non-blocking, returns at the next 60 Hz vertical blank.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/drm/drm_api.h"
#include "platform/unique_fd.h"

namespace sim {

struct SimKmsTopology {
  // What the panel connector's current encoder reports as its CRTC.
  enum class EncoderCrtc { Bound, None /* -1 */, Zero };
  EncoderCrtc encoderCrtc = EncoderCrtc::Bound;
  uint32_t panelConnectorType = DRM_MODE_CONNECTOR_DSI;
  bool hdmiFirst = false;  // a connected HDMI connector listed before the panel's
  bool primaryZpos = true;
  bool overlayZpos = true;
  bool dpms = true;
  // A property the overlay plane lacks ("FB_ID", "SRC_W", ...), none if empty.
  std::string overlayLacks;
  bool waitForVblank = true;
};

class SimKms : public platform::DrmApi {
 public:
  static constexpr uint32_t kPanelWidth = 320, kPanelHeight = 360;
  static constexpr uint32_t kCrtcUnused = 64, kCrtcPanel = 83;
  static constexpr uint32_t kPlanePrimary0 = 45, kPlanePrimary = 57, kPlaneOverlay = 59;
  static constexpr uint32_t kConnectorPanel = 100, kConnectorHdmi = 90;
  static constexpr uint32_t kEncoderPanel = 70, kEncoderHdmi = 72;

  explicit SimKms(const SimKmsTopology& topology = {});
  ~SimKms() override;
  SimKms(const SimKms&) = delete;
  SimKms& operator=(const SimKms&) = delete;

  // The picture latched on the panel's overlay plane at the last commit.
  struct PanelFrame {
    uint32_t fbId = 0;
    uint32_t format = 0, width = 0, height = 0, pitch = 0;
    uint64_t commit = 0;         // number of the commit that latched it
    std::vector<uint8_t> bytes;  // NV12: pitch * height luma, then pitch * height / 2 chroma
  };
  // False when nothing is shown on the overlay plane. Reuses out->bytes.
  bool overlayFrame(PanelFrame* out) const;
  // Called after every successful commit, and when the overlay's picture is
  // taken away (its framebuffer removed, its device closed), on the calling thread.
  void setCommitListener(std::function<void()> listener);

  // Test views.
  uint32_t planeFb(uint32_t planeId) const;
  uint64_t planeProperty(uint32_t planeId, const std::string& name) const;
  uint64_t commits() const;
  size_t liveBuffers() const;  // dumb-buffer memories still held
  // The next `times` atomic commits fail with -error.
  void failNextCommits(int error, int times = 1);

  // One entry of an atomic request.
  struct Change {
    uint32_t object, property;
    uint64_t value;
  };

  // platform::DrmApi
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
  void atomicSetCursor(drmModeAtomicReq* req, int cursor) override;
  int atomicAddProperty(drmModeAtomicReq* req, uint32_t objectId, uint32_t propertyId,
                        uint64_t value) override;
  int atomicCommit(int fd, drmModeAtomicReq* req, uint32_t flags, void* userData) override;
  void atomicFree(drmModeAtomicReq* req) override;

 private:
  struct Memory;  // one dumb buffer's memfd and the device's own mapping
  struct Property {
    uint32_t id = 0;
    std::string name;
    uint32_t flags = 0;
    std::vector<uint64_t> values;                         // range: min, max
    std::vector<std::pair<uint64_t, std::string>> enums;  // enum: value, name
  };
  struct Object {
    uint32_t id = 0;
    uint32_t type = 0;  // DRM_MODE_OBJECT_*
    std::vector<uint32_t> props;
    std::map<uint32_t, uint64_t> values;
  };
  struct Framebuffer {
    uint32_t id = 0;
    int owner = -1;
    uint32_t width = 0, height = 0, format = 0;
    std::shared_ptr<Memory> memory;
    uint32_t pitches[4] = {}, offsets[4] = {};
  };
  struct File {
    platform::UniqueFd fd;  // the kernel descriptor standing for the open device
    bool universalPlanes = false;
    bool atomic = false;
    uint32_t nextHandle = 1;
    std::map<uint32_t, std::shared_ptr<Memory>> handles;
  };
  struct Plane {
    uint32_t id;
    uint32_t possibleCrtcs;
    uint64_t type;  // 0 overlay, 1 primary
    std::vector<uint32_t> formats;
  };

  uint32_t addProperty(const std::string& name, uint32_t flags, std::vector<uint64_t> values,
                       std::vector<std::pair<uint64_t, std::string>> enums = {});
  File* file(int fd);  // with mu_ held; nullptr (errno EBADF) if not ours
  Object* object(uint32_t id);
  const Property* property(uint32_t id) const;
  uint32_t propertyId(const Object& o, const std::string& name) const;
  int checkValue(const Property& p, uint64_t value, uint32_t objectType) const;
  // A property's value with the request's changes applied (the last one wins).
  uint64_t pendingValue(const Object& o, const std::string& name,
                        const std::vector<Change>& changes) const;
  int checkPlanes(const std::vector<Change>& changes) const;
  void latchOverlay();
  void dropFramebuffer(uint32_t fbId);

  const SimKmsTopology topo_;
  mutable std::mutex mu_;
  std::map<int, File> files_;
  std::map<uint32_t, Property> props_;
  std::map<uint32_t, Object> objects_;  // connectors, encoders, CRTCs, planes
  std::vector<Plane> planes_;
  std::vector<uint32_t> connectors_, encoders_, crtcs_;
  std::map<uint32_t, Framebuffer> fbs_;
  std::map<uint64_t, std::weak_ptr<Memory>> memories_;  // by map offset
  uint32_t nextPropId_ = 1, nextFbId_ = 200;
  uint64_t nextMemory_ = 1;
  drmModeModeInfo mode_{};
  uint64_t commits_ = 0;
  int failError_ = 0, failTimes_ = 0;
  PanelFrame overlay_;
  bool overlayValid_ = false;
  // Shared, so that taking a copy per commit to call outside the lock costs
  // no allocation on the committing thread.
  std::shared_ptr<const std::function<void()>> listener_;
  int64_t epochNs_ = 0;  // vertical blanks fall on epoch + k / 60 s
};

}  // namespace sim
