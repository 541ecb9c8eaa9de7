#include "imaging/camera.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/display.h"
#include "enhance/sr_dde.h"
#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"
#include "imaging/encoder_channel.h"
#include "enhance/palette.h"
#include "platform/devio.h"
#include "platform/rga/rga.h"
#include "platform/rga/rga_ops.h"
#include "platform/sensor_channel_abi.h"
#include "thermal/sensor_channel.h"

// ------------------------------------------------------------------ thread

CThreadImpl::~CThreadImpl() {
  if (joinable_) Join();
}

bool CThreadImpl::Start() {
  if (running_.exchange(true)) return false;
  if (joinable_) {  // a previous run ended by itself: reap it first
    pthread_join(thread_, nullptr);
    joinable_ = false;
  }
  if (pthread_create(&thread_, nullptr, &CThreadImpl::Trampoline, this) != 0) {
    running_.store(false);
    return false;
  }
  joinable_ = true;
  return true;
}

void CThreadImpl::Join() {
  running_.store(false, std::memory_order_release);
  if (joinable_) {
    pthread_join(thread_, nullptr);
    joinable_ = false;
  }
}

void* CThreadImpl::Trampoline(void* self) {
  auto* t = static_cast<CThreadImpl*>(self);
  t->Run();
  t->running_.store(false, std::memory_order_release);
  return nullptr;
}

// ------------------------------------------------------------------ camera

namespace {

int xioctl(int fd, unsigned long request, void* arg) {
  int r;
  do {
    r = platform::dev().ioctl(fd, request, arg);
  } while (r == -1 && errno == EINTR);
  return r;
}

// The four configuration frames the core expects when capture starts.
const uint8_t kConfigFrames[4][18] = {
    {0x10, 0x10, 0x46, 0x00, 0x01, 0x03, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xC6, 0x45},
    {0x01, 0x04, 0x45, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xF7, 0xAB},
    {0x01, 0x04, 0x4A, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0x9A, 0x30},
    {0x01, 0x04, 0x4D, 0x00, 0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xB8, 0x14},
};

// Rounded half away from zero, then cut down to a multiple of 8.
int visibleSize(double v) {
  const int r = static_cast<int>(std::lround(v));
  return r - r % 8;
}

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

}  // namespace

IrCamera::IrCamera() {
  pixelFormat_ = V4L2_PIX_FMT_YUYV;
  // Slots are shown as they are when a step fails (no network, say): black,
  // never whatever the heap held.
  std::memset(scratch_, 0, sizeof scratch_);
  std::memset(sensorSlots_, 0, sizeof sensorSlots_);
  std::memset(srSlots_, 0, sizeof srSlots_);
}

IrCamera::~IrCamera() {
  if (IsInited()) Stop();
}

IrCamera::Crop IrCamera::CropFor(int scaleTenths, bool sr) {
  // The crop must fit in the frame: never below x1.
  const float s = static_cast<float>(std::max(scaleTenths, 10)) / 10.0f;
  const int frameW = sr ? kSrWidth : kSensorWidth;
  const int frameH = sr ? kSrHeight : kSensorHeight;
  Crop c;
  c.w = visibleSize((sr ? 648.0f : 216.0f) / s);
  c.h = visibleSize((sr ? 576.0f : 192.0f) / s);
  c.x = (frameW - c.w) >> 1;
  c.y = (frameH - c.h) >> 1;
  return c;
}

