#pragma once
// The simulated thermal core: a microbolometer looking at a ThermalScene.
// Temperatures pass through the optics (blur) to the detector, which reads
// them as counts with temporal noise and a column fixed pattern; an automatic
// gain stretches the counts to 8-bit luma, following the scene smoothly, and
// the frame leaves as YUYV with flat chroma. The core also answers region
// temperature queries on its 252 x 192 measurement grid, with a small fixed
// bias as an uncalibrated core has.
//
// Thread-safe: the camera's frame thread and the sub-device's callers may use
// one core at once.
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "sim/thermal_scene.h"

namespace sim {

struct ThermalCoreOptions {
  double noiseK = 0.04;         // temporal noise, kelvin rms
  double columnNoiseK = 0.06;   // column fixed pattern, kelvin rms
  double blurSigmaPx = 0.8;     // optics
  double measureBiasC = 0.8;    // added to every region reading
  double measureNoiseK = 0.02;  // rms of one region reading
  double agcLowPercentile = 0.01;
  double agcHighPercentile = 0.99;
  double agcFollow = 0.15;   // share of the way to the new stretch per frame
  double agcMinSpanK = 2.0;  // a flat scene is not stretched beyond this
  uint32_t seed = 0x5EEDu;
};

class ThermalCore {
 public:
  static constexpr int kWidth = ThermalScene::kWidth;    // 256
  static constexpr int kHeight = ThermalScene::kHeight;  // 192
  static constexpr int kGridColumns = 252;
  static constexpr int kGridRows = 192;
  static constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 2;  // YUYV

  explicit ThermalCore(const ThermalCoreOptions& options = {});

  // Scene selection; false with a message and the old scene kept.
  bool loadScene(const QString& name, QString* error);
  bool setSceneText(const QString& text, QString* error);
  QString sceneName() const;
  bool setSceneParam(const std::string& name, double value);
  double sceneParam(const std::string& name) const;
  bool holdView(const QString& stop);
  QStringList stopNames() const;
  // Changes scene, blackbody set point (where the scene has one) and held view
  // (empty: tour) in one step, so no frame shows the new scene with the old
  // settings. False with a message and everything kept as it was.
  bool switchScene(const QString& name, double blackbodyC, const QString& holdStop,
                   QString* error);

  // Scene time in seconds: a monotonic clock from construction, or the
  // caller's clock (tests).
  void setClock(std::function<double()> clock);
  double now() const;

  // One frame at scene time t into out (YUYV 256 x 192, 512 bytes a line).
  // False if size is too small. Allocation-free.
  bool captureYuyv(double t, uint8_t* out, size_t size);

  // Mean temperature (degrees Celsius, bias included) of the grid rectangle
  // with corners (x0, y0) and (x1, y1), inclusive, at scene time t. The
  // corners may come in either order; they are clamped to the grid.
  double measureRegion(double t, int x0, int y0, int x1, int y1);

  // The stretch of the last frame, in kelvin: what maps to luma 0 and 255.
  void agcWindow(double* lowC, double* highC) const;

 private:
  static constexpr int kCountLevels = 16384;
  double countsFromC(double c) const { return 6000.0 + c * kCountsPerK; }
  double cFromCounts(double n) const { return (n - 6000.0) / kCountsPerK; }
  void renderTruth(double t);  // scene_ + blur into truth_

  static constexpr double kCountsPerK = 40.0;
  ThermalCoreOptions opt_;
  mutable std::mutex mu_;
  ThermalScene scene_;
  std::function<double()> clock_;
  std::mt19937 rng_;
  std::normal_distribution<float> gauss_{0.0f, 1.0f};
  std::vector<float> raw_, truth_, tmp_;
  std::vector<float> columnOffset_;  // counts
  std::vector<float> kernel_;
  std::vector<uint32_t> histogram_;
  double agcLow_ = 0, agcHigh_ = 0;  // counts
  bool agcValid_ = false;
};

}  // namespace sim
