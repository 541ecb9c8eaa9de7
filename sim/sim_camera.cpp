#include "sim/sim_camera.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace sim {
namespace {

constexpr uint32_t kSingle = V4L2_BUF_TYPE_VIDEO_CAPTURE;
constexpr uint32_t kMulti = V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;

int fail(int err) {
  errno = err;
  return -1;
}

void copyName(uint8_t* dst, size_t size, const char* src) {
  std::memset(dst, 0, size);
  std::strncpy(reinterpret_cast<char*>(dst), src, size - 1);
}

void drain(int eventFd) {
  uint64_t v;
  while (::read(eventFd, &v, sizeof v) == static_cast<ssize_t>(sizeof v)) {
  }
}

}  // namespace

SimCamera::SimCamera(std::shared_ptr<ThermalCore> core, const SimCameraOptions& options)
    : core_(std::move(core)), opt_(options) {
  type_ = (opt_.planes == SimCameraOptions::Planes::Single) ? kSingle : kMulti;
}

SimCamera::~SimCamera() {
  std::unique_lock<std::mutex> lock(mu_);
  stopStreamingLocked(lock);
  freeBuffersLocked();
  fds_.clear();
}

void SimCamera::setOptions(const SimCameraOptions& options) {
  std::lock_guard<std::mutex> lock(mu_);
  opt_ = options;
  if (buffers_.empty())
    type_ = (opt_.planes == SimCameraOptions::Planes::Single) ? kSingle : kMulti;
}

SimCameraOptions SimCamera::options() const {
  std::lock_guard<std::mutex> lock(mu_);
  return opt_;
}

bool SimCamera::streaming() const {
  std::lock_guard<std::mutex> lock(mu_);
  return streaming_;
}

uint32_t SimCamera::framesProduced() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sequence_;
}

void SimCamera::strayNextDequeues(int times) {
  std::lock_guard<std::mutex> lock(mu_);
  strayDequeues_ = times;
}

uint32_t SimCamera::framesLost() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lost_;
}

int SimCamera::open(int flags) {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  fds_.emplace(fd, platform::UniqueFd(fd));
  if (flags & O_NONBLOCK) nonblocking_.insert(fd);
  return fd;
}

void SimCamera::release(int fd) {
  std::unique_lock<std::mutex> lock(mu_);
  if (fd == owner_) {
    // Closing the owner ends the stream and frees the buffers, as vb2 does.
    stopStreamingLocked(lock);
    freeBuffersLocked();
  }
  nonblocking_.erase(fd);
  fds_.erase(fd);
}

bool SimCamera::typeOk(uint32_t type) const {
  switch (opt_.planes) {
    case SimCameraOptions::Planes::Single:
      return type == kSingle;
    case SimCameraOptions::Planes::Multi:
      return type == kMulti;
    case SimCameraOptions::Planes::Both:
      return type == kSingle || type == kMulti;
    case SimCameraOptions::Planes::Neither:
      return false;
  }
  return false;
}

uint32_t SimCamera::capabilities() const {
  uint32_t caps = V4L2_CAP_STREAMING;
  if (opt_.planes == SimCameraOptions::Planes::Single ||
      opt_.planes == SimCameraOptions::Planes::Both)
    caps |= V4L2_CAP_VIDEO_CAPTURE;
  if (opt_.planes == SimCameraOptions::Planes::Multi ||
      opt_.planes == SimCameraOptions::Planes::Both)
    caps |= V4L2_CAP_VIDEO_CAPTURE_MPLANE;
  return caps;
}