bool IrCamera::Init(const char* devicePath, bool srEnabled) {
  devicePath_ = devicePath;
  width_ = kSensorWidth;
  height_ = kSensorHeight;
  srEnabled_ = srEnabled;
  initialised_.store(false);
  bool channelCreated = false;
  auto fail = [&] {
    Teardown(channelCreated);
    return false;
  };

  rknn_ = sr_rknn_create(sr_model_data(), sr_model_size());
  dde_ = sr_dde_create(kSensorWidth, kSensorHeight);
  if (!dde_) return fail();
  sr_dde_set_params(dde_, 1.8f, 1.5f);
  sr_dde_set_threshold(dde_, 1);

  std::printf("device name=%s\n", devicePath);
  fd_ = platform::dev().open(devicePath, O_RDWR | O_CLOEXEC);
  std::printf("fd = %d\n", fd_);
  if (fd_ < 0) {
    std::printf("Cannot open '%s': %d, %s\n", devicePath, errno, std::strerror(errno));
    return fail();
  }

  v4l2_capability cap;
  std::memset(&cap, 0, sizeof cap);
  if (xioctl(fd_, VIDIOC_QUERYCAP, &cap) == -1) {
    if (errno == EINVAL) std::printf("%s is no V4L2 device\n", devicePath);
    return fail();
  }
  const uint32_t caps =
      (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  if (!(caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE))) {
    std::printf("%s is no video capture device\n", devicePath);
    return fail();
  }
  if (!(caps & V4L2_CAP_STREAMING)) {
    std::printf("%s does not support streaming i/o\n", devicePath);
    return fail();
  }

  v4l2_format fmt;
  std::memset(&fmt, 0, sizeof fmt);
  if (caps & V4L2_CAP_VIDEO_CAPTURE) {
    bufferType_ = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.type = bufferType_;
    fmt.fmt.pix.width = width_;
    fmt.fmt.pix.height = height_;
    fmt.fmt.pix.pixelformat = pixelFormat_;
    fmt.fmt.pix.field = V4L2_FIELD_INTERLACED;
    fmt.fmt.pix.quantization = V4L2_QUANTIZATION_FULL_RANGE;
  } else {
    bufferType_ = V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;
    fmt.type = bufferType_;
    fmt.fmt.pix_mp.width = width_;
    fmt.fmt.pix_mp.height = height_;
    fmt.fmt.pix_mp.pixelformat = pixelFormat_;
    fmt.fmt.pix_mp.field = V4L2_FIELD_INTERLACED;
    fmt.fmt.pix_mp.quantization = V4L2_QUANTIZATION_FULL_RANGE;
  }
  if (xioctl(fd_, VIDIOC_S_FMT, &fmt) == -1) {
    std::printf("Unable to set format: %d.\n", errno);
    return fail();
  }

  v4l2_requestbuffers req;
  std::memset(&req, 0, sizeof req);
  req.count = kSlotCount;
  req.type = bufferType_;
  req.memory = V4L2_MEMORY_MMAP;
  if (xioctl(fd_, VIDIOC_REQBUFS, &req) == -1) {
    if (errno == EINVAL)
      std::printf("%s does not support memory mapping\n", devicePath);
    else
      std::printf("VIDIOC_REQBUFS\n");
    return fail();
  }
  if (req.count < 2) {
    std::printf("Insufficient buffer memory on %s\n", devicePath);
    return fail();
  }
  // Every buffer needs its own slots; a driver granting more than there are
  // would have frames written past them.
  if (req.count > kSlotCount) {
    std::printf("Too many buffers granted on %s: %u, at most %d\n", devicePath, req.count,
                kSlotCount);
    return fail();
  }
  buffers_ = static_cast<Buffer*>(std::calloc(req.count, sizeof(Buffer)));
  if (!buffers_) {
    std::printf("Out of memory\n");
    return fail();
  }
  for (uint32_t i = 0; i < req.count; ++i) {
    v4l2_buffer buf;
    v4l2_plane plane;
    PrepareBuffer(&buf, &plane, i);
    if (xioctl(fd_, VIDIOC_QUERYBUF, &buf) == -1) {
      std::printf("VIDIOC_QUERYBUF\n");
      return fail();
    }
    const size_t length =
        bufferType_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE ? plane.length : buf.length;
    const off_t offset = bufferType_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE
                             ? static_cast<off_t>(plane.m.mem_offset)
                             : static_cast<off_t>(buf.m.offset);
    void* start =
        platform::dev().mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, offset);
    if (start == MAP_FAILED) {
      std::printf("mmap\n");
      return fail();
    }
    buffers_[i].start = start;
    buffers_[i].length = length;
    ++bufferCount_;
  }
  for (uint32_t i = 0; i < bufferCount_; ++i) {
    if (!Requeue(i)) {
      std::printf("VIDIOC_QBUF\n");
      return fail();
    }
  }
  v4l2_buf_type type = static_cast<v4l2_buf_type>(bufferType_);
  if (xioctl(fd_, VIDIOC_STREAMON, &type) == -1) {
    std::printf("VIDIOC_STREAMON\n");
    return fail();
  }
  streaming_ = true;

  if (!createEncoderChannel()) return fail();
  channelCreated = true;

  for (const auto& frame : kConfigFrames)
    sendSensorCommand(platform::kSensorCommandAddress, frame, sizeof frame);

  if (!Start()) return fail();
  initialised_.store(true, std::memory_order_release);
  return true;
}

bool IrCamera::Requeue(uint32_t index) {
  v4l2_buffer buf;
  v4l2_plane plane;
  PrepareBuffer(&buf, &plane, index);
  return xioctl(fd_, VIDIOC_QBUF, &buf) != -1;
}

