#include "imaging/camera.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "display/display.h"
#include "enhance/palette.h"
#include "enhance/sr_dde.h"
#include "enhance/sr_fallback.h"
#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"
#include "imaging/encoder_channel.h"
#include "platform/devio.h"
#include "platform/rga/rga.h"
#include "platform/rga/rga_ops.h"
#include "platform/visible_crop.h"
#include "thermal/sensor_channel.h"

namespace {

int xioctl(int fd, unsigned long request, void* arg) {
  int r;
  do {
    r = platform::dev().ioctl(fd, request, arg);
  } while (r == -1 && errno == EINTR);
  return r;
}

// The negated errno of the call that just failed (never 0: a failure is a
// failure even when the call forgot to say why).
int lastError() { return errno > 0 ? -errno : -EIO; }

void sleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

}  // namespace

// ------------------------------------------------------------------ mapping

IrCamera::Mapping::Mapping(Mapping&& other) noexcept
    : start_(std::exchange(other.start_, nullptr)), length_(other.length_) {}

bool IrCamera::Mapping::unmap() {
  if (!start_) return true;
  const bool ok = platform::dev().munmap(start_, length_) != -1;
  start_ = nullptr;
  return ok;
}

// ------------------------------------------------------------------ camera

IrCamera::IrCamera() {
  pixelFormat_ = V4L2_PIX_FMT_YUYV;
  buffers_.reserve(kSlotCount);
  // Slots are shown as they are when a step fails (no network, say): black,
  // never whatever the heap held.
  std::memset(scratch_, 0, sizeof scratch_);
  std::memset(sensorSlots_, 0, sizeof sensorSlots_);
  std::memset(srSlots_, 0, sizeof srSlots_);
}

IrCamera::~IrCamera() {
  if (IsInited()) Stop();
}

bool IrCamera::Init(const char* devicePath, bool srEnabled) {
  node_ = devicePath ? devicePath : "";
  width_ = kSensorWidth;
  height_ = kSensorHeight;
  srEnabled_ = srEnabled;
  initialised_.store(false);

  uint32_t granted = 0;
  if (CreateContexts() != 0 || OpenDevice(devicePath) != 0 || SetFormat() != 0 ||
      RequestBuffers(devicePath, &granted) != 0 || MapBuffers(granted) != 0 || StreamOn() != 0 ||
      OpenEncoderChannel() != 0) {
    Teardown();
    return false;
  }
  // The core answers nothing we act on: the result is not looked at.
  sendCaptureConfiguration();
  if (!Start()) {
    diag::error(diag::kCamera, "%s: cannot start the capture thread", node_.c_str());
    Teardown();
    return false;
  }
  initialised_.store(true, std::memory_order_release);
  return true;
}

int IrCamera::CreateContexts() {
  // No NPU context is no network, not a failed bring-up: super-resolution
  // then interpolates.
  rknn_ = sr_rknn_create(sr_model_data(), sr_model_size());
  if (!rknn_)
    diag::warning(diag::kNpu, "%s: no NPU context: super-resolution interpolates", node_.c_str());
  dde_ = sr_dde_create(kSensorWidth, kSensorHeight);
  if (!dde_) {
    diag::error(diag::kCamera, "%s: no detail enhancement context", node_.c_str());
    return -ENOMEM;
  }
  sr_dde_set_params(dde_, 1.8f, 1.5f);
  sr_dde_set_threshold(dde_, 1);
  return 0;
}

int IrCamera::OpenDevice(const char* devicePath) {
  diag::out("device name=%s\n", devicePath);
  const int fd = platform::dev().open(devicePath, O_RDWR | O_CLOEXEC);
  const int openError = errno;
  fd_.reset(fd);
  diag::out("fd = %d\n", fd_.get());
  if (!fd_.valid()) {
    diag::out("Cannot open '%s': %d, %s\n", devicePath, openError, std::strerror(openError));
    return openError > 0 ? -openError : -EIO;
  }

  v4l2_capability cap;
  std::memset(&cap, 0, sizeof cap);
  if (xioctl(fd_.get(), VIDIOC_QUERYCAP, &cap) == -1) {
    const int r = lastError();
    if (r == -EINVAL) diag::out("%s is no V4L2 device\n", devicePath);
    return r;
  }
  const uint32_t caps =
      (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  if (!(caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE))) {
    diag::out("%s is no video capture device\n", devicePath);
    return -ENODEV;
  }
  if (!(caps & V4L2_CAP_STREAMING)) {
    diag::out("%s does not support streaming i/o\n", devicePath);
    return -ENODEV;
  }
  // Single-planar whenever offered.
  bufferType_ = (caps & V4L2_CAP_VIDEO_CAPTURE) ? V4L2_BUF_TYPE_VIDEO_CAPTURE
                                                : V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;
  return 0;
}

