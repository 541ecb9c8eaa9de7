// The capture side against the simulated camera: how the device is driven,
// what grants are accepted, the visible part of a frame at each zoom, and
// that a running camera puts frames on the panel across restarts.
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <tuple>

#include "display/display.h"
#include "imaging/camera.h"
#include "imaging/encoder_channel.h"
#include "platform/devio.h"
#include "platform/rga/rga.h"
#include "tests/pipeline/pipeline_support.h"

namespace {

using pipetest::Bench;
using pipetest::stdoutOf;
using pipetest::waitUntil;

TEST(IrCameraDevice, PrefersSinglePlanarAndAcceptsOnlyGrantsItHasSlotsFor) {
  using Planes = sim::SimCameraOptions::Planes;
  struct Case {
    Planes planes;
    unsigned grant;
    bool accepted;
    uint32_t bufferType;
    const char* message;
  };
  const Case cases[] = {{Planes::Both, 0, true, 1, nullptr},
                        {Planes::Multi, 0, true, 9, nullptr},
                        {Planes::Single, 0, true, 1, nullptr},
                        {Planes::Both, 2, true, 1, nullptr},
                        {Planes::Multi, 3, true, 9, nullptr},
                        {Planes::Both, 1, false, 0, "Insufficient buffer memory on /dev/video0\n"},
                        {Planes::Multi, 5, false, 0, nullptr},
                        {Planes::Neither, 0, false, 0, "/dev/video0 is no video capture device\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "planes " << int(c.planes) << " grant " << c.grant);
    sim::SimBoardOptions options;
    options.camera.planes = c.planes;
    options.camera.grantBuffers = c.grant;
    Bench bench(options);
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
    }
    EXPECT_NE(out.find(c.message ? c.message : ""), std::string::npos) << out;
    // A refused bring-up (or a stopped camera) leaves nothing behind.
    EXPECT_FALSE(bench.camera().streaming());
    EXPECT_FALSE(camera->IsRunning());
    EXPECT_EQ(bench.openDevicesBesidesSensor(), openBefore);
  }
}

TEST(IrCameraDevice, AFailedBringUpReleasesEverythingAndTheNextOneWorks) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  sim::SimCamera& dev = bench.camera();
  const size_t openBefore = bench.openDevicesBesidesSensor();
  auto camera = std::make_unique<IrCamera>();
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* message;
  };
  const Case cases[] = {
      {"open", [&] { dev.failNext(sim::SimDevice::kOpOpen, ENOENT); }, "Cannot open '/dev/video0'"},
      {"format", [&] { dev.failNext(VIDIOC_S_FMT, EBUSY); }, "Unable to set format: 16."},
      {"buffers", [&] { dev.failNext(VIDIOC_REQBUFS, EINVAL); },
       "/dev/video0 does not support memory mapping"},
      {"map", [&] { dev.failNext(sim::SimDevice::kOpMmap, ENOMEM); }, "mmap\n"},
      {"stream", [&] { dev.failNext(VIDIOC_STREAMON, EIO); }, "VIDIOC_STREAMON\n"},
      // Encoder channel 0 is already taken.
      {"encoder", [] { ASSERT_TRUE(createEncoderChannel()); }, "ERROR: Create h264 venc failed!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    bool inited = true;
    const std::string out = stdoutOf([&] { inited = camera->Init("/dev/video0", false); });
    EXPECT_FALSE(inited);
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
    EXPECT_FALSE(camera->IsInited() || camera->IsRunning() || dev.streaming());
    EXPECT_EQ(bench.openDevicesBesidesSensor(), openBefore);
    if (std::string(c.name) == "encoder") destroyEncoderChannel();
    dev.clearFaults();
  }
  // The next attempt succeeds, and passing dequeue errors do not end capture;
  // a run of them is logged thinned, with what the driver said.
  ASSERT_EQ(display_init(320, 360), 0);
  ASSERT_TRUE(camera->Init("/dev/video0", false));
  ASSERT_TRUE(waitUntil([&] { return camera->FramesShown() >= 2; }, 2000));
  std::fflush(stderr);
  testing::internal::CaptureStderr();
  dev.failNext(VIDIOC_DQBUF, EIO, 31);
  const uint64_t shown = camera->FramesShown();
  EXPECT_TRUE(waitUntil([&] { return camera->FramesShown() >= shown + 5; }, 4000));
  std::fflush(stderr);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("camera: /dev/video0: VIDIOC_DQBUF failed: Input/output error (1 so far)\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("VIDIOC_DQBUF failed: Input/output error (31 so far)\n"), std::string::npos)
      << log;
  size_t lines = 0;
  for (size_t at = log.find("VIDIOC_DQBUF"); at != std::string::npos;
       at = log.find("VIDIOC_DQBUF", at + 1))
    ++lines;
  EXPECT_EQ(lines, 2u) << log;
  EXPECT_TRUE(camera->Stop());
  display_deinit();
}

// A driver that reports a buffer under an index none of ours has keeps that
// buffer from us; more of those than there are buffers would end capture.
TEST(IrCameraDevice, DequeuesUnderAStrayIndexDoNotStarveCapture) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ASSERT_EQ(display_init(320, 360), 0);
  auto camera = std::make_unique<IrCamera>();
  ASSERT_TRUE(camera->Init("/dev/video0", false));
  ASSERT_TRUE(waitUntil([&] { return camera->FramesShown() >= 2; }, 2000));
  bench.camera().strayNextDequeues(6);
  const uint64_t shown = camera->FramesShown();
  EXPECT_TRUE(waitUntil([&] { return camera->FramesShown() >= shown + 5; }, 3000));
  EXPECT_TRUE(camera->Stop());
  display_deinit();
}

