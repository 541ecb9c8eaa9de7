// The display module on the virtual KMS device: which connector, CRTC and
// planes it takes on different topologies, what it shows and copies back,
// and that it is inert outside display_init / display_deinit.
#include <drm_fourcc.h>
#include <gtest/gtest.h>
#include <libyuv.h>

#include <vector>

#include "display/display.h"
#include "display/drm_display.h"
#include "platform/drm/drm_api.h"
#include "platform/rga/rga.h"
#include "tests/pipeline/pipeline_support.h"

namespace {

using pipetest::Bench;
using pipetest::stdoutOf;
using Topology = sim::SimKmsTopology;

sim::SimBoardOptions withTopology(const Topology& t) {
  sim::SimBoardOptions o;
  o.kms = t;
  return o;
}

TEST(DrmInit, FindsThePanelPathOnEveryTopologyTheBoardCanPresent) {
  struct Case {
    const char* name;
    Topology topo;
  };
  Topology hdmiFirst;
  hdmiFirst.hdmiFirst = true;
  Topology unbound;
  unbound.encoderCrtc = Topology::EncoderCrtc::None;
  Topology zero;
  zero.encoderCrtc = Topology::EncoderCrtc::Zero;
  Topology lvds;
  lvds.panelConnectorType = DRM_MODE_CONNECTOR_LVDS;
  const Case cases[] = {{"default", {}},
                        {"hdmi listed first", hdmiFirst},
                        {"encoder without crtc (-1)", unbound},
                        {"encoder with crtc 0", zero},
                        {"lvds panel", lvds}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(withTopology(c.topo));
    ASSERT_TRUE(bench.ok());
    DrmDevice dev;
    ASSERT_EQ(drmInit(&dev), 0);
    ASSERT_NE(dev.connector, nullptr);
    EXPECT_EQ(dev.connector->connector_id, sim::SimKms::kConnectorPanel);
    ASSERT_NE(dev.crtc, nullptr);
    EXPECT_EQ(dev.crtc->crtc_id, sim::SimKms::kCrtcPanel);
    EXPECT_EQ(dev.crtcIndex, 1);
    ASSERT_NE(dev.primary.plane, nullptr);
    ASSERT_NE(dev.overlay.plane, nullptr);
    EXPECT_EQ(dev.primary.plane->plane_id, sim::SimKms::kPlanePrimary);
    EXPECT_EQ(dev.overlay.plane->plane_id, sim::SimKms::kPlaneOverlay);
    EXPECT_NE(dev.dpms, nullptr);
    // The interface's plane is stacked above the picture's.
    EXPECT_EQ(bench.kms().planeProperty(sim::SimKms::kPlanePrimary, "zpos"), 1u);
    EXPECT_EQ(bench.kms().planeProperty(sim::SimKms::kPlaneOverlay, "zpos"), 0u);
    drmDeinit(&dev);
    EXPECT_EQ(dev.fd, -1);
  }
}

TEST(DrmInit, RefusesTopologiesWithoutAUsablePanelPath) {
  struct Case {
    const char* name;
    Topology topo;
    const char* message;
  };
  Topology noPrimaryZpos;
  noPrimaryZpos.primaryZpos = false;
  Topology noOverlayZpos;
  noOverlayZpos.overlayZpos = false;
  Topology hdmiOnly;
  hdmiOnly.panelConnectorType = DRM_MODE_CONNECTOR_HDMIA;
  hdmiOnly.hdmiFirst = true;
  Topology noDpms;
  noDpms.dpms = false;
  const Case cases[] = {
      {"primary without zpos", noPrimaryZpos, "drmInit: set zpos property failed!\n"},
      {"overlay without zpos", noOverlayZpos, "drmInit: set zpos property failed!\n"},
      {"only hdmi connectors", hdmiOnly, "failed to find connector"},
      {"connector without dpms", noDpms, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(withTopology(c.topo));
    ASSERT_TRUE(bench.ok());
    DrmDevice dev;
    int ret = 0;
    const std::string out = stdoutOf([&] { ret = drmInit(&dev); });
    EXPECT_EQ(ret, -19);
    if (c.message) {
      EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    // Nothing obtained on the way is kept.
    EXPECT_EQ(dev.fd, -1);
    EXPECT_EQ(dev.connector, nullptr);
    EXPECT_EQ(dev.crtc, nullptr);
    EXPECT_EQ(dev.primary.plane, nullptr);
    EXPECT_EQ(dev.overlay.plane, nullptr);
    // And the display module as a whole reports the failure.
    EXPECT_EQ(display_init(320, 360), -1);
    display_deinit();
    EXPECT_EQ(bench.kms().liveBuffers(), 0u);
  }
}

TEST(DrmCommit, ZeroSizeShowsTheBufferAtTheModesFullSize) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  DrmDevice dev;
  ASSERT_EQ(drmInit(&dev), 0);
  DrmBuffer buf;
  ASSERT_EQ(drmGetBuffer(dev.fd, 320, 360, DRM_FORMAT_NV12, &buf), 0);
  EXPECT_GE(buf.size, uint64_t{320} * 540);
  ASSERT_EQ(drmCommit(&buf, 0, 0, 0, 0, &dev, 0), 0);
  sim::SimKms& kms = bench.kms();
  EXPECT_EQ(kms.planeFb(sim::SimKms::kPlaneOverlay), buf.fbId);
  EXPECT_EQ(kms.planeProperty(sim::SimKms::kPlaneOverlay, "CRTC_W"), 320u);
  EXPECT_EQ(kms.planeProperty(sim::SimKms::kPlaneOverlay, "CRTC_H"), 360u);
  EXPECT_EQ(kms.planeProperty(sim::SimKms::kPlaneOverlay, "SRC_W"), uint64_t{320} << 16);
  EXPECT_EQ(kms.planeProperty(sim::SimKms::kPlaneOverlay, "SRC_H"), uint64_t{360} << 16);
  // The interface's plane is left alone.
  EXPECT_EQ(kms.planeFb(sim::SimKms::kPlanePrimary), 0u);
  EXPECT_EQ(drmCommit(nullptr, 0, 0, 0, 0, &dev, 0), -22);
  EXPECT_EQ(drmReleaseBuffer(dev.fd, nullptr), -22);
  EXPECT_EQ(drmReleaseBuffer(dev.fd, &buf), 0);
  drmDeinit(&dev);
  EXPECT_EQ(kms.liveBuffers(), 0u);
}

TEST(DisplayModule, IsInertBeforeInitAndAfterDeinit) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  const std::vector<uint8_t> frame = pipetest::asymmetricFrame();
  std::vector<uint8_t> out(360 * 320 * 3 / 2, 0x5A);
  auto show = [&] {
    display_show(const_cast<uint8_t*>(frame.data()), -1, RK_FORMAT_YCbCr_420_SP, 256, 192, 20, 0,
                 216, 192, 90);
  };
  auto copy = [&] {
    return display_rga_copy_last_to(out.data(), 360, 320, 270, RK_FORMAT_YCbCr_420_SP);
  };

  show();
  EXPECT_EQ(copy(), -1);
  EXPECT_EQ(bench.kms().commits(), 0u);

  ASSERT_EQ(display_init(320, 360), 0);
  EXPECT_EQ(display_rga_copy_last_to(nullptr, 360, 320, 270, RK_FORMAT_YCbCr_420_SP), -1);
  EXPECT_EQ(display_rga_copy_last_to(out.data(), 0, 320, 270, RK_FORMAT_YCbCr_420_SP), -1);
  EXPECT_EQ(display_rga_copy_last_to(out.data(), 360, -1, 270, RK_FORMAT_YCbCr_420_SP), -1);
  // Before any commit the copy is of a fresh buffer: all zero bytes.
  ASSERT_EQ(copy(), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0), static_cast<long>(out.size()));
  show();
  EXPECT_EQ(bench.kms().commits(), 1u);