int IrCamera::SetFormat() {
  v4l2_format fmt;
  std::memset(&fmt, 0, sizeof fmt);
  fmt.type = bufferType_;
  if (bufferType_ == V4L2_BUF_TYPE_VIDEO_CAPTURE) {
    fmt.fmt.pix.width = width_;
    fmt.fmt.pix.height = height_;
    fmt.fmt.pix.pixelformat = pixelFormat_;
    fmt.fmt.pix.field = V4L2_FIELD_INTERLACED;
    fmt.fmt.pix.quantization = V4L2_QUANTIZATION_FULL_RANGE;
  } else {
    fmt.fmt.pix_mp.width = width_;
    fmt.fmt.pix_mp.height = height_;
    fmt.fmt.pix_mp.pixelformat = pixelFormat_;
    fmt.fmt.pix_mp.field = V4L2_FIELD_INTERLACED;
    fmt.fmt.pix_mp.quantization = V4L2_QUANTIZATION_FULL_RANGE;
  }
  if (xioctl(fd_.get(), VIDIOC_S_FMT, &fmt) == -1) {
    const int r = lastError();
    diag::out("Unable to set format: %d.\n", -r);
    return r;
  }
  return 0;
}

int IrCamera::RequestBuffers(const char* devicePath, uint32_t* granted) {
  v4l2_requestbuffers req;
  std::memset(&req, 0, sizeof req);
  req.count = kSlotCount;
  req.type = bufferType_;
  req.memory = V4L2_MEMORY_MMAP;
  if (xioctl(fd_.get(), VIDIOC_REQBUFS, &req) == -1) {
    const int r = lastError();
    if (r == -EINVAL)
      diag::out("%s does not support memory mapping\n", devicePath);
    else
      diag::out("VIDIOC_REQBUFS\n");
    return r;
  }
  if (req.count < 2) {
    diag::out("Insufficient buffer memory on %s\n", devicePath);
    return -ENOMEM;
  }
  // Every buffer needs its own slots; a driver granting more than there are
  // would have frames written past them.
  if (req.count > kSlotCount) {
    diag::error(diag::kCamera, "%s granted %u buffers, at most %d are usable", devicePath,
                req.count, kSlotCount);
    return -EINVAL;
  }
  *granted = req.count;
  return 0;
}

int IrCamera::MapBuffers(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    v4l2_buffer buf;
    v4l2_plane plane;
    PrepareBuffer(&buf, &plane, i);
    if (xioctl(fd_.get(), VIDIOC_QUERYBUF, &buf) == -1) {
      const int r = lastError();
      diag::out("VIDIOC_QUERYBUF\n");
      return r;
    }
    const bool multi = bufferType_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;
    const size_t length = multi ? plane.length : buf.length;
    const off_t offset =
        multi ? static_cast<off_t>(plane.m.mem_offset) : static_cast<off_t>(buf.m.offset);
    void* start = platform::dev().mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED,
                                       fd_.get(), offset);
    if (start == MAP_FAILED) {
      const int r = lastError();
      diag::out("mmap\n");
      return r;
    }
    buffers_.emplace_back(start, length);
  }
  return 0;
}

int IrCamera::StreamOn() {
  for (uint32_t i = 0; i < BufferCount(); ++i) {
    if (!Requeue(i)) {
      const int r = lastError();
      diag::out("VIDIOC_QBUF\n");
      return r;
    }
  }
  v4l2_buf_type type = static_cast<v4l2_buf_type>(bufferType_);
  if (xioctl(fd_.get(), VIDIOC_STREAMON, &type) == -1) {
    const int r = lastError();
    diag::out("VIDIOC_STREAMON\n");
    return r;
  }
  streaming_ = true;
  return 0;
}

int IrCamera::OpenEncoderChannel() {
  if (!createEncoderChannel()) {
    diag::error(diag::kCamera, "%s: encoder channel 0 cannot be opened", node_.c_str());
    return -EBUSY;
  }
  channelOpen_ = true;
  return 0;
}

bool IrCamera::Requeue(uint32_t index) {
  v4l2_buffer buf;
  v4l2_plane plane;
  PrepareBuffer(&buf, &plane, index);
  return xioctl(fd_.get(), VIDIOC_QBUF, &buf) != -1;
}

