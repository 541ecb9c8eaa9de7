// The display module on the virtual KMS device: which connector, CRTC and
// planes it takes on different topologies, what it shows and copies back,
// and that it is inert outside display_init / display_deinit.
#include <drm_fourcc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>
#include <vector>

#include "display/display.h"
#include "display/drm_display.h"
#include "platform/drm/drm_api.h"
#include "platform/rga/rga.h"
#include "tests/pipeline/pipeline_support.h"

namespace {

using pipetest::Bench;
using Topology = sim::SimKmsTopology;
using Kms = sim::SimKms;

sim::SimBoardOptions withTopology(const std::function<void(Topology&)>& change) {
  sim::SimBoardOptions o;
  change(o.kms);
  return o;
}

// The centre 216 x 192 of the test picture, as the camera shows it at zoom 1.
const std::vector<uint8_t>& picture() {
  static const std::vector<uint8_t> frame = pipetest::asymmetricFrame();
  return frame;
}
void showPicture() {
  display_show(const_cast<uint8_t*>(picture().data()), -1, RK_FORMAT_YCbCr_420_SP, 256, 192, 20, 0,
               216, 192, 90);
}
int copyBack(uint8_t* out, int w = 360, int h = 320) {
  return display_rga_copy_last_to(out, w, h, 270, RK_FORMAT_YCbCr_420_SP);
}

TEST(DrmInit, FindsThePanelPathOnEveryTopologyTheBoardCanPresent) {
  const std::pair<const char*, std::function<void(Topology&)>> cases[] = {
      {"default", [](Topology&) {}},
      {"hdmi listed first", [](Topology& t) { t.hdmiFirst = true; }},
      {"encoder without crtc (-1)",
       [](Topology& t) { t.encoderCrtc = Topology::EncoderCrtc::None; }},
      {"encoder with crtc 0", [](Topology& t) { t.encoderCrtc = Topology::EncoderCrtc::Zero; }},
      {"lvds panel", [](Topology& t) { t.panelConnectorType = DRM_MODE_CONNECTOR_LVDS; }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    Bench bench(withTopology(c.second));
    ASSERT_TRUE(bench.ok());
    DrmDevice dev;
    ASSERT_EQ(drmInit(&dev), 0);
    ASSERT_TRUE(dev.connector && dev.crtc && dev.primary.plane && dev.overlay.plane && dev.dpms);
    EXPECT_EQ(dev.connector->connector_id, Kms::kConnectorPanel);
    EXPECT_EQ(dev.crtc->crtc_id, Kms::kCrtcPanel);
    EXPECT_EQ(dev.crtcIndex, 1);
    EXPECT_EQ(dev.primary.plane->plane_id, Kms::kPlanePrimary);
    EXPECT_EQ(dev.overlay.plane->plane_id, Kms::kPlaneOverlay);
    // The interface's plane is stacked above the picture's.
    EXPECT_EQ(bench.kms().planeProperty(Kms::kPlanePrimary, "zpos"), 1u);
    EXPECT_EQ(bench.kms().planeProperty(Kms::kPlaneOverlay, "zpos"), 0u);
    drmDeinit(&dev);
    EXPECT_EQ(dev.fd.get(), -1);
  }
}

TEST(DrmInit, RefusesTopologiesWithoutAUsablePanelPath) {
  const char* const zposFailed = "drmInit: set zpos property failed!\n";
  const std::tuple<const char*, std::function<void(Topology&)>, const char*> cases[] = {
      {"primary without zpos", [](Topology& t) { t.primaryZpos = false; }, zposFailed},
      {"overlay without zpos", [](Topology& t) { t.overlayZpos = false; }, zposFailed},
      {"only hdmi connectors",
       [](Topology& t) {
         t.panelConnectorType = DRM_MODE_CONNECTOR_HDMIA;
         t.hdmiFirst = true;
       },
       "failed to find connector"},
      {"connector without dpms", [](Topology& t) { t.dpms = false; }, ""},
      // Every frame's commit would be refused.
      {"overlay without FB_ID", [](Topology& t) { t.overlayLacks = "FB_ID"; },
       "display: overlay plane 59 has no \"FB_ID\" property"},
      {"overlay without CRTC_H", [](Topology& t) { t.overlayLacks = "CRTC_H"; },
       "display: overlay plane 59 has no \"CRTC_H\" property"}};
  for (const auto& [name, change, message] : cases) {
    SCOPED_TRACE(name);
    Bench bench(withTopology(change));
    ASSERT_TRUE(bench.ok());
    DrmDevice dev;
    int ret = 0;
    testing::internal::CaptureStderr();
    std::string out = pipetest::stdoutOf([&] { ret = drmInit(&dev); });
    out += testing::internal::GetCapturedStderr();
    EXPECT_EQ(ret, -19);
    EXPECT_NE(out.find(message), std::string::npos) << out;
    // Nothing obtained on the way is kept.
    EXPECT_EQ(dev.fd.get(), -1);
    EXPECT_FALSE(dev.connector || dev.crtc || dev.primary.plane || dev.overlay.plane);
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
  ASSERT_EQ(drmGetBuffer(dev.fd.get(), 320, 360, DRM_FORMAT_NV12, &buf), 0);
  EXPECT_GE(buf.size, uint64_t{320} * 540);
  ASSERT_EQ(drmCommit(&buf, 0, 0, 0, 0, &dev, 0), 0);
  Kms& kms = bench.kms();
  EXPECT_EQ(kms.planeFb(Kms::kPlaneOverlay), buf.fbId);
  EXPECT_EQ(kms.planeProperty(Kms::kPlaneOverlay, "CRTC_W"), 320u);
  EXPECT_EQ(kms.planeProperty(Kms::kPlaneOverlay, "CRTC_H"), 360u);
  EXPECT_EQ(kms.planeProperty(Kms::kPlaneOverlay, "SRC_W"), uint64_t{320} << 16);
  EXPECT_EQ(kms.planeProperty(Kms::kPlaneOverlay, "SRC_H"), uint64_t{360} << 16);
  // The interface's plane is left alone.
  EXPECT_EQ(kms.planeFb(Kms::kPlanePrimary), 0u);
  EXPECT_EQ(drmCommit(nullptr, 0, 0, 0, 0, &dev, 0), -22);
  // A buffer let go of without a release (an early return, a move over it)
  // still gives its framebuffer and memory back.
  const size_t live = kms.liveBuffers();
  {
    DrmBuffer scoped;
    ASSERT_EQ(drmGetBuffer(dev.fd.get(), 64, 48, DRM_FORMAT_NV12, &scoped), 0);
    DrmBuffer moved = std::move(scoped);
    EXPECT_FALSE(scoped.held());
    moved = DrmBuffer();
    ASSERT_EQ(drmGetBuffer(dev.fd.get(), 64, 48, DRM_FORMAT_NV12, &moved), 0);
    EXPECT_GT(kms.liveBuffers(), live);
  }
  EXPECT_EQ(kms.liveBuffers(), live);
  EXPECT_EQ(drmReleaseBuffer(dev.fd.get(), nullptr), -22);
  EXPECT_EQ(drmReleaseBuffer(dev.fd.get(), &buf), 0);
  drmDeinit(&dev);
  EXPECT_EQ(kms.liveBuffers(), 0u);
}

// Dumb buffers are sized from the shared format table: NV12 carries its
// chroma below the luma, packed formats their bytes per pixel, and a format
// outside the table gets no buffer.
TEST(DrmGetBuffer, SizesEachFormatFromTheTable) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  DrmDevice dev;
  ASSERT_EQ(drmInit(&dev), 0);
  const struct {
    uint32_t fourcc;
    uint32_t rowBytes, lines;
  } cases[] = {{DRM_FORMAT_NV12, 64, 72},
               {DRM_FORMAT_RGB565, 128, 48},
               {DRM_FORMAT_RGB888, 192, 48},
               {DRM_FORMAT_XRGB8888, 256, 48},
               {DRM_FORMAT_ARGB2101010, 256, 48}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fourcc);
    DrmBuffer buf;
    ASSERT_EQ(drmGetBuffer(dev.fd.get(), 64, 48, c.fourcc, &buf), 0);
    EXPECT_GE(buf.pitch, c.rowBytes);
    EXPECT_LT(buf.pitch, c.rowBytes + 64);
    EXPECT_EQ(buf.size, uint64_t{buf.pitch} * c.lines);
    drmReleaseBuffer(dev.fd.get(), &buf);
  }
  DrmBuffer none;
  pipetest::stdoutOf([&] {
    EXPECT_NE(drmGetBuffer(dev.fd.get(), 64, 48, fourcc_code('Z', 'Z', 'Z', 'Z'), &none), 0);
  });
  EXPECT_EQ(none.map, nullptr);
  drmDeinit(&dev);
  EXPECT_EQ(bench.kms().liveBuffers(), 0u);
}

TEST(DisplayModule, IsInertBeforeInitAndAfterDeinit) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  std::vector<uint8_t> out(360 * 320 * 3 / 2, 0x5A);
  showPicture();
  EXPECT_EQ(copyBack(out.data()), -1);
  EXPECT_EQ(bench.kms().commits(), 0u);