int SimCamera::ioctl(int fd, unsigned long request, void* arg) {
  switch (request) {
    case VIDIOC_QUERYCAP:
    case VIDIOC_ENUM_FMT:
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT:
    case VIDIOC_REQBUFS:
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF:
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
      if (!arg) return fail(EFAULT);
      break;
    default:
      return fail(ENOTTY);
  }
  switch (request) {
    case VIDIOC_QUERYCAP:
      return queryCap(static_cast<v4l2_capability*>(arg));
    case VIDIOC_ENUM_FMT:
      return enumFmt(static_cast<v4l2_fmtdesc*>(arg));
    case VIDIOC_G_FMT: {
      auto* f = static_cast<v4l2_format*>(arg);
      std::lock_guard<std::mutex> lock(mu_);
      if (!typeOk(f->type)) return fail(EINVAL);
      fillFormat(f);
      return 0;
    }
    case VIDIOC_S_FMT:
      return setFormat(fd, static_cast<v4l2_format*>(arg), true);
    case VIDIOC_TRY_FMT:
      return setFormat(fd, static_cast<v4l2_format*>(arg), false);
    case VIDIOC_REQBUFS:
      return reqBufs(fd, static_cast<v4l2_requestbuffers*>(arg));
    case VIDIOC_QUERYBUF:
      return queryBuf(static_cast<v4l2_buffer*>(arg));
    case VIDIOC_QBUF:
      return qBuf(fd, static_cast<v4l2_buffer*>(arg));
    case VIDIOC_DQBUF:
      return dqBuf(fd, static_cast<v4l2_buffer*>(arg));
    case VIDIOC_STREAMON:
      return streamOn(fd, static_cast<const int*>(arg));
    case VIDIOC_STREAMOFF:
      return streamOff(fd, static_cast<const int*>(arg));
    default:
      return fail(ENOTTY);
  }
}

int SimCamera::queryCap(v4l2_capability* cap) {
  std::lock_guard<std::mutex> lock(mu_);
  std::memset(cap, 0, sizeof *cap);
  copyName(cap->driver, sizeof cap->driver, "rkcif");
  copyName(cap->card, sizeof cap->card, "thermal core (simulated)");
  copyName(cap->bus_info, sizeof cap->bus_info, "platform:rkcif-mipi-lvds");
  cap->version = (6 << 16) | (1 << 8);
  cap->device_caps = capabilities();
  cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
  return 0;
}

int SimCamera::enumFmt(v4l2_fmtdesc* d) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!typeOk(d->type) || d->index != 0) return fail(EINVAL);
  const uint32_t type = d->type;
  std::memset(d, 0, sizeof *d);
  d->type = type;
  d->pixelformat = V4L2_PIX_FMT_YUYV;
  copyName(d->description, sizeof d->description, "YUYV 4:2:2");
  return 0;
}

void SimCamera::fillFormat(v4l2_format* f) const {
  const uint32_t type = f->type;
  std::memset(&f->fmt, 0, sizeof f->fmt);
  f->type = type;
  if (type == kSingle) {
    v4l2_pix_format& p = f->fmt.pix;
    p.width = kWidth;
    p.height = kHeight;
    p.pixelformat = V4L2_PIX_FMT_YUYV;
    p.field = V4L2_FIELD_NONE;  // a progressive sensor
    p.bytesperline = kWidth * 2;
    p.sizeimage = kFrameBytes;
    p.colorspace = V4L2_COLORSPACE_SRGB;
    p.quantization = V4L2_QUANTIZATION_FULL_RANGE;
  } else {
    v4l2_pix_format_mplane& p = f->fmt.pix_mp;
    p.width = kWidth;
    p.height = kHeight;
    p.pixelformat = V4L2_PIX_FMT_YUYV;
    p.field = V4L2_FIELD_NONE;
    p.num_planes = 1;
    p.plane_fmt[0].bytesperline = kWidth * 2;
    p.plane_fmt[0].sizeimage = kFrameBytes;
    p.colorspace = V4L2_COLORSPACE_SRGB;
    p.quantization = V4L2_QUANTIZATION_FULL_RANGE;
  }
}

int SimCamera::setFormat(int fd, v4l2_format* f, bool apply) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!typeOk(f->type)) return fail(EINVAL);
  // The sensor has one mode: whatever is asked, the answer is what it gives.
  fillFormat(f);
  if (!apply) return 0;
  if (!buffers_.empty() && owner_ != fd) return fail(EBUSY);
  if (!buffers_.empty() && f->type != type_) return fail(EBUSY);
  type_ = f->type;
  return 0;
}

void SimCamera::freeBuffersLocked() {
  if (map_) ::munmap(map_, stride_ * buffers_.size());
  map_ = nullptr;
  memfd_.reset();
  buffers_.clear();
  owner_ = -1;
}

