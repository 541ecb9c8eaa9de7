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