  ASSERT_EQ(display_init(320, 360), 0);
  EXPECT_EQ(copyBack(nullptr), -1);
  EXPECT_EQ(copyBack(out.data(), 0, 320), -1);
  EXPECT_EQ(copyBack(out.data(), 360, -1), -1);
  // Before any commit the copy is of a fresh buffer: all zero bytes.
  ASSERT_EQ(copyBack(out.data()), 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0), static_cast<long>(out.size()));
  showPicture();
  EXPECT_EQ(bench.kms().commits(), 1u);

  display_deinit();
  EXPECT_EQ(bench.kms().liveBuffers(), 0u);
  std::fill(out.begin(), out.end(), 0x5A);
  showPicture();
  EXPECT_EQ(copyBack(out.data()), -1);
  EXPECT_EQ(bench.kms().commits(), 1u);
  EXPECT_EQ(out[0], 0x5A);

  // It comes back after a new display_init, and a failed one (a commit
  // refused by the device) loses that frame only.
  ASSERT_EQ(display_init(320, 360), 0);
  bench.kms().failNextCommits(22);
  showPicture();
  EXPECT_EQ(bench.kms().commits(), 1u);
  showPicture();
  EXPECT_EQ(bench.kms().commits(), 2u);
  display_deinit();
}

// The virtual KMS device with dumb buffers that run out on demand.
class ShortOfMemoryKms : public Kms {
 public:
  int buffersLeft = -1;  // < 0: no limit
  int createDumbBuffer(int fd, uint32_t width, uint32_t height, uint32_t bpp, uint32_t flags,
                       uint32_t* handle, uint32_t* pitch, uint64_t* size) override {
    if (buffersLeft == 0) return -12;
    if (buffersLeft > 0) --buffersLeft;
    return Kms::createDumbBuffer(fd, width, height, bpp, flags, handle, pitch, size);
  }
};