TEST(IrCameraLifecycle, FramesReachThePanelAcrossPauseStopAndRestart) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ASSERT_EQ(display_init(320, 360), 0);
  auto camera = std::make_unique<IrCamera>();

  // Stop before any Init is harmless.
  EXPECT_TRUE(camera->Stop());
  const size_t openBefore = bench.openDevicesBesidesSensor();

  // The second run goes through super-resolution.
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(testing::Message() << "run " << run);
    ASSERT_TRUE(camera->Init("/dev/video0", run == 1));
    const uint64_t shown = camera->FramesShown();
    const uint64_t commits = bench.kms().commits();
    ASSERT_TRUE(waitUntil(
        [&] { return camera->FramesShown() >= shown + 5 && bench.kms().commits() >= commits + 5; },
        3000));
    // The overlay plane latched one of the display's scan-out buffers, and it
    // holds a picture of the scene rather than an empty buffer.
    sim::SimKms::PanelFrame frame;
    ASSERT_TRUE(bench.kms().overlayFrame(&frame));
    EXPECT_EQ(std::make_pair(frame.width, frame.height), std::make_pair(320u, 360u));
    const auto& ours = display_state().buffers;
    EXPECT_TRUE(std::any_of(std::begin(ours), std::end(ours),
                            [&](const DrmBuffer& b) { return b.fbId == frame.fbId; }));
    uint8_t lo = 255, hi = 0;
    for (uint32_t r = 0; r < frame.height; ++r)
      for (uint32_t c = 0; c < frame.width; ++c) {
        lo = std::min(lo, frame.bytes[r * frame.pitch + c]);
        hi = std::max(hi, frame.bytes[r * frame.pitch + c]);
      }
    EXPECT_GT(hi - lo, 40);
    // Palette 0 colours the picture: its chroma is not the flat grey of an
    // uncoloured (or never written) plane.
    const uint8_t* chroma = frame.bytes.data() + frame.pitch * frame.height;
    int coloured = 0;
    for (uint32_t r = 0; r < frame.height / 2; r += 4)
      for (uint32_t c = 0; c < frame.width; c += 8)
        coloured += std::abs(chroma[r * frame.pitch + c] - 128) > 8;
    EXPECT_GT(coloured, 100);

    // Pause holds the picture without stopping capture.
    camera->SetPause(true);
    QThread::msleep(250);  // let a frame in hand finish
    const uint64_t paused = bench.kms().commits();
    QThread::msleep(300);
    EXPECT_EQ(bench.kms().commits(), paused);
    EXPECT_TRUE(bench.camera().streaming());
    camera->SetPause(false);
    EXPECT_TRUE(waitUntil([&] { return bench.kms().commits() >= paused + 3; }, 2000));

    std::string out = stdoutOf([&] { EXPECT_TRUE(camera->Stop()); });
    EXPECT_NE(out.find("IrCamera stop"), std::string::npos);
    EXPECT_FALSE(camera->IsInited() || camera->IsRunning() || bench.camera().streaming());
    EXPECT_EQ(bench.openDevicesBesidesSensor(), openBefore);

    // A second Stop does nothing at all; stopped means no more commits.
    const uint64_t frozen = bench.kms().commits();
    out = stdoutOf([&] { EXPECT_TRUE(camera->Stop()); });
    EXPECT_EQ(out.find("IrCamera stop"), std::string::npos);
    QThread::msleep(150);
    EXPECT_EQ(bench.kms().commits(), frozen);
  }
  display_deinit();
  EXPECT_EQ(bench.kms().liveBuffers(), 0u);
}

