#pragma once
// The simulated thermal camera, "/dev/video0": a V4L2 capture device that
// streams YUYV 256 x 192 frames of a ThermalCore at 25 frames per second into
// memory-mapped buffers. It speaks the kernel's own structures
// (linux/videodev2.h): QUERYCAP, ENUM_FMT, G_FMT, S_FMT, TRY_FMT, REQBUFS
// (MMAP), QUERYBUF, QBUF, DQBUF, STREAMON, STREAMOFF, mmap. The descriptor
// becomes readable when a filled buffer waits to be dequeued. Buffers live in
// one memfd; mmap of the device maps its region, nothing else reaches them.
#include <linux/videodev2.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "sim/sim_device_io.h"
#include "sim/thermal_core.h"
#include "platform/unique_fd.h"

namespace sim {

struct SimCameraOptions {
  // Which capture interfaces QUERYCAP offers.
  enum class Planes { Single, Multi, Both, Neither };
  Planes planes = Planes::Multi;
  // 0: grant what is asked, within 2..8; otherwise grant exactly this many.
  unsigned grantBuffers = 0;
  unsigned frameIntervalUs = 40000;  // 25 frames per second
};

class SimCamera : public SimDevice {
 public:
  static constexpr uint32_t kWidth = 256, kHeight = 192;
  static constexpr uint32_t kFrameBytes = kWidth * kHeight * 2;
  static constexpr unsigned kMaxBuffers = 32;

  SimCamera(std::shared_ptr<ThermalCore> core, const SimCameraOptions& options = {});
  ~SimCamera() override;

  // Test controls; take effect for the next QUERYCAP / REQBUFS / STREAMON.
  void setOptions(const SimCameraOptions& options);
  SimCameraOptions options() const;

  bool streaming() const;
  uint32_t framesProduced() const;  // including frames lost for want of a buffer
  uint32_t framesLost() const;
  // The next `times` dequeues report an index past the granted buffers, as a
  // faulty driver might; the buffer itself stays with the application.
  void strayNextDequeues(int times);

  int open(int flags) override;
  void release(int fd) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  void* mmap(int fd, void* addr, size_t length, int prot, int flags, off_t offset) override;

 private:
  enum class State { Dequeued, Queued, Filling, Done };
  struct Buffer {
    State state = State::Dequeued;
    uint64_t order = 0;  // queue or completion order
    uint32_t sequence = 0;
    uint32_t bytesused = 0;
    struct timeval timestamp {};
  };

  bool typeOk(uint32_t type) const;
  uint32_t capabilities() const;
  void fillFormat(v4l2_format* f) const;
  int queryCap(v4l2_capability* cap);
  int enumFmt(v4l2_fmtdesc* d);
  int setFormat(int fd, v4l2_format* f, bool apply);
  int reqBufs(int fd, v4l2_requestbuffers* r);
  int queryBuf(v4l2_buffer* b);
  int qBuf(int fd, v4l2_buffer* b);
  int dqBuf(int fd, v4l2_buffer* b);
  int streamOn(int fd, const int* type);
  int streamOff(int fd, const int* type);
  void describe(unsigned index, v4l2_buffer* b) const;  // with mu_ held
  void stopStreamingLocked(std::unique_lock<std::mutex>& lock);
  void freeBuffersLocked();
  void produce();

  std::shared_ptr<ThermalCore> core_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  SimCameraOptions opt_;
  std::map<int, platform::UniqueFd> fds_;
  std::set<int> nonblocking_;
  int owner_ = -1;     // descriptor holding the buffers
  uint32_t type_ = 0;  // buffer type of the current format
  platform::UniqueFd memfd_;
  uint8_t* map_ = nullptr;  // the device's own view of the buffers
  size_t stride_ = 0;       // bytes between buffers in the memfd
  std::vector<Buffer> buffers_;
  uint64_t orderCounter_ = 0;
  uint32_t sequence_ = 0;
  uint32_t lost_ = 0;
  int strayDequeues_ = 0;
  bool streaming_ = false;
  std::thread producer_;
};

}  // namespace sim
