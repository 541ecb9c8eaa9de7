#include "sim/thermal_core.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace sim {

ThermalCore::ThermalCore(const ThermalCoreOptions& options)
    : opt_(options),
      rng_(options.seed),
      raw_(kWidth * kHeight),
      truth_(kWidth * kHeight),
      tmp_(kWidth * kHeight),
      columnOffset_(kWidth),
      histogram_(kCountLevels) {
  for (float& c : columnOffset_)
    c = static_cast<float>(gauss_(rng_) * opt_.columnNoiseK * kCountsPerK);
  // Gaussian optics, 2 sigma each side.
  const double sigma = std::max(0.05, opt_.blurSigmaPx);
  const int radius = std::max(1, static_cast<int>(std::ceil(2 * sigma)));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i) {
    kernel_.push_back(static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma))));
    sum += kernel_.back();
  }
  for (float& k : kernel_) k = static_cast<float>(k / sum);
  const auto start = std::chrono::steady_clock::now();
  clock_ = [start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  QString unused;
  scene_.parse(QStringLiteral("rect 0 0 256 192 22\n"), &unused);
}

bool ThermalCore::loadScene(const QString& name, QString* error) {
  std::lock_guard<std::mutex> lock(mu_);
  agcValid_ = false;
  return scene_.loadBuiltin(name, error);
}

bool ThermalCore::setSceneText(const QString& text, QString* error) {
  std::lock_guard<std::mutex> lock(mu_);
  agcValid_ = false;
  return scene_.parse(text, error);
}

QString ThermalCore::sceneName() const {
  std::lock_guard<std::mutex> lock(mu_);
  return scene_.name();
}

bool ThermalCore::setSceneParam(const std::string& name, double value) {
  std::lock_guard<std::mutex> lock(mu_);
  return scene_.setParam(name, value);
}

double ThermalCore::sceneParam(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mu_);
  return scene_.param(name, NAN);
}

bool ThermalCore::holdView(const QString& stop) {
  std::lock_guard<std::mutex> lock(mu_);
  return scene_.holdView(stop);
}

QStringList ThermalCore::stopNames() const {
  std::lock_guard<std::mutex> lock(mu_);
  return scene_.stopNames();
}

bool ThermalCore::switchScene(const QString& name, double blackbodyC, const QString& holdStop,
                              QString* error) {
  ThermalScene next;
  if (!next.loadBuiltin(name, error)) return false;
  if (!std::isnan(next.param("blackbody", NAN)) && !next.setParam("blackbody", blackbodyC)) {
    *error = QStringLiteral("bad blackbody set point");
    return false;
  }
  if (!holdStop.isEmpty() && !next.holdView(holdStop)) {
    *error = QStringLiteral("scene '%1' has no view '%2'").arg(name, holdStop);
    return false;
  }
  // Built aside and swapped in: the frame thread waits only for the swap.
  std::lock_guard<std::mutex> lock(mu_);
  std::swap(scene_, next);
  agcValid_ = false;
  return true;
}

void ThermalCore::setClock(std::function<double()> clock) {
  std::lock_guard<std::mutex> lock(mu_);
  if (clock) clock_ = std::move(clock);
}

double ThermalCore::now() const {
  std::function<double()> c;
  {
    std::lock_guard<std::mutex> lock(mu_);
    c = clock_;
  }
  return c();
}

void ThermalCore::renderTruth(double t) {
  scene_.render(t, raw_.data());
  // Separable blur with edge replication: raw_ -> tmp_ (rows) -> truth_ (columns).
  const int r = static_cast<int>(kernel_.size() / 2);
  for (int y = 0; y < kHeight; ++y) {
    const float* in = raw_.data() + y * kWidth;
    float* out = tmp_.data() + y * kWidth;
    for (int x = 0; x < kWidth; ++x) {
      float acc = 0;
      for (int k = -r; k <= r; ++k) acc += kernel_[k + r] * in[std::clamp(x + k, 0, kWidth - 1)];
      out[x] = acc;
    }
  }
  for (int y = 0; y < kHeight; ++y) {
    float* out = truth_.data() + y * kWidth;
    for (int x = 0; x < kWidth; ++x) {
      float acc = 0;
      for (int k = -r; k <= r; ++k)
        acc += kernel_[k + r] * tmp_[std::clamp(y + k, 0, kHeight - 1) * kWidth + x];
      out[x] = acc;
    }
  }
}

