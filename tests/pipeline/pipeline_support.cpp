#include "tests/pipeline/pipeline_support.h"

#include <libyuv.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "thermal/sensor_channel.h"

namespace pipetest {

Bench::Bench(const sim::SimBoardOptions& options) {
  QString error;
  ok_ = board_.create(options, &error);
  if (!ok_) {
    ADD_FAILURE() << "simulated board: " << error.toStdString();
    return;
  }
  board_.install();
}

// The sensor's command channel stays open between calls; it must not carry a
// descriptor of one board over to the next.
Bench::~Bench() {
  resetSensorChannel();
  board_.uninstall();
}

size_t Bench::openDevicesBesidesSensor() {
  resetSensorChannel();
  return board_.io().openCount();
}

std::string stdoutOf(const std::function<void()>& body) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  body();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

std::vector<uint8_t> asymmetricFrame() {
  constexpr int w = 256, h = 192;
  std::vector<uint8_t> f(w * h * 3 / 2, 128);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = 16 + x * 160 / w + y * 60 / h;
      if (x >= 40 && x < 80 && y >= 10 && y < 50) v = 240;
      f[y * w + x] = static_cast<uint8_t>(v);
    }
  return f;
}

std::vector<uint8_t> cropScaled(const uint8_t* luma, int x, int y, int w, int h) {
  std::vector<uint8_t> out(360 * 320);
  libyuv::ScalePlane(luma + y * 256 + x, 256, w, h, out.data(), 360, 360, 320,
                     libyuv::kFilterBilinear);
  return out;
}

double meanAbsDiff(const std::vector<uint8_t>& a, const uint8_t* b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return a.empty() ? 0.0 : sum / static_cast<double>(a.size());
}

}  // namespace pipetest
