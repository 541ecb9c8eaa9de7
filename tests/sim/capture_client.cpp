#include "tests/sim/capture_client.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>

#include "platform/devio.h"

namespace simtest {

CaptureClient::~CaptureClient() { close(); }

bool CaptureClient::fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  return false;
}

int CaptureClient::xioctl(unsigned long request, void* arg) {
  int r;
  do {
    r = platform::dev().ioctl(fd_, request, arg);
  } while (r == -1 && errno == EINTR);
  return r;
}

bool CaptureClient::open(const char* path, unsigned wantBuffers) {
  fd_ = platform::dev().open(path, O_RDWR);
  if (fd_ < 0) return fail("open");
  v4l2_capability cap{};
  if (xioctl(VIDIOC_QUERYCAP, &cap) < 0) return fail("QUERYCAP");
  if (!(cap.capabilities & V4L2_CAP_STREAMING)) return fail("no streaming");
  if (cap.capabilities & V4L2_CAP_VIDEO_CAPTURE)
    type_ = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  else if (cap.capabilities & V4L2_CAP_VIDEO_CAPTURE_MPLANE)
    type_ = V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;
  else
    return (errno = ENODEV), fail("no capture");

  fmt_ = v4l2_format{};
  fmt_.type = type_;
  if (type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE) {
    fmt_.fmt.pix.width = 256;
    fmt_.fmt.pix.height = 192;
    fmt_.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    fmt_.fmt.pix.field = V4L2_FIELD_INTERLACED;
  } else {
    fmt_.fmt.pix_mp.width = 256;
    fmt_.fmt.pix_mp.height = 192;
    fmt_.fmt.pix_mp.pixelformat = V4L2_PIX_FMT_YUYV;
    fmt_.fmt.pix_mp.field = V4L2_FIELD_INTERLACED;
  }
  if (xioctl(VIDIOC_S_FMT, &fmt_) < 0) return fail("S_FMT");

  v4l2_requestbuffers req{};
  req.count = wantBuffers;
  req.type = type_;
  req.memory = V4L2_MEMORY_MMAP;
  if (xioctl(VIDIOC_REQBUFS, &req) < 0) return fail("REQBUFS");
  if (req.count < 2) return (errno = ENOMEM), fail("insufficient buffers");
  for (unsigned i = 0; i < req.count; ++i) {
    v4l2_buffer b{};
    v4l2_plane plane{};
    b.type = type_;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = i;
    if (type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE) {
      b.m.planes = &plane;
      b.length = 1;
    }
    if (xioctl(VIDIOC_QUERYBUF, &b) < 0) return fail("QUERYBUF");
    const size_t length = type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE ? b.length : plane.length;
    const off_t offset = type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE ? b.m.offset : plane.m.mem_offset;
    void* m =
        platform::dev().mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, offset);
    if (m == MAP_FAILED) return fail("mmap");
    maps_.push_back({m, length});
  }
  return true;
}

bool CaptureClient::start() {
  for (unsigned i = 0; i < maps_.size(); ++i) {
    v4l2_buffer b{};
    v4l2_plane plane{};
    b.type = type_;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = i;
    if (type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE) {
      b.m.planes = &plane;
      b.length = 1;
    }
    if (xioctl(VIDIOC_QBUF, &b) < 0) return fail("QBUF");
  }
  int t = static_cast<int>(type_);
  if (xioctl(VIDIOC_STREAMON, &t) < 0) return fail("STREAMON");
  return true;
}

bool CaptureClient::capture(
    int timeoutMs, const std::function<void(const uint8_t*, size_t, const v4l2_buffer&)>& use) {
  fd_set fds;
  FD_ZERO(&fds);
  FD_SET(fd_, &fds);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int r = platform::dev().select(fd_ + 1, &fds, nullptr, nullptr, &tv);
  if (r <= 0) return r == 0 ? (errno = ETIMEDOUT, fail("select")) : fail("select");
  v4l2_buffer b{};
  v4l2_plane plane{};
  b.type = type_;
  b.memory = V4L2_MEMORY_MMAP;
  if (type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE) {
    b.m.planes = &plane;
    b.length = 1;
  }
  if (xioctl(VIDIOC_DQBUF, &b) < 0) return fail("DQBUF");
  const size_t used = type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE ? b.bytesused : plane.bytesused;
  if (use) use(static_cast<const uint8_t*>(maps_[b.index].start), used, b);
  if (xioctl(VIDIOC_QBUF, &b) < 0) return fail("QBUF");
  return true;
}

bool CaptureClient::stop() {
  int t = static_cast<int>(type_);
  return xioctl(VIDIOC_STREAMOFF, &t) == 0 || fail("STREAMOFF");
}

void CaptureClient::close() {
  for (const Map& m : maps_) platform::dev().munmap(m.start, m.length);
  maps_.clear();
  if (fd_ >= 0) platform::dev().close(fd_);
  fd_ = -1;
}

}  // namespace simtest