// Overwrites each dequeued frame with a fixed picture, so what reaches the
// panel is known exactly.
class FixedPictureIo : public pipetest::ForwardingIo {
 public:
  FixedPictureIo(platform::DeviceIo& inner, std::vector<uint8_t> yuyv)
      : ForwardingIo(inner), yuyv_(std::move(yuyv)) {}
  int open(const char* p, int f, mode_t m) override {
    const int fd = in_.open(p, f, m);
    if (std::string(p) == "/dev/video0") camera_ = fd;
    return fd;
  }
  int ioctl(int fd, unsigned long request, void* arg) override {
    const int r = in_.ioctl(fd, request, arg);
    if (r == 0 && fd == camera_ && request == VIDIOC_DQBUF) {
      const auto* b = static_cast<const v4l2_buffer*>(arg);
      if (b->index < maps_.size() && maps_[b->index].second >= yuyv_.size())
        std::copy(yuyv_.begin(), yuyv_.end(), static_cast<uint8_t*>(maps_[b->index].first));
    }
    return r;
  }
  // The camera maps its buffers in index order.
  void* mmap(void* a, size_t l, int p, int f, int fd, off_t o) override {
    void* m = in_.mmap(a, l, p, f, fd, o);
    if (m != MAP_FAILED && fd == camera_) maps_.emplace_back(m, l);
    return m;
  }
  int munmap(void* a, size_t l) override {
    for (auto& m : maps_)
      if (m.first == a) m = {nullptr, 0};
    return in_.munmap(a, l);
  }

 private:
  std::vector<uint8_t> yuyv_;
  std::vector<std::pair<void*, size_t>> maps_;
  int camera_ = -1;
};

TEST(IrCameraLifecycle, ZoomShowsTheCentredCropUprightOnThePanel) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  const std::vector<uint8_t> luma = pipetest::asymmetricFrame();
  std::vector<uint8_t> yuyv(256 * 192 * 2, 128);
  for (size_t i = 0; i < 256 * 192; ++i) yuyv[2 * i] = luma[i];
  FixedPictureIo io(bench.board().io(), yuyv);
  pipetest::IoOverride installed(bench, io);

  ASSERT_EQ(display_init(320, 360), 0);
  auto camera = std::make_unique<IrCamera>();
  camera->SetImageMode(1);  // grey: the palette keeps the luma
  ASSERT_TRUE(camera->Init("/dev/video0", false));
  std::vector<uint8_t> shown(360 * 320 * 3 / 2);
  const std::vector<uint8_t> whole = pipetest::cropScaled(luma.data(), 20, 0, 216, 192);
  const std::vector<uint8_t> centre = pipetest::cropScaled(luma.data(), 76, 48, 104, 96);
  for (int scale : {10, 20}) {
    SCOPED_TRACE(testing::Message() << "scale " << scale);
    camera->SetScale(scale);
    const uint64_t from = camera->FramesShown();
    ASSERT_TRUE(waitUntil([&] { return camera->FramesShown() >= from + 3; }, 2000));
    ASSERT_EQ(display_rga_copy_last_to(shown.data(), 360, 320, 270, RK_FORMAT_YCbCr_420_SP), 0);
    EXPECT_LT(pipetest::meanAbsDiff(scale == 10 ? whole : centre, shown.data()), 3.0);
    // Grey stays grey.
    for (size_t i = 360 * 320; i < shown.size(); i += 97) EXPECT_NEAR(shown[i], 128, 2) << i;
  }
  EXPECT_TRUE(camera->Stop());
  display_deinit();
}

}  // namespace
