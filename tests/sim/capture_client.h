#pragma once
// A plain V4L2 capture client over the device I/O seam, written the way any
// application drives a camera: query, set the format, request and map
// buffers, queue, stream, select, dequeue, requeue.
#include <linux/videodev2.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace simtest {

class CaptureClient {
 public:
  using Use = std::function<void(const uint8_t*, size_t, const v4l2_buffer&)>;
  ~CaptureClient() { close(); }
  // Opens and configures; prefers single-planar when offered. False with a
  // reason in error().
  bool open(const char* path, unsigned wantBuffers = 4);
  bool start();
  // Waits (select) for a frame, hands its bytes to `use`, requeues it.
  bool capture(int timeoutMs, const Use& use);
  bool stop();
  void close();

  int fd() const { return fd_; }
  uint32_t type() const { return type_; }
  size_t bufferCount() const { return maps_.size(); }
  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what);
  int xioctl(unsigned long request, void* arg);
  bool multi() const { return type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE; }
  void prepare(v4l2_buffer* b, v4l2_plane* plane, unsigned index) const;

  int fd_ = -1;
  uint32_t type_ = 0;
  std::vector<std::pair<void*, size_t>> maps_;
  std::string error_;
};

}  // namespace simtest