void IrCamera::PrepareBuffer(v4l2_buffer* buf, v4l2_plane* plane, uint32_t index) const {
  std::memset(buf, 0, sizeof *buf);
  std::memset(plane, 0, sizeof *plane);
  buf->type = bufferType_;
  buf->memory = V4L2_MEMORY_MMAP;
  buf->index = index;
  if (bufferType_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE) {
    buf->m.planes = plane;
    buf->length = 1;
  }
}

bool IrCamera::Teardown(bool channelCreated) {
  bool ok = true;
  if (fd_ >= 0 && streaming_) {
    v4l2_buf_type type = static_cast<v4l2_buf_type>(bufferType_);
    if (xioctl(fd_, VIDIOC_STREAMOFF, &type) == -1) {
      std::printf("VIDIOC_STREAMOFF\n");
      ok = false;
    }
  }
  streaming_ = false;
  for (uint32_t i = 0; buffers_ && i < bufferCount_; ++i) {
    if (platform::dev().munmap(buffers_[i].start, buffers_[i].length) == -1) {
      std::printf("munmap\n");
      ok = false;
    }
  }
  std::free(buffers_);
  buffers_ = nullptr;
  bufferCount_ = 0;
  if (fd_ >= 0 && platform::dev().close(fd_) == -1) {
    std::printf("close failed\n");
    ok = false;
  }
  fd_ = -1;
  if (channelCreated) destroyEncoderChannel();
  sr_rknn_destroy(rknn_);
  rknn_ = nullptr;
  sr_dde_destroy(dde_);
  dde_ = nullptr;
  return ok;
}

bool IrCamera::Stop() {
  if (!IsInited()) return true;
  if (IsRunning()) Join();
  // Teardown goes on past a failed step: a half-released device would never
  // be brought up again.
  const bool ok = Teardown(true);
  initialised_.store(false, std::memory_order_release);
  std::printf("IrCamera stop\n");
  return ok;
}

void IrCamera::Run() {
  if (!running_.load()) return;
  while (running_.load(std::memory_order_acquire)) {
    if (paused_.load(std::memory_order_relaxed)) {
      sleepMs(200);
      continue;
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd_, &fds);
    timeval tv{0, 500000};
    int r;
    do {
      r = platform::dev().select(fd_ + 1, &fds, nullptr, nullptr, &tv);
    } while (r == -1 && errno == EINTR);
    if (r <= 0) {
      std::printf(r == 0 ? "select timeout\n" : "select error\n");
      sleepMs(10);
      continue;
    }
    v4l2_buffer buf;
    v4l2_plane plane;
    PrepareBuffer(&buf, &plane, 0);
    if (xioctl(fd_, VIDIOC_DQBUF, &buf) == -1 || buf.index >= bufferCount_) {
      sleepMs(10);
      continue;
    }
    lastIndex_.store(static_cast<int>(buf.index), std::memory_order_relaxed);
    ProcessFrame(buf.index);
  }
}

void IrCamera::ProcessFrame(uint32_t index) {
  uint8_t* const sensorSlot = sensorSlots_[index];
  uint8_t* const converted = srEnabled_ ? scratch_ : sensorSlot;
  if (rga_cvtcolor(buffers_[index].start, kSensorWidth, kSensorHeight, converted, kSensorWidth,
                   kSensorHeight) != 0) {
    if (!Requeue(index)) std::printf("VIDIOC_QBUF (after rga fail)\n");
    sleepMs(10);
    return;
  }
  sr_dde_process(dde_, converted, kSensorWidth, kSensorHeight);

  uint8_t* shown = sensorSlot;
  int w = kSensorWidth, h = kSensorHeight;
  if (srEnabled_) {
    shown = srSlots_[index];
    w = kSrWidth;
    h = kSrHeight;
    sr_rknn_run(rknn_, converted, shown);
  }
  ApplyPalette(shown, w, h, imageMode_.load(std::memory_order_relaxed));

  if (!paused_.load(std::memory_order_relaxed)) {
    const Crop c = CropFor(scale_.load(std::memory_order_relaxed), srEnabled_);
    display_show(shown, -1, RK_FORMAT_YCbCr_420_SP, w, h, c.x, c.y, c.w, c.h, 90);
    framesShown_.fetch_add(1, std::memory_order_relaxed);
  }
  if (!Requeue(index)) std::printf("VIDIOC_QBUF\n");
}