bool IrCamera::RestartStream() {
  v4l2_buf_type type = static_cast<v4l2_buf_type>(bufferType_);
  // A stream off hands every buffer back to us, queued or not.
  if (xioctl(fd_.get(), VIDIOC_STREAMOFF, &type) == -1) return false;
  for (uint32_t i = 0; i < BufferCount(); ++i)
    if (!Requeue(i)) return false;
  return xioctl(fd_.get(), VIDIOC_STREAMON, &type) != -1;
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

bool IrCamera::Teardown() {
  bool ok = true;
  if (fd_.valid() && streaming_) {
    v4l2_buf_type type = static_cast<v4l2_buf_type>(bufferType_);
    if (xioctl(fd_.get(), VIDIOC_STREAMOFF, &type) == -1) {
      diag::out("VIDIOC_STREAMOFF\n");
      ok = false;
    }
  }
  streaming_ = false;
  for (Mapping& m : buffers_) {
    if (!m.unmap()) {
      diag::out("munmap\n");
      ok = false;
    }
  }
  buffers_.clear();
  if (fd_.reset() == -1) {
    diag::out("close failed\n");
    ok = false;
  }
  if (channelOpen_) destroyEncoderChannel();
  channelOpen_ = false;
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
  const bool ok = Teardown();
  initialised_.store(false, std::memory_order_release);
  diag::out("IrCamera stop\n");
  return ok;
}

void IrCamera::Run() {
  if (!running_.load()) return;
  const int fd = fd_.get();
  while (running_.load(std::memory_order_acquire)) {
    if (paused_.load(std::memory_order_relaxed)) {
      sleepMs(200);
      continue;
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    timeval tv{0, 500000};
    int r;
    do {
      r = platform::dev().select(fd + 1, &fds, nullptr, nullptr, &tv);
    } while (r == -1 && errno == EINTR);
    if (r <= 0) {
      if (selectFailures_.next()) diag::out(r == 0 ? "select timeout\n" : "select error\n");
      sleepMs(10);
      continue;
    }
    v4l2_buffer buf;
    v4l2_plane plane;
    PrepareBuffer(&buf, &plane, 0);
    if (xioctl(fd, VIDIOC_DQBUF, &buf) == -1) {
      // A driver that fails every dequeue leaves the picture frozen: say why.
      const int e = errno;
      uint32_t n = 0;
      if (dequeueFailures_.next(&n))
        diag::warning(diag::kCamera, "%s: VIDIOC_DQBUF failed: %s (%u so far)", node_.c_str(),
                      std::strerror(e), n);
      sleepMs(10);
      continue;
    }
    if (buf.index >= BufferCount()) {
      // The driver holds that buffer as ours now, and we cannot name it to
      // give it back: four of these would starve capture for good.
      uint32_t n = 0;
      const bool restarted = RestartStream();
      if (strayIndexes_.next(&n))
        diag::warning(diag::kCamera, "%s: dequeued buffer %u of %u: stream %s (%u so far)",
                      node_.c_str(), buf.index, BufferCount(),
                      restarted ? "restarted" : "restart failed", n);
      sleepMs(10);
      continue;
    }
    ProcessFrame(buf.index);
  }
}

void IrCamera::ProcessFrame(uint32_t index) {
  uint8_t* const sensorSlot = sensorSlots_[index];
  uint8_t* const converted = srEnabled_ ? scratch_ : sensorSlot;
  if (rga_cvtcolor(buffers_[index].start(), kSensorWidth, kSensorHeight, converted, kSensorWidth,
                   kSensorHeight) != 0) {
    if (!Requeue(index) && queueFailures_.next()) diag::out("VIDIOC_QBUF (after rga fail)\n");
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
    sr_enlarge(rknn_, converted, shown);
  }
  ApplyPalette(shown, w, h, imageMode_.load(std::memory_order_relaxed));

  if (!paused_.load(std::memory_order_relaxed)) {
    const platform::VisibleCrop c =
        platform::visibleCrop(scale_.load(std::memory_order_relaxed), srEnabled_);
    display_show(shown, -1, RK_FORMAT_YCbCr_420_SP, w, h, c.x, c.y, c.w, c.h, 90);
    framesShown_.fetch_add(1, std::memory_order_relaxed);
  }
  if (!Requeue(index) && queueFailures_.next()) diag::out("VIDIOC_QBUF\n");
}