int SimCamera::reqBufs(int fd, v4l2_requestbuffers* r) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!typeOk(r->type) || (!buffers_.empty() && r->type != type_)) return fail(EINVAL);
  if (r->memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
  if (owner_ >= 0 && owner_ != fd) return fail(EBUSY);
  if (streaming_) return fail(EBUSY);
  freeBuffersLocked();
  type_ = r->type;
  std::memset(r->reserved, 0, sizeof r->reserved);
  r->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
  if (r->count == 0) return 0;

  unsigned count = opt_.grantBuffers ? opt_.grantBuffers : std::clamp(r->count, 2u, 8u);
  count = std::min(count, kMaxBuffers);
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  stride_ = (kFrameBytes + page - 1) / page * page;
  memfd_.reset(::memfd_create("sim-video0", MFD_CLOEXEC));
  if (!memfd_.valid() || ::ftruncate(memfd_.get(), static_cast<off_t>(stride_ * count)) != 0) {
    const int err = errno;
    freeBuffersLocked();
    return fail(err == 0 ? ENOMEM : err);
  }
  void* m = ::mmap(nullptr, stride_ * count, PROT_READ | PROT_WRITE, MAP_SHARED, memfd_.get(), 0);
  if (m == MAP_FAILED) {
    const int err = errno;
    freeBuffersLocked();
    return fail(err);
  }
  map_ = static_cast<uint8_t*>(m);
  buffers_.assign(count, Buffer{});
  owner_ = fd;
  r->count = count;
  return 0;
}

void SimCamera::describe(unsigned index, v4l2_buffer* b) const {
  const Buffer& buf = buffers_[index];
  v4l2_plane* planes = b->m.planes;
  const uint32_t type = b->type;
  std::memset(b, 0, sizeof *b);
  b->index = index;
  b->type = type;
  b->memory = V4L2_MEMORY_MMAP;
  b->field = V4L2_FIELD_NONE;
  b->flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
  if (buf.state == State::Queued || buf.state == State::Filling) b->flags |= V4L2_BUF_FLAG_QUEUED;
  if (buf.state == State::Done) b->flags |= V4L2_BUF_FLAG_DONE;
  b->sequence = buf.sequence;
  b->timestamp = buf.timestamp;
  const uint32_t offset = static_cast<uint32_t>(stride_ * index);
  if (type == kMulti) {
    b->m.planes = planes;
    b->length = 1;
    std::memset(&planes[0], 0, sizeof planes[0]);
    planes[0].length = kFrameBytes;
    planes[0].m.mem_offset = offset;
    planes[0].bytesused = buf.bytesused;
  } else {
    b->m.offset = offset;
    b->length = kFrameBytes;
    b->bytesused = buf.bytesused;
  }
}

int SimCamera::queryBuf(v4l2_buffer* b) {
  std::lock_guard<std::mutex> lock(mu_);
  if (b->type != type_ || !typeOk(b->type) || b->index >= buffers_.size()) return fail(EINVAL);
  if (b->type == kMulti && (!b->m.planes || b->length < 1)) return fail(EINVAL);
  describe(b->index, b);
  return 0;
}

int SimCamera::qBuf(int fd, v4l2_buffer* b) {
  std::lock_guard<std::mutex> lock(mu_);
  if (fd != owner_) return fail(owner_ < 0 ? EINVAL : EBUSY);
  if (b->type != type_ || b->memory != V4L2_MEMORY_MMAP || b->index >= buffers_.size())
    return fail(EINVAL);
  if (b->type == kMulti && (!b->m.planes || b->length < 1)) return fail(EINVAL);
  Buffer& buf = buffers_[b->index];
  if (buf.state != State::Dequeued) return fail(EINVAL);
  buf.state = State::Queued;
  buf.order = ++orderCounter_;
  describe(b->index, b);
  return 0;
}

int SimCamera::dqBuf(int fd, v4l2_buffer* b) {
  std::unique_lock<std::mutex> lock(mu_);
  if (fd != owner_) return fail(owner_ < 0 ? EINVAL : EBUSY);
  if (b->type != type_ || b->memory != V4L2_MEMORY_MMAP) return fail(EINVAL);
  if (b->type == kMulti && (!b->m.planes || b->length < 1)) return fail(EINVAL);
  for (;;) {
    if (!streaming_) return fail(EINVAL);
    int best = -1;
    for (size_t i = 0; i < buffers_.size(); ++i)
      if (buffers_[i].state == State::Done &&
          (best < 0 || buffers_[i].order < buffers_[best].order))
        best = static_cast<int>(i);
    if (best >= 0) {
      uint64_t v;
      (void)::read(owner_, &v, sizeof v);  // one readiness count per completed buffer
      buffers_[best].state = State::Dequeued;
      describe(static_cast<unsigned>(best), b);
      if (strayDequeues_ > 0) {
        --strayDequeues_;
        b->index = static_cast<uint32_t>(buffers_.size()) + 7;
      }
      return 0;
    }
    if (nonblocking_.count(fd)) return fail(EAGAIN);
    cv_.wait(lock);
  }
}