  display_deinit();
  EXPECT_EQ(bench.kms().liveBuffers(), 0u);
  std::fill(out.begin(), out.end(), 0x5A);
  show();
  EXPECT_EQ(copy(), -1);
  EXPECT_EQ(bench.kms().commits(), 1u);
  EXPECT_EQ(out[0], 0x5A);

  // It comes back after a new display_init, and a failed one (a commit
  // refused by the device) loses that frame only.
  ASSERT_EQ(display_init(320, 360), 0);
  bench.kms().failNextCommits(22);
  show();
  EXPECT_EQ(bench.kms().commits(), 1u);
  show();
  EXPECT_EQ(bench.kms().commits(), 2u);
  display_deinit();
}

// The virtual KMS device with dumb buffers that run out on demand.
class ShortOfMemoryKms : public sim::SimKms {
 public:
  int buffersLeft = -1;  // < 0: no limit
  int createDumbBuffer(int fd, uint32_t width, uint32_t height, uint32_t bpp, uint32_t flags,
                       uint32_t* handle, uint32_t* pitch, uint64_t* size) override {
    if (buffersLeft == 0) return -12;
    if (buffersLeft > 0) --buffersLeft;
    return SimKms::createDumbBuffer(fd, width, height, bpp, flags, handle, pitch, size);
  }
};

