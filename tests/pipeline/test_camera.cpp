// The capture side against the simulated camera: how the device is driven,
// what grants are accepted, the visible part of a frame at each zoom, and
// that a running camera puts frames on the panel across restarts.
#include <gtest/gtest.h>

#include <QThread>
#include <algorithm>
#include <memory>

#include "display/display.h"
#include "imaging/camera.h"
#include "tests/pipeline/pipeline_support.h"

namespace {

using pipetest::Bench;
using pipetest::stdoutOf;
using pipetest::waitUntil;

sim::SimBoardOptions cameraOffering(sim::SimCameraOptions::Planes planes, unsigned grant = 0) {
  sim::SimBoardOptions o;
  o.camera.planes = planes;
  o.camera.grantBuffers = grant;
  return o;
}

TEST(IrCameraDevice, PrefersSinglePlanarAndAcceptsOnlyGrantsItHasSlotsFor) {
  using Planes = sim::SimCameraOptions::Planes;
  struct Case {
    Planes planes;
    unsigned grant;
    bool accepted;
    uint32_t bufferType;
    const char* message;
  };
  const Case cases[] = {
      {Planes::Both, 0, true, 1, nullptr},
      {Planes::Multi, 0, true, 9, nullptr},
      {Planes::Single, 0, true, 1, nullptr},
      {Planes::Both, 2, true, 1, nullptr},
      {Planes::Multi, 3, true, 9, nullptr},
      {Planes::Both, 1, false, 0, "Insufficient buffer memory on /dev/video0\n"},
      {Planes::Multi, 5, false, 0, nullptr},
      {Planes::Neither, 0, false, 0, "/dev/video0 is no video capture device\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "planes " << int(c.planes) << " grant " << c.grant);
    Bench bench(cameraOffering(c.planes, c.grant));
    ASSERT_TRUE(bench.ok());
    const size_t openBefore = bench.openDevicesBesidesSensor();
    auto camera = std::make_unique<IrCamera>();
    bool inited = false;
    const std::string out = stdoutOf([&] { inited = camera->Init("/dev/video0", false); });
    EXPECT_EQ(inited, c.accepted) << out;
    EXPECT_EQ(camera->IsInited(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(camera->BufferType(), c.bufferType);
      EXPECT_EQ(camera->BufferCount(), c.grant ? c.grant : 4u);
      EXPECT_TRUE(bench.camera().streaming());
      // The worker runs on what was granted: buffers come back to the driver.
      const uint32_t produced = bench.camera().framesProduced();
      EXPECT_TRUE(waitUntil([&] { return camera->FramesShown() >= 3; }, 2000));
      EXPECT_TRUE(camera->Stop());
      EXPECT_LE(bench.camera().framesLost(), bench.camera().framesProduced() - produced);
    } else {
      if (c.message) {
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
      }
      // A refused bring-up leaves nothing behind.
      EXPECT_FALSE(bench.camera().streaming());
      EXPECT_FALSE(camera->IsRunning());
    }
    EXPECT_EQ(bench.openDevicesBesidesSensor(), openBefore);
  }
}

TEST(IrCameraCrop, VisiblePartIsCentredAndCutToMultiplesOfEight) {
  struct Case {
    int scale;
    bool sr;
    int x, y, w, h;
  };
  const Case cases[] = {
      {10, false, 20, 0, 216, 192},   {20, false, 76, 48, 104, 96},  {10, true, 60, 0, 648, 576},
      {20, true, 224, 144, 320, 288}, {15, false, 56, 32, 144, 128}, {13, false, 48, 24, 160, 144},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scale " << c.scale << " sr " << c.sr);
    const IrCamera::Crop got = IrCamera::CropFor(c.scale, c.sr);
    EXPECT_EQ(got.x, c.x);
    EXPECT_EQ(got.y, c.y);
    EXPECT_EQ(got.w, c.w);
    EXPECT_EQ(got.h, c.h);
    // Always inside the frame and of whole chroma blocks.
    EXPECT_EQ(got.w % 8, 0);
    EXPECT_EQ(got.h % 8, 0);
    EXPECT_LE(got.x + got.w, c.sr ? IrCamera::kSrWidth : IrCamera::kSensorWidth);
    EXPECT_LE(got.y + got.h, c.sr ? IrCamera::kSrHeight : IrCamera::kSensorHeight);
  }
}

TEST(IrCameraLifecycle, FramesReachThePanelAcrossStopAndRestart) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ASSERT_EQ(display_init(320, 360), 0);
  auto camera = std::make_unique<IrCamera>();

  // Stop before any Init is harmless.
  EXPECT_TRUE(camera->Stop());
  const size_t openBefore = bench.openDevicesBesidesSensor();

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(testing::Message() << "run " << run);
    ASSERT_TRUE(camera->Init("/dev/video0", false));
    const uint64_t shown = camera->FramesShown();
    const uint64_t commits = bench.kms().commits();
    ASSERT_TRUE(waitUntil(
        [&] { return camera->FramesShown() >= shown + 5 && bench.kms().commits() >= commits + 5; },
        3000));
    // The overlay plane latched one of the display's scan-out buffers, and it
    // holds a picture of the scene rather than an empty buffer.
    sim::SimKms::PanelFrame frame;
    ASSERT_TRUE(bench.kms().overlayFrame(&frame));
    EXPECT_EQ(frame.width, 320u);
    EXPECT_EQ(frame.height, 360u);
    bool ours = false;
    for (const DrmBuffer& b : display_state().buffers) ours = ours || b.fbId == frame.fbId;
    EXPECT_TRUE(ours);
    uint8_t lo = 255, hi = 0;
    for (uint32_t r = 0; r < frame.height; ++r)
      for (uint32_t c = 0; c < frame.width; ++c) {
        const uint8_t v = frame.bytes[r * frame.pitch + c];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    EXPECT_GT(hi - lo, 40);

    std::string out = stdoutOf([&] { EXPECT_TRUE(camera->Stop()); });
    EXPECT_NE(out.find("IrCamera stop"), std::string::npos);
    EXPECT_FALSE(camera->IsInited());
    EXPECT_FALSE(camera->IsRunning());
    EXPECT_FALSE(bench.camera().streaming());
    EXPECT_EQ(bench.openDevicesBesidesSensor(), openBefore);

    // A second Stop does nothing at all.
    out = stdoutOf([&] { EXPECT_TRUE(camera->Stop()); });
    EXPECT_EQ(out.find("IrCamera stop"), std::string::npos);

    // Stopped means no more commits.
    const uint64_t frozen = bench.kms().commits();
    QThread::msleep(150);
    EXPECT_EQ(bench.kms().commits(), frozen);
  }
  display_deinit();
  EXPECT_EQ(bench.kms().liveBuffers(), 0u);
}

TEST(IrCameraLifecycle, PauseHoldsThePictureWithoutStoppingCapture) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ASSERT_EQ(display_init(320, 360), 0);
  auto camera = std::make_unique<IrCamera>();
  ASSERT_TRUE(camera->Init("/dev/video0", false));
  ASSERT_TRUE(waitUntil([&] { return camera->FramesShown() >= 3; }, 2000));

  camera->SetPause(true);
  QThread::msleep(250);  // let a frame in hand finish
  const uint64_t commits = bench.kms().commits();
  QThread::msleep(300);
  EXPECT_EQ(bench.kms().commits(), commits);
  EXPECT_TRUE(bench.camera().streaming());
  EXPECT_TRUE(camera->IsRunning());

  camera->SetPause(false);
  EXPECT_TRUE(waitUntil([&] { return bench.kms().commits() >= commits + 3; }, 2000));
  EXPECT_TRUE(camera->Stop());
  display_deinit();
}

}  // namespace
