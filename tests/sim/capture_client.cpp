#include "tests/sim/capture_client.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>

#include "platform/devio.h"

namespace simtest {

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

void CaptureClient::prepare(v4l2_buffer* b, v4l2_plane* plane, unsigned index) const {
  *b = v4l2_buffer{};
  *plane = v4l2_plane{};
  b->type = type_;
  b->memory = V4L2_MEMORY_MMAP;
  b->index = index;
  if (multi()) {
    b->m.planes = plane;
    b->length = 1;
  }
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

  v4l2_format fmt{};
  fmt.type = type_;
  auto set = [](auto& pix) {
    pix.width = 256;
    pix.height = 192;
    pix.pixelformat = V4L2_PIX_FMT_YUYV;
    pix.field = V4L2_FIELD_INTERLACED;
  };
  multi() ? set(fmt.fmt.pix_mp) : set(fmt.fmt.pix);
  if (xioctl(VIDIOC_S_FMT, &fmt) < 0) return fail("S_FMT");

  v4l2_requestbuffers req{};
  req.count = wantBuffers;
  req.type = type_;
  req.memory = V4L2_MEMORY_MMAP;
  if (xioctl(VIDIOC_REQBUFS, &req) < 0) return fail("REQBUFS");
  if (req.count < 2) return (errno = ENOMEM), fail("insufficient buffers");
  for (unsigned i = 0; i < req.count; ++i) {
    v4l2_buffer b;
    v4l2_plane plane;
    prepare(&b, &plane, i);
    if (xioctl(VIDIOC_QUERYBUF, &b) < 0) return fail("QUERYBUF");
    const size_t length = multi() ? plane.length : b.length;
    const off_t offset = multi() ? plane.m.mem_offset : b.m.offset;
    void* m =
        platform::dev().mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, offset);
    if (m == MAP_FAILED) return fail("mmap");
    maps_.emplace_back(m, length);
  }
  return true;
}

bool CaptureClient::start() {
  for (unsigned i = 0; i < maps_.size(); ++i) {
    v4l2_buffer b;
    v4l2_plane plane;
    prepare(&b, &plane, i);
    if (xioctl(VIDIOC_QBUF, &b) < 0) return fail("QBUF");
  }
  int t = static_cast<int>(type_);
  return xioctl(VIDIOC_STREAMON, &t) == 0 || fail("STREAMON");
}

bool CaptureClient::capture(int timeoutMs, const Use& use) {
  fd_set fds;
  FD_ZERO(&fds);
  FD_SET(fd_, &fds);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int r = platform::dev().select(fd_ + 1, &fds, nullptr, nullptr, &tv);
  if (r == 0) errno = ETIMEDOUT;
  if (r <= 0) return fail("select");
  v4l2_buffer b;
  v4l2_plane plane;
  prepare(&b, &plane, 0);
  if (xioctl(VIDIOC_DQBUF, &b) < 0) return fail("DQBUF");
  if (use)
    use(static_cast<const uint8_t*>(maps_[b.index].first), multi() ? plane.bytesused : b.bytesused,
        b);
  return xioctl(VIDIOC_QBUF, &b) == 0 || fail("QBUF");
}

bool CaptureClient::stop() {
  int t = static_cast<int>(type_);
  return xioctl(VIDIOC_STREAMOFF, &t) == 0 || fail("STREAMOFF");
}

void CaptureClient::close() {
  for (const auto& m : maps_) platform::dev().munmap(m.first, m.second);
  maps_.clear();
  if (fd_ >= 0) platform::dev().close(fd_);
  fd_ = -1;
}

}  // namespace simtest
