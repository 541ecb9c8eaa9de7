#pragma once
// Shared pieces of the live-picture tests: a simulated board installed over a
// throw-away root, waiting on a condition while Qt events flow, and capturing
// what the pipeline prints.
#include <gtest/gtest.h>

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/devio.h"
#include "sim/sim_board.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace pipetest {

// A board root plus the simulated devices behind both seams. The root is made
// first and dropped last, so nothing outlives it.
class Bench {
 public:
  explicit Bench(const sim::SimBoardOptions& options = {});
  ~Bench();

  TempRoot& root() { return root_; }
  sim::SimBoard& board() { return board_; }
  sim::SimKms& kms() { return board_.kms(); }
  sim::SimCamera& camera() { return board_.camera(); }
  bool ok() const { return ok_; }
  // Open simulated descriptors once the sensor's command channel is closed.
  size_t openDevicesBesidesSensor();

 private:
  TempRoot root_;
  sim::SimBoard board_;
  bool ok_ = false;
};

using testsupport::waitUntil;

// Passes every call on to another device I/O; tests override what they watch.
class ForwardingIo : public platform::DeviceIo {
 public:
  explicit ForwardingIo(platform::DeviceIo& inner) : in_(inner) {}
  int open(const char* p, int f, mode_t m = 0) override { return in_.open(p, f, m); }
  int close(int fd) override { return in_.close(fd); }
  int ioctl(int fd, unsigned long r, void* a) override { return in_.ioctl(fd, r, a); }
  ssize_t read(int fd, void* b, size_t n) override { return in_.read(fd, b, n); }
  ssize_t write(int fd, const void* b, size_t n) override { return in_.write(fd, b, n); }
  void* mmap(void* a, size_t l, int p, int f, int fd, off_t o) override {
    return in_.mmap(a, l, p, f, fd, o);
  }
  int munmap(void* a, size_t l) override { return in_.munmap(a, l); }
  int select(int n, fd_set* r, fd_set* w, fd_set* e, timeval* t) override {
    return in_.select(n, r, w, e, t);
  }
  int poll(pollfd* fds, nfds_t n, int t) override { return in_.poll(fds, n, t); }

 protected:
  platform::DeviceIo& in_;
};

// Installs a device I/O for one scope, then gives the board's back.
class IoOverride {
 public:
  IoOverride(Bench& bench, platform::DeviceIo& io) : bench_(bench) { platform::setDeviceIo(&io); }
  ~IoOverride() { platform::setDeviceIo(&bench_.board().io()); }

 private:
  Bench& bench_;
};

// Standard output of everything `body` does, the pipeline's threads included.
std::string stdoutOf(const std::function<void()>& body);

// A 256 x 192 NV12 picture that is not symmetric in any direction: luma rises
// to the right and downwards, with a bright block near the top left.
std::vector<uint8_t> asymmetricFrame();

// The luma of the (x, y, w, h) crop of a 256 x 192 plane scaled to 360 x 320.
std::vector<uint8_t> cropScaled(const uint8_t* luma, int x, int y, int w, int h);

// Mean absolute difference of two equal-sized luma planes.
double meanAbsDiff(const std::vector<uint8_t>& a, const uint8_t* b);

}  // namespace pipetest