bool ThermalCore::captureYuyv(double t, uint8_t* out, size_t size) {
  if (!out || size < kFrameBytes) return false;
  std::lock_guard<std::mutex> lock(mu_);
  renderTruth(t);

  // Detector: counts with temporal noise and the column pattern (into raw_).
  const float noise = static_cast<float>(opt_.noiseK * kCountsPerK);
  std::fill(histogram_.begin(), histogram_.end(), 0u);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * kWidth + x;
      float n =
          static_cast<float>(countsFromC(truth_[i])) + columnOffset_[x] + noise * gauss_(rng_);
      n = std::clamp(n, 0.0f, static_cast<float>(kCountLevels - 1));
      raw_[i] = n;
      ++histogram_[static_cast<size_t>(n)];
    }
  }

  // Automatic gain: percentile stretch, eased towards the new scene.
  const uint32_t total = kWidth * kHeight;
  const uint32_t lowRank = static_cast<uint32_t>(opt_.agcLowPercentile * total);
  const uint32_t highRank = static_cast<uint32_t>(opt_.agcHighPercentile * total);
  double lo = 0, hi = kCountLevels - 1;
  uint32_t seen = 0;
  bool haveLow = false;
  for (int b = 0; b < kCountLevels; ++b) {
    seen += histogram_[b];
    if (!haveLow && seen > lowRank) {
      lo = b;
      haveLow = true;
    }
    if (seen > highRank) {
      hi = b + 1;
      break;
    }
  }
  const double minSpan = opt_.agcMinSpanK * kCountsPerK;
  if (hi - lo < minSpan) {
    const double mid = 0.5 * (lo + hi);
    lo = mid - minSpan / 2;
    hi = mid + minSpan / 2;
  }
  if (!agcValid_) {
    agcLow_ = lo;
    agcHigh_ = hi;
    agcValid_ = true;
  } else {
    agcLow_ += opt_.agcFollow * (lo - agcLow_);
    agcHigh_ += opt_.agcFollow * (hi - agcHigh_);
  }
  const float base = static_cast<float>(agcLow_);
  const float gain = static_cast<float>(255.0 / std::max(1.0, agcHigh_ - agcLow_));
  for (size_t i = 0; i < raw_.size(); i += 2) {
    const float y0 = std::clamp((raw_[i] - base) * gain, 0.0f, 255.0f);
    const float y1 = std::clamp((raw_[i + 1] - base) * gain, 0.0f, 255.0f);
    uint8_t* px = out + i * 2;
    px[0] = static_cast<uint8_t>(y0 + 0.5f);
    px[1] = 128;
    px[2] = static_cast<uint8_t>(y1 + 0.5f);
    px[3] = 128;
  }
  return true;
}

double ThermalCore::measureRegion(double t, int x0, int y0, int x1, int y1) {
  std::lock_guard<std::mutex> lock(mu_);
  renderTruth(t);
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  x0 = std::clamp(x0, 0, kGridColumns - 1);
  x1 = std::clamp(x1, 0, kGridColumns - 1);
  y0 = std::clamp(y0, 0, kGridRows - 1);
  y1 = std::clamp(y1, 0, kGridRows - 1);
  // The grid spans the image's width in 252 steps.
  double sum = 0;
  int n = 0;
  for (int gy = y0; gy <= y1; ++gy) {
    const int y = static_cast<int>(std::lround(gy * (kHeight - 1.0) / (kGridRows - 1)));
    for (int gx = x0; gx <= x1; ++gx) {
      const int x = static_cast<int>(std::lround(gx * (kWidth - 1.0) / (kGridColumns - 1)));
      sum += truth_[static_cast<size_t>(y) * kWidth + x];
      ++n;
    }
  }
  return sum / n + opt_.measureBiasC + opt_.measureNoiseK * gauss_(rng_);
}

void ThermalCore::agcWindow(double* lowC, double* highC) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (lowC) *lowC = cFromCounts(agcLow_);
  if (highC) *highC = cFromCounts(agcHigh_);
}

}  // namespace sim
