// The simulated camera through the device I/O seam, driven as any V4L2
// client drives a camera, and its quirks on demand.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <tuple>

#include "platform/devio.h"
#include "sim/sim_board.h"
#include "tests/sim/capture_client.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace {

using Planes = sim::SimCameraOptions::Planes;
constexpr uint32_t kMulti = V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE,
                   kSingle = V4L2_BUF_TYPE_VIDEO_CAPTURE;

v4l2_buffer mplaneBuffer(v4l2_plane* plane, unsigned index) {
  v4l2_buffer b{};
  b.type = kMulti;
  b.memory = V4L2_MEMORY_MMAP;
  b.index = index;
  b.m.planes = plane;
  b.length = 1;
  return b;
}

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimBoardOptions o;
    o.camera.frameIntervalUs = 5000;  // fast, for the tests that do not time
    QString error;
    ASSERT_TRUE(board_.create(o, &error)) << error.toStdString();
    board_.install();
  }
  void setCamera(Planes planes, unsigned grant = 0, unsigned intervalUs = 5000) {
    sim::SimCameraOptions c;
    c.planes = planes;
    c.grantBuffers = grant;
    c.frameIntervalUs = intervalUs;
    board_.camera().setOptions(c);
  }
  TempRoot root_;
  sim::SimBoard board_;
};

// The multi-planar run also goes at the board's pace, 25 frames a second.
TEST_F(CameraTest, CaptureLoopReceivesYuyvFramesInBothLayouts) {
  for (const auto& [planes, intervalUs, count] :
       {std::make_tuple(Planes::Single, 5000u, 8), std::make_tuple(Planes::Multi, 40000u, 21)}) {
    setCamera(planes, 0, intervalUs);
    simtest::CaptureClient c;
    ASSERT_TRUE(c.open("/dev/video0")) << c.error();
    EXPECT_EQ(c.type(), planes == Planes::Single ? kSingle : kMulti);
    EXPECT_EQ(c.bufferCount(), 4u);
    ASSERT_TRUE(c.start()) << c.error();
    uint32_t lastSeq = 0;
    int frames = 0, lit = 0;
    timeval first{}, last{};
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(c.capture(1000, [&](const uint8_t* p, size_t n, const v4l2_buffer& b) {
        EXPECT_TRUE(!frames++ || b.sequence > lastSeq);
        lastSeq = b.sequence;
        (frames == 1 ? first : last) = b.timestamp;
        EXPECT_TRUE(b.flags & V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC);
        EXPECT_EQ(p[1], 128);
        EXPECT_EQ(p[3], 128);
        for (size_t k = 0; k < n; k += 2) lit += p[k] > 200;
      })) << c.error();
    }
    EXPECT_GT(lit, 0) << "the picture has warm parts";
    ASSERT_TRUE(c.stop()) << c.error();
    EXPECT_FALSE(c.capture(60, nullptr));  // stopped: nothing becomes readable
    if (intervalUs != 40000u) continue;
    const double rate =
        (count - 1) / ((last.tv_sec - first.tv_sec) + (last.tv_usec - first.tv_usec) / 1e6);
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    const bool slower = true;  // instrumented builds may be slower: never faster
#else
    const bool slower = testsupport::timeScale() > 1;  // an emulated processor, say
#endif
    if (slower)
      EXPECT_LT(rate, 26.5);
    else
      EXPECT_NEAR(rate, 25.0, 1.5);
    EXPECT_EQ(board_.camera().framesLost(), 0u);
  }
  // Unregistered paths are files of the board's tree, never the PC's /dev.
  EXPECT_LT(platform::dev().open("/dev/video7", O_RDWR), 0);
  ASSERT_TRUE(root_.write("/dev/video7", "x"));
  const int fd = platform::dev().open("/dev/video7", O_RDONLY);
  EXPECT_GE(fd, 0);
  platform::dev().close(fd);
}

