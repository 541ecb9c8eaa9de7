// The virtual KMS device through the DRM seam: the objects and properties a
// display bring-up walks, dumb buffers with PRIME, framebuffers, and atomic
// commits that latch what they were given.
#include <drm_fourcc.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>

#include "platform/drm/drm_api.h"
#include "sim/sim_kms.h"

namespace {

using sim::SimKms;
using sim::SimKmsTopology;

// Property ids of one object by name, as a display layer looks them up.
std::map<std::string, uint32_t> propertyIds(int fd, uint32_t object, uint32_t type,
                                            std::map<std::string, uint64_t>* values = nullptr) {
  auto& d = platform::drm();
  std::map<std::string, uint32_t> out;
  drmModeObjectProperties* props = d.objectGetProperties(fd, object, type);
  if (!props) return out;
  for (uint32_t i = 0; i < props->count_props; ++i) {
    drmModePropertyRes* p = d.getProperty(fd, props->props[i]);
    if (!p) continue;
    out[p->name] = p->prop_id;
    if (values) (*values)[p->name] = props->prop_values[i];
    d.freeProperty(p);
  }
  d.freeObjectProperties(props);
  return out;
}

// What a display bring-up decides: the panel connector, its CRTC and index,
// and the primary and overlay planes of that CRTC.
struct Pick {
  uint32_t connector = 0, crtc = 0, primary = 0, overlay = 0;
  int crtcIndex = -1;
  bool dpms = false;
};

Pick pick(int fd) {
  auto& d = platform::drm();
  Pick out;
  drmModeRes* res = d.getResources(fd);
  if (!res) return out;
  for (int i = 0; i < res->count_connectors && !out.connector; ++i) {
    drmModeConnector* c = d.getConnector(fd, res->connectors[i]);
    if (!c) continue;
    const uint32_t t = c->connector_type;
    if (t == DRM_MODE_CONNECTOR_LVDS || t == DRM_MODE_CONNECTOR_eDP ||
        t == DRM_MODE_CONNECTOR_DSI || t == DRM_MODE_CONNECTOR_DPI) {
      out.connector = c->connector_id;
      out.dpms = propertyIds(fd, c->connector_id, DRM_MODE_OBJECT_CONNECTOR).count("DPMS");
      uint32_t mask = 0;
      for (int e = 0; e < c->count_encoders; ++e) {
        drmModeEncoder* enc = d.getEncoder(fd, c->encoders[e]);
        if (!enc) continue;
        if (enc->encoder_id == c->encoder_id && enc->crtc_id != 0xFFFFFFFFu && enc->crtc_id != 0)
          out.crtc = enc->crtc_id;
        mask |= enc->possible_crtcs;
        d.freeEncoder(enc);
      }
      if (!out.crtc && mask) out.crtc = res->crtcs[__builtin_ctz(mask)];
    }
    d.freeConnector(c);
  }
  for (int i = 0; i < res->count_crtcs; ++i)
    if (res->crtcs[i] == out.crtc) out.crtcIndex = i;
  d.freeResources(res);
  drmModePlaneRes* planes = d.getPlaneResources(fd);
  for (uint32_t i = 0; planes && i < planes->count_planes; ++i) {
    drmModePlane* p = d.getPlane(fd, planes->planes[i]);
    std::map<std::string, uint64_t> values;
    propertyIds(fd, p->plane_id, DRM_MODE_OBJECT_PLANE, &values);
    if (out.crtcIndex >= 0 && (p->possible_crtcs & (1u << out.crtcIndex))) {
      if (values["type"] == 1 && !out.primary) out.primary = p->plane_id;
      if (values["type"] == 0 && !out.overlay) out.overlay = p->plane_id;
    }
    d.freePlane(p);
  }
  if (planes) d.freePlaneResources(planes);
  return out;
}

struct Buffer {
  uint32_t handle = 0, pitch = 0, fb = 0;
  uint64_t size = 0;
  uint8_t* map = nullptr;
  int prime = -1;
};

Buffer makeNv12(int fd, uint32_t w, uint32_t h) {
  auto& d = platform::drm();
  Buffer b;
  EXPECT_EQ(d.createDumbBuffer(fd, w, h * 3 / 2, 8, 0, &b.handle, &b.pitch, &b.size), 0);
  uint64_t offset = 0;
  EXPECT_EQ(d.mapDumbBuffer(fd, b.handle, &offset), 0);
  void* m = d.mmap(nullptr, b.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
  EXPECT_NE(m, MAP_FAILED);
  b.map = static_cast<uint8_t*>(m);
  EXPECT_EQ(d.primeHandleToFD(fd, b.handle, DRM_CLOEXEC | DRM_RDWR, &b.prime), 0);
  const uint32_t handles[4] = {b.handle, b.handle}, pitches[4] = {b.pitch, b.pitch},
                 offsets[4] = {0, b.pitch * h};
  EXPECT_EQ(d.addFB2(fd, w, h, DRM_FORMAT_NV12, handles, pitches, offsets, &b.fb, 0), 0);
  EXPECT_EQ(d.destroyDumbBuffer(fd, b.handle), 0);  // the framebuffer keeps the memory
  return b;
}

int commitPlane(int fd, uint32_t plane, uint32_t crtc, uint32_t fb, uint32_t w, uint32_t h,
                uint32_t flags = 0) {
  auto& d = platform::drm();
  const auto ids = propertyIds(fd, plane, DRM_MODE_OBJECT_PLANE);
  drmModeAtomicReq* req = d.atomicAlloc();
  const std::pair<const char*, uint64_t> items[] = {{"CRTC_ID", crtc},
                                                    {"FB_ID", fb},
                                                    {"SRC_X", 0},
                                                    {"SRC_Y", 0},
                                                    {"SRC_W", uint64_t{w} << 16},
                                                    {"SRC_H", uint64_t{h} << 16},
                                                    {"CRTC_X", 0},
                                                    {"CRTC_Y", 0},
                                                    {"CRTC_W", w},
                                                    {"CRTC_H", h}};
  for (const auto& [name, value] : items) {
    const auto it = ids.find(name);
    d.atomicAddProperty(req, plane, it == ids.end() ? 0 : it->second, value);
  }
  const int rc = d.atomicCommit(fd, req, flags, nullptr);
  d.atomicFree(req);
  return rc;
}

class KmsTest : public ::testing::Test {
 protected:
  void use(const SimKmsTopology& t) {
    platform::setDrmApi(nullptr);
    kms_ = std::make_unique<SimKms>(t);
    platform::setDrmApi(kms_.get());
    fd_ = platform::drm().open("rockchip", nullptr);
    ASSERT_GE(fd_, 0);
    ASSERT_EQ(platform::drm().setClientCap(fd_, DRM_CLIENT_CAP_UNIVERSAL_PLANES, 1), 0);
    ASSERT_EQ(platform::drm().setClientCap(fd_, DRM_CLIENT_CAP_ATOMIC, 1), 0);
  }
  void SetUp() override { use(SimKmsTopology{}); }
  void TearDown() override {
    if (fd_ >= 0) platform::drm().close(fd_);
    platform::setDrmApi(nullptr);
  }
  std::unique_ptr<SimKms> kms_;
  int fd_ = -1;
};

TEST_F(KmsTest, ResourcesAndPropertiesOfThePanel) {
  auto& d = platform::drm();
  EXPECT_LT(d.open("i915", nullptr), 0);
  const Pick p = pick(fd_);
  EXPECT_EQ(p.connector, SimKms::kConnectorPanel);
  EXPECT_EQ(p.crtc, SimKms::kCrtcPanel);
  EXPECT_EQ(p.crtcIndex, 1);
  EXPECT_EQ(p.primary, SimKms::kPlanePrimary);
  EXPECT_EQ(p.overlay, SimKms::kPlaneOverlay);
  EXPECT_TRUE(p.dpms);

  drmModeCrtc* crtc = d.getCrtc(fd_, p.crtc);
  ASSERT_NE(crtc, nullptr);
  EXPECT_EQ(crtc->mode.hdisplay, 320);
  EXPECT_EQ(crtc->mode.vdisplay, 360);
  EXPECT_EQ(crtc->mode.vrefresh, 60u);
  d.freeCrtc(crtc);

  for (uint32_t plane : {p.primary, p.overlay}) {
    std::map<std::string, uint64_t> values;
    const auto ids = propertyIds(fd_, plane, DRM_MODE_OBJECT_PLANE, &values);
    for (const char* n : {"type", "zpos", "CRTC_ID", "FB_ID", "SRC_X", "SRC_Y", "SRC_W", "SRC_H",
                          "CRTC_X", "CRTC_Y", "CRTC_W", "CRTC_H"})
      EXPECT_TRUE(ids.count(n)) << n;
    // The video goes beneath the interface.
    const uint64_t z = plane == p.primary ? 1 : 0;
    EXPECT_EQ(d.objectSetProperty(fd_, plane, DRM_MODE_OBJECT_PLANE, ids.at("zpos"), z), 0);
    EXPECT_EQ(kms_->planeProperty(plane, "zpos"), z);
    EXPECT_EQ(d.objectSetProperty(fd_, plane, DRM_MODE_OBJECT_PLANE, ids.at("zpos"), 9), -EINVAL);
    EXPECT_EQ(d.objectSetProperty(fd_, plane, DRM_MODE_OBJECT_PLANE, ids.at("type"), 0), -EINVAL);
  }
  // Without the atomic capability the atomic properties are hidden, and
  // without universal planes only the overlay is listed.
  const int legacy = d.open("rockchip", nullptr);
  EXPECT_FALSE(propertyIds(legacy, p.overlay, DRM_MODE_OBJECT_PLANE).count("FB_ID"));
  drmModePlaneRes* planes = d.getPlaneResources(legacy);
  ASSERT_NE(planes, nullptr);
  EXPECT_EQ(planes->count_planes, 1u);
  d.freePlaneResources(planes);
  d.close(legacy);
  EXPECT_EQ(d.getConnector(fd_, 4242), nullptr);
  EXPECT_EQ(d.getResources(fd_ + 1000), nullptr);
}

TEST_F(KmsTest, OtherTopologiesOnDemand) {
  SimKmsTopology t;
  t.hdmiFirst = true;  // connected, but never the panel
  use(t);
  EXPECT_EQ(pick(fd_).connector, SimKms::kConnectorPanel);

  for (auto e : {SimKmsTopology::EncoderCrtc::None, SimKmsTopology::EncoderCrtc::Zero}) {
    t = SimKmsTopology{};
    t.encoderCrtc = e;
    use(t);
    drmModeEncoder* enc = platform::drm().getEncoder(fd_, SimKms::kEncoderPanel);
    ASSERT_NE(enc, nullptr);
    EXPECT_EQ(enc->crtc_id, e == SimKmsTopology::EncoderCrtc::None ? 0xFFFFFFFFu : 0u);
    platform::drm().freeEncoder(enc);
    EXPECT_EQ(pick(fd_).crtc, SimKms::kCrtcPanel);  // through the encoders' CRTC masks
  }

  t = SimKmsTopology{};
  t.overlayZpos = false;
  t.dpms = false;
  use(t);
  EXPECT_FALSE(propertyIds(fd_, SimKms::kPlaneOverlay, DRM_MODE_OBJECT_PLANE).count("zpos"));
  EXPECT_TRUE(propertyIds(fd_, SimKms::kPlanePrimary, DRM_MODE_OBJECT_PLANE).count("zpos"));
  EXPECT_FALSE(pick(fd_).dpms);
}

TEST_F(KmsTest, DumbBuffersAreSharedMemoryReachableByPrime) {
  auto& d = platform::drm();
  Buffer b = makeNv12(fd_, 320, 360);
  EXPECT_EQ(b.pitch, 320u);
  EXPECT_GE(b.size, 320u * 540u);
  // The exported descriptor maps the same memory.
  void* viaPrime = ::mmap(nullptr, b.size, PROT_READ | PROT_WRITE, MAP_SHARED, b.prime, 0);
  ASSERT_NE(viaPrime, MAP_FAILED);
  b.map[1000] = 0x5A;
  EXPECT_EQ(static_cast<uint8_t*>(viaPrime)[1000], 0x5A);
  static_cast<uint8_t*>(viaPrime)[2000] = 0xA5;
  EXPECT_EQ(b.map[2000], 0xA5);
  ::munmap(viaPrime, b.size);

  // Framebuffers are checked against their memory.
  uint32_t h = 0, pitch = 0, fb = 0;
  uint64_t size = 0;
  ASSERT_EQ(d.createDumbBuffer(fd_, 64, 48, 8, 0, &h, &pitch, &size), 0);
  const uint32_t handles[4] = {h, h}, shortPitch[4] = {32, 32}, pitches[4] = {pitch, pitch};
  const uint32_t tooFar[4] = {0, pitch * 40}, offsets[4] = {0, pitch * 32};
  EXPECT_EQ(d.addFB2(fd_, 64, 32, DRM_FORMAT_NV12, handles, shortPitch, offsets, &fb, 0), -EINVAL);
  EXPECT_EQ(d.addFB2(fd_, 64, 32, DRM_FORMAT_NV12, handles, pitches, tooFar, &fb, 0), -EINVAL);
  EXPECT_EQ(
      d.addFB2(fd_, 64, 32, fourcc_code('Z', 'Z', 'Z', 'Z'), handles, pitches, offsets, &fb, 0),
      -EINVAL);
  const uint32_t noHandle[4] = {999, 999};
  EXPECT_EQ(d.addFB2(fd_, 64, 32, DRM_FORMAT_NV12, noHandle, pitches, offsets, &fb, 0), -ENOENT);
  EXPECT_EQ(d.addFB2(fd_, 64, 32, DRM_FORMAT_NV12, handles, pitches, offsets, &fb, 0), 0);
  EXPECT_EQ(d.createDumbBuffer(fd_, 0, 48, 8, 0, &h, &pitch, &size), -EINVAL);
  uint64_t offset = 0;
  EXPECT_EQ(d.mapDumbBuffer(fd_, 12345, &offset), -ENOENT);
  EXPECT_EQ(d.mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd_, 0x7000000), MAP_FAILED);

  // Closing the device and the exported descriptor releases the memory.
  d.munmap(b.map, b.size);
  d.close(fd_);
  fd_ = -1;
  EXPECT_EQ(kms_->liveBuffers(), 0u);
  ::close(b.prime);
}

TEST_F(KmsTest, CommitLatchesTheBufferCommittedAtTheVerticalBlank) {
  const Pick p = pick(fd_);
  Buffer a = makeNv12(fd_, 320, 360), b = makeNv12(fd_, 320, 360);
  std::memset(a.map, 40, a.size);
  std::memset(b.map, 200, b.size);
  b.map[0] = 7;
  int listened = 0;
  kms_->setCommitListener([&] { ++listened; });
  SimKms::PanelFrame shown;
  EXPECT_FALSE(kms_->overlayFrame(&shown));

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 6; ++i) {
    const Buffer& buf = i % 2 ? b : a;
    ASSERT_EQ(commitPlane(fd_, p.overlay, p.crtc, buf.fb, 0 + 320, 360), 0);
    EXPECT_EQ(kms_->planeFb(p.overlay), buf.fb);
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(ms, 5 * 1000.0 / 60 - 2);  // one vertical blank each
  EXPECT_EQ(listened, 6);
  ASSERT_TRUE(kms_->overlayFrame(&shown));
  EXPECT_EQ(shown.fbId, b.fb);
  EXPECT_EQ(shown.width, 320u);
  EXPECT_EQ(shown.height, 360u);
  ASSERT_EQ(shown.bytes.size(), 320u * 540u);
  EXPECT_EQ(0, std::memcmp(shown.bytes.data(), b.map, shown.bytes.size()));
  // Writing the buffer after the commit does not change what was latched.
  b.map[0] = 99;
  ASSERT_TRUE(kms_->overlayFrame(&shown));
  EXPECT_EQ(shown.bytes[0], 7);

  // A test-only commit checks without latching; a bad one changes nothing.
  EXPECT_EQ(commitPlane(fd_, p.overlay, p.crtc, a.fb, 320, 360, DRM_MODE_ATOMIC_TEST_ONLY), 0);
  EXPECT_EQ(kms_->planeFb(p.overlay), b.fb);
  EXPECT_EQ(commitPlane(fd_, p.overlay, p.crtc, a.fb, 400, 360), -ENOSPC);  // beyond the buffer
  EXPECT_EQ(commitPlane(fd_, p.overlay, SimKms::kCrtcUnused, a.fb, 320, 360), -EINVAL);
  EXPECT_EQ(commitPlane(fd_, p.overlay, p.crtc, 4242, 320, 360), -ENOENT);
  EXPECT_EQ(commitPlane(fd_, p.overlay, 0, a.fb, 320, 360), -EINVAL);
  EXPECT_EQ(commitPlane(fd_, SimKms::kPlanePrimary0, p.crtc, a.fb, 320, 360), -EINVAL);
  EXPECT_EQ(commitPlane(fd_, p.overlay, p.crtc, a.fb, 320, 360, DRM_MODE_PAGE_FLIP_EVENT), -EINVAL);
  kms_->failNextCommits(EBUSY);
  EXPECT_EQ(commitPlane(fd_, p.overlay, p.crtc, a.fb, 320, 360), -EBUSY);
  EXPECT_EQ(kms_->planeFb(p.overlay), b.fb);
  EXPECT_EQ(listened, 6);
  EXPECT_EQ(kms_->commits(), 6u);

  // Removing the framebuffer on screen takes it off the plane, and says so.
  ASSERT_EQ(platform::drm().rmFB(fd_, a.fb), 0);
  EXPECT_EQ(listened, 6);
  ASSERT_EQ(platform::drm().rmFB(fd_, b.fb), 0);
  EXPECT_EQ(kms_->planeFb(p.overlay), 0u);
  EXPECT_FALSE(kms_->overlayFrame(&shown));
  EXPECT_EQ(listened, 7);
  EXPECT_EQ(platform::drm().rmFB(fd_, b.fb), -ENOENT);
  ::close(a.prime);
  ::close(b.prime);
}

}  // namespace
