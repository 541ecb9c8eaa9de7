// The virtual KMS device through the DRM seam: the objects and properties a
// display bring-up walks, dumb buffers with PRIME, framebuffers, and atomic
// commits that latch what they were given.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <tuple>

#include "sim/sim_kms.h"
#include "tests/sim/kms_client.h"

namespace {

using sim::SimKms;
using simtest::Buffer;
using simtest::commitPlane;
using simtest::makeNv12;
using simtest::propertyIds;

// The panel's path on the default board.
constexpr uint32_t kCrtc = SimKms::kCrtcPanel, kPrimary = SimKms::kPlanePrimary,
                   kOverlay = SimKms::kPlaneOverlay;

class KmsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kms_ = std::make_unique<SimKms>(sim::SimKmsTopology{});
    platform::setDrmApi(kms_.get());
    fd_ = platform::drm().open("rockchip", nullptr);
    ASSERT_GE(fd_, 0);
    ASSERT_EQ(platform::drm().setClientCap(fd_, DRM_CLIENT_CAP_UNIVERSAL_PLANES, 1), 0);
    ASSERT_EQ(platform::drm().setClientCap(fd_, DRM_CLIENT_CAP_ATOMIC, 1), 0);
  }
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
  EXPECT_TRUE(propertyIds(fd_, SimKms::kConnectorPanel, DRM_MODE_OBJECT_CONNECTOR).count("DPMS"));
  for (uint32_t plane : {kPrimary, kOverlay}) {
    const auto ids = propertyIds(fd_, plane, DRM_MODE_OBJECT_PLANE);
    ASSERT_TRUE(ids.count("zpos") && ids.count("type"));
    // The video goes beneath the interface.
    const uint64_t z = plane == kPrimary ? 1 : 0;
    EXPECT_EQ(d.objectSetProperty(fd_, plane, DRM_MODE_OBJECT_PLANE, ids.at("zpos"), z), 0);
    EXPECT_EQ(d.objectSetProperty(fd_, plane, DRM_MODE_OBJECT_PLANE, ids.at("zpos"), 9), -EINVAL);
    EXPECT_EQ(d.objectSetProperty(fd_, plane, DRM_MODE_OBJECT_PLANE, ids.at("type"), 0), -EINVAL);
  }
  // Without the atomic capability the atomic properties are hidden, and
  // without universal planes only the overlay is listed.
  const int legacy = d.open("rockchip", nullptr);
  EXPECT_FALSE(propertyIds(legacy, kOverlay, DRM_MODE_OBJECT_PLANE).count("FB_ID"));
  drmModePlaneRes* planes = d.getPlaneResources(legacy);
  ASSERT_NE(planes, nullptr);
  EXPECT_EQ(planes->count_planes, 1u);
  d.freePlaneResources(planes);
  d.close(legacy);
  EXPECT_EQ(d.getConnector(fd_, 4242), nullptr);
  EXPECT_EQ(d.getResources(fd_ + 1000), nullptr);
}

TEST_F(KmsTest, DumbBuffersAreSharedMemoryReachableByPrime) {
  auto& d = platform::drm();
  Buffer b = makeNv12(fd_, 320, 360);
  EXPECT_GE(b.size, uint64_t{b.pitch} * 540u);
  // The exported descriptor maps the same memory.
  void* viaPrime = ::mmap(nullptr, b.size, PROT_READ | PROT_WRITE, MAP_SHARED, b.prime.get(), 0);
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
  const uint32_t noHandle[4] = {999, 999};
  auto add = [&](uint32_t format, const uint32_t* hs, const uint32_t* ps, const uint32_t* os) {
    return d.addFB2(fd_, 64, 32, format, hs, ps, os, &fb, 0);
  };
  EXPECT_EQ(add(DRM_FORMAT_NV12, handles, shortPitch, offsets), -EINVAL);
  EXPECT_EQ(add(DRM_FORMAT_NV12, handles, pitches, tooFar), -EINVAL);
  EXPECT_EQ(add(fourcc_code('Z', 'Z', 'Z', 'Z'), handles, pitches, offsets), -EINVAL);
  EXPECT_EQ(add(DRM_FORMAT_NV12, noHandle, pitches, offsets), -ENOENT);
  EXPECT_EQ(add(DRM_FORMAT_NV12, handles, pitches, offsets), 0);
  EXPECT_EQ(d.createDumbBuffer(fd_, 0, 48, 8, 0, &h, &pitch, &size), -EINVAL);
  uint64_t offset = 0;
  EXPECT_EQ(d.mapDumbBuffer(fd_, 12345, &offset), -ENOENT);
  EXPECT_EQ(d.mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd_, 0x7000000), MAP_FAILED);

  // Closing the device and the exported descriptor releases the memory.
  d.munmap(b.map, b.size);
  d.close(fd_);
  fd_ = -1;
  EXPECT_EQ(kms_->liveBuffers(), 0u);
  b.prime.reset();
}

