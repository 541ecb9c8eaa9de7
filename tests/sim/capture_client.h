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
  ~CaptureClient();
  // Opens and configures; prefers single-planar when offered. False with a
  // reason in error().
  bool open(const char* path, unsigned wantBuffers = 4);
  bool start();
  // Waits (select, timeoutMs) for a frame and hands its bytes to `use`, then
  // requeues it. Returns false on timeout or error.
  bool capture(int timeoutMs,
               const std::function<void(const uint8_t*, size_t, const v4l2_buffer&)>& use);
  bool stop();
  void close();

  int fd() const { return fd_; }
  uint32_t type() const { return type_; }
  size_t bufferCount() const { return maps_.size(); }
  const v4l2_format& format() const { return fmt_; }
  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what);
  int xioctl(unsigned long request, void* arg);

  int fd_ = -1;
  uint32_t type_ = 0;
  v4l2_format fmt_{};
  struct Map {
    void* start;
    size_t length;
  };
  std::vector<Map> maps_;
  std::string error_;
};

}  // namespace simtest