TEST(DisplayModule, BringUpAfterAPartialOneKeepsNothingTwice) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ShortOfMemoryKms kms;
  platform::setDrmApi(&kms);
  struct Restore {
    sim::SimKms* kms;
    ~Restore() {
      display_deinit();
      platform::setDrmApi(kms);
    }
  } restore{&bench.kms()};
  kms.buffersLeft = 2;
  EXPECT_EQ(display_init(320, 360), -1);
  EXPECT_EQ(kms.liveBuffers(), 2u);
  // Tried again (as waking from idle sleep does) without a display_deinit in
  // between: the leftovers of the failed attempt are not leaked.
  kms.buffersLeft = -1;
  ASSERT_EQ(display_init(320, 360), 0);
  EXPECT_EQ(kms.liveBuffers(), 4u);
  const std::vector<uint8_t> frame = pipetest::asymmetricFrame();
  display_show(const_cast<uint8_t*>(frame.data()), -1, RK_FORMAT_YCbCr_420_SP, 256, 192, 20, 0, 216,
               192, 90);
  EXPECT_EQ(kms.commits(), 1u);
  display_deinit();
  EXPECT_EQ(kms.liveBuffers(), 0u);
}

TEST(DisplayModule, CopyTurnedBackGivesTheLandscapePicture) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ASSERT_EQ(display_init(320, 360), 0);
  const std::vector<uint8_t> frame = pipetest::asymmetricFrame();
  // The centre 216 x 192, as the camera shows it at zoom 1.
  display_show(const_cast<uint8_t*>(frame.data()), -1, RK_FORMAT_YCbCr_420_SP, 256, 192, 20, 0, 216,
               192, 90);

  // On the panel: the crop turned a quarter clockwise, so the crop's top-left
  // bright block lies at the panel's top right.
  sim::SimKms::PanelFrame panel;
  ASSERT_TRUE(bench.kms().overlayFrame(&panel));
  ASSERT_EQ(panel.width, 320u);
  ASSERT_EQ(panel.height, 360u);
  auto panelY = [&](int x, int y) { return panel.bytes[y * panel.pitch + x]; };
  // Block at crop x 20..60, y 10..50 -> panel x (192-50..192-10)*320/192, y 20..60 * 360/216.
  EXPECT_GT(panelY(290, 65), 220);
  EXPECT_LT(panelY(30, 65), 200);

  std::vector<uint8_t> out(360 * 320 * 3 / 2, 0x5A);
  ASSERT_EQ(display_rga_copy_last_to(out.data(), 360, 320, 270, RK_FORMAT_YCbCr_420_SP), 0);

  // Expected: the crop itself scaled to 360 x 320, no distortion (216:192 is
  // the panel's 360:320).
  std::vector<uint8_t> crop(216 * 192);
  for (int y = 0; y < 192; ++y)
    std::copy_n(frame.data() + y * 256 + 20, 216, crop.data() + y * 216);
  std::vector<uint8_t> expected(360 * 320), mirrored(360 * 320);
  libyuv::ScalePlane(crop.data(), 216, 216, 192, expected.data(), 360, 360, 320,
                     libyuv::kFilterBilinear);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 360; ++x) mirrored[y * 360 + x] = expected[y * 360 + 359 - x];
  const double straight = pipetest::meanAbsDiff(out.data(), expected.data(), expected.size());
  EXPECT_LT(straight, 4.0);
  EXPECT_GT(pipetest::meanAbsDiff(out.data(), mirrored.data(), mirrored.size()), straight + 20.0);
  // The grey chroma survives both turns.
  for (size_t i = 360 * 320; i < out.size(); i += 97) EXPECT_NEAR(out[i], 128, 2) << i;
  display_deinit();
}

}  // namespace