TEST(DisplayModule, BringUpAfterAPartialOneKeepsNothingTwice) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ShortOfMemoryKms kms;
  platform::setDrmApi(&kms);
  struct Restore {
    Kms* kms;
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
  showPicture();
  EXPECT_EQ(kms.commits(), 1u);
  display_deinit();
  EXPECT_EQ(kms.liveBuffers(), 0u);
}

TEST(DisplayModule, CopyTurnedBackGivesTheLandscapePicture) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ASSERT_EQ(display_init(320, 360), 0);
  showPicture();

  // On the panel: the crop turned a quarter clockwise, so the crop's top-left
  // bright block (crop x 20..60, y 10..50) lies at the panel's top right.
  Kms::PanelFrame panel;
  ASSERT_TRUE(bench.kms().overlayFrame(&panel));
  ASSERT_EQ(panel.width, 320u);
  ASSERT_EQ(panel.height, 360u);
  EXPECT_GT(panel.bytes[65 * panel.pitch + 290], 220);
  EXPECT_LT(panel.bytes[65 * panel.pitch + 30], 200);

  // Copied back: the crop itself scaled to 360 x 320 (216:192 is the panel's
  // 360:320).
  std::vector<uint8_t> out(360 * 320 * 3 / 2, 0x5A);
  ASSERT_EQ(copyBack(out.data()), 0);
  const std::vector<uint8_t> expected = pipetest::cropScaled(picture().data(), 20, 0, 216, 192);
  EXPECT_LT(pipetest::meanAbsDiff(expected, out.data()), 4.0);
  // The grey chroma survives both turns.
  for (size_t i = 360 * 320; i < out.size(); i += 97) EXPECT_NEAR(out[i], 128, 2) << i;
  display_deinit();
}

}  // namespace