TEST_F(KmsTest, CommitLatchesTheBufferCommittedAtTheVerticalBlank) {
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
    ASSERT_EQ(commitPlane(fd_, kOverlay, kCrtc, buf.fb, 0 + 320, 360), 0);
    EXPECT_EQ(kms_->planeFb(kOverlay), buf.fb);
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(ms, 5 * 1000.0 / 60 - 2);  // one vertical blank each
  EXPECT_EQ(listened, 6);
  ASSERT_TRUE(kms_->overlayFrame(&shown));
  EXPECT_EQ(std::make_tuple(shown.fbId, shown.width, shown.height),
            std::make_tuple(b.fb, 320u, 360u));
  ASSERT_EQ(shown.bytes.size(), 320u * 540u);
  EXPECT_EQ(0, std::memcmp(shown.bytes.data(), b.map, shown.bytes.size()));
  // Writing the buffer after the commit does not change what was latched.
  b.map[0] = 99;
  ASSERT_TRUE(kms_->overlayFrame(&shown));
  EXPECT_EQ(shown.bytes[0], 7);

  // A test-only commit checks without latching; a bad one changes nothing.
  EXPECT_EQ(commitPlane(fd_, kOverlay, kCrtc, a.fb, 320, 360, DRM_MODE_ATOMIC_TEST_ONLY), 0);
  EXPECT_EQ(kms_->planeFb(kOverlay), b.fb);
  EXPECT_EQ(commitPlane(fd_, kOverlay, kCrtc, a.fb, 400, 360), -ENOSPC);  // beyond the buffer
  EXPECT_EQ(commitPlane(fd_, kOverlay, SimKms::kCrtcUnused, a.fb, 320, 360), -EINVAL);
  EXPECT_EQ(commitPlane(fd_, kOverlay, kCrtc, 4242, 320, 360), -ENOENT);
  EXPECT_EQ(commitPlane(fd_, kOverlay, 0, a.fb, 320, 360), -EINVAL);
  EXPECT_EQ(commitPlane(fd_, SimKms::kPlanePrimary0, kCrtc, a.fb, 320, 360), -EINVAL);
  EXPECT_EQ(commitPlane(fd_, kOverlay, kCrtc, a.fb, 320, 360, DRM_MODE_PAGE_FLIP_EVENT), -EINVAL);
  kms_->failNextCommits(EBUSY);
  EXPECT_EQ(commitPlane(fd_, kOverlay, kCrtc, a.fb, 320, 360), -EBUSY);
  EXPECT_EQ(kms_->planeFb(kOverlay), b.fb);
  EXPECT_EQ(listened, 6);
  EXPECT_EQ(kms_->commits(), 6u);

  // Removing the framebuffer on screen takes it off the plane, and says so.
  ASSERT_EQ(platform::drm().rmFB(fd_, a.fb), 0);
  EXPECT_EQ(listened, 6);
  ASSERT_EQ(platform::drm().rmFB(fd_, b.fb), 0);
  EXPECT_EQ(kms_->planeFb(kOverlay), 0u);
  EXPECT_FALSE(kms_->overlayFrame(&shown));
  EXPECT_EQ(listened, 7);
  EXPECT_EQ(platform::drm().rmFB(fd_, b.fb), -ENOENT);
  a.prime.reset();
  b.prime.reset();
}

}  // namespace