TEST_F(CameraTest, MisuseIsRefusedAsADriverWould) {
  simtest::CaptureClient c;
  ASSERT_TRUE(c.open("/dev/video0")) << c.error();
  const int fd = c.fd();
  auto& io = platform::dev();
  auto refused = [](int rc, int err) { return rc == -1 && errno == err; };
  EXPECT_TRUE(refused(io.ioctl(fd, VIDIOC_G_PARM, nullptr), ENOTTY));
  EXPECT_TRUE(refused(io.ioctl(fd, VIDIOC_QUERYCAP, nullptr), EFAULT));

  // Buffers are reachable only whole, at their own offsets, and shared.
  EXPECT_EQ(io.mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 12345), MAP_FAILED);
  EXPECT_EQ(io.mmap(nullptr, 1 << 20, PROT_READ, MAP_SHARED, fd, 0), MAP_FAILED);
  EXPECT_EQ(io.mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, fd, 0), MAP_FAILED);
  EXPECT_EQ(io.mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 64 * 98304), MAP_FAILED);

  v4l2_plane plane{};
  v4l2_buffer b = mplaneBuffer(&plane, 9);
  EXPECT_TRUE(refused(io.ioctl(fd, VIDIOC_QBUF, &b), EINVAL));  // no such buffer
  b.index = 0;
  b.m.planes = nullptr;
  EXPECT_EQ(io.ioctl(fd, VIDIOC_QUERYBUF, &b), -1);  // multi-planar needs its plane array
  b.m.planes = &plane;
  ASSERT_EQ(io.ioctl(fd, VIDIOC_QBUF, &b), 0);
  EXPECT_TRUE(refused(io.ioctl(fd, VIDIOC_QBUF, &b), EINVAL));  // already queued
  b.type = kSingle;
  EXPECT_TRUE(refused(io.ioctl(fd, VIDIOC_DQBUF, &b), EINVAL));

  // Another opener cannot take the buffers away; other memory is refused.
  const int other = io.open("/dev/video0", O_RDWR | O_NONBLOCK);
  ASSERT_GE(other, 0);
  v4l2_requestbuffers req{};
  req.count = 2;
  req.type = kMulti;
  req.memory = V4L2_MEMORY_MMAP;
  EXPECT_TRUE(refused(io.ioctl(other, VIDIOC_REQBUFS, &req), EBUSY));
  req.memory = V4L2_MEMORY_USERPTR;
  EXPECT_TRUE(refused(io.ioctl(fd, VIDIOC_REQBUFS, &req), EINVAL));
  io.close(other);

  // Closing the owner ends the stream and frees the buffers for the next one.
  int type = kMulti;
  ASSERT_EQ(io.ioctl(fd, VIDIOC_STREAMON, &type), 0);
  EXPECT_TRUE(board_.camera().streaming());
  c.close();
  EXPECT_FALSE(board_.camera().streaming());
  {
    simtest::CaptureClient again;
    EXPECT_TRUE(again.open("/dev/video0")) << again.error();
  }
  EXPECT_EQ(board_.io().openCount(), 0u);  // every descriptor given back
}

TEST_F(CameraTest, ReadinessFollowsTheQueue) {
  auto& io = platform::dev();
  simtest::CaptureClient c;
  ASSERT_TRUE(c.open("/dev/video0")) << c.error();
  // Dequeueing without a stream is refused rather than waiting forever.
  v4l2_plane plane{};
  v4l2_buffer b = mplaneBuffer(&plane, 0);
  EXPECT_EQ(io.ioctl(c.fd(), VIDIOC_DQBUF, &b), -1);
  EXPECT_EQ(errno, EINVAL);
  // Streaming with every buffer held by the client: frames are dropped and
  // the descriptor never becomes readable.
  int type = kMulti;
  ASSERT_EQ(io.ioctl(c.fd(), VIDIOC_STREAMON, &type), 0);
  pollfd p{c.fd(), POLLIN, 0};
  EXPECT_EQ(io.poll(&p, 1, 50), 0);
  EXPECT_GT(board_.camera().framesLost(), 0u);
  b.index = 1;
  ASSERT_EQ(io.ioctl(c.fd(), VIDIOC_QBUF, &b), 0);
  EXPECT_EQ(io.poll(&p, 1, 1000), 1);
  ASSERT_EQ(io.ioctl(c.fd(), VIDIOC_DQBUF, &b), 0);
  EXPECT_EQ(b.index, 1u);
  EXPECT_EQ(plane.bytesused, 256u * 192u * 2u);
  EXPECT_EQ(io.poll(&p, 1, 30), 0);  // consumed: not readable again
  ASSERT_EQ(io.ioctl(c.fd(), VIDIOC_STREAMOFF, &type), 0);
}

}  // namespace