int SimCamera::streamOn(int fd, const int* type) {
  std::lock_guard<std::mutex> lock(mu_);
  if (static_cast<uint32_t>(*type) != type_ || !typeOk(type_)) return fail(EINVAL);
  if (fd != owner_ || buffers_.empty()) return fail(EINVAL);
  if (streaming_) return 0;
  streaming_ = true;
  producer_ = std::thread([this] { produce(); });
  return 0;
}

void SimCamera::stopStreamingLocked(std::unique_lock<std::mutex>& lock) {
  if (!streaming_ && !producer_.joinable()) return;
  streaming_ = false;
  cv_.notify_all();
  if (producer_.joinable()) {
    std::thread t = std::move(producer_);
    lock.unlock();
    t.join();
    lock.lock();
  }
  // Every buffer goes back to the application, filled or not.
  for (Buffer& b : buffers_) b.state = State::Dequeued;
  if (owner_ >= 0) drain(owner_);
}

int SimCamera::streamOff(int fd, const int* type) {
  std::unique_lock<std::mutex> lock(mu_);
  if (static_cast<uint32_t>(*type) != type_ || !typeOk(type_)) return fail(EINVAL);
  if (fd != owner_) return fail(owner_ < 0 ? EINVAL : EBUSY);
  stopStreamingLocked(lock);
  return 0;
}

void* SimCamera::mmap(int, void* addr, size_t length, int prot, int flags, off_t offset) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!(flags & MAP_SHARED) || length == 0 || offset < 0) {
    errno = EINVAL;
    return MAP_FAILED;
  }
  // Only a whole buffer, at its own offset.
  const size_t off = static_cast<size_t>(offset);
  if (!memfd_.valid() || stride_ == 0 || off % stride_ != 0 || off / stride_ >= buffers_.size() ||
      length > stride_) {
    errno = EINVAL;
    return MAP_FAILED;
  }
  return ::mmap(addr, length, prot, flags, memfd_.get(), offset);
}

void SimCamera::produce() {
  using clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> lock(mu_);
  const auto interval = std::chrono::microseconds(std::max(1u, opt_.frameIntervalUs));
  auto next = clock::now() + interval;
  while (streaming_) {
    if (cv_.wait_until(lock, next, [this] { return !streaming_; })) break;
    next += interval;
    const auto now = clock::now();
    if (now > next) next = now + interval;  // fell far behind: keep the rate, not the debt
    const uint32_t seq = sequence_++;
    int idx = -1;
    for (size_t i = 0; i < buffers_.size(); ++i)
      if (buffers_[i].state == State::Queued &&
          (idx < 0 || buffers_[i].order < buffers_[idx].order))
        idx = static_cast<int>(i);
    if (idx < 0) {
      ++lost_;  // no buffer queued: the frame is dropped, as a driver does
      continue;
    }
    Buffer& buf = buffers_[idx];
    buf.state = State::Filling;
    uint8_t* dst = map_ + stride_ * static_cast<size_t>(idx);
    lock.unlock();
    // The buffer belongs to the driver while Filling; nobody else touches it.
    const bool ok = core_->captureYuyv(core_->now(), dst, kFrameBytes);
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    lock.lock();
    if (!streaming_) break;
    buf.state = State::Done;
    buf.order = ++orderCounter_;
    buf.sequence = seq;
    buf.bytesused = ok ? kFrameBytes : 0;
    buf.timestamp.tv_sec = ts.tv_sec;
    buf.timestamp.tv_usec = ts.tv_nsec / 1000;
    const uint64_t one = 1;
    if (::write(owner_, &one, sizeof one) != static_cast<ssize_t>(sizeof one))
      std::fprintf(stderr, "sim camera: cannot signal a frame\n");
    cv_.notify_all();
  }
}

}  // namespace sim
