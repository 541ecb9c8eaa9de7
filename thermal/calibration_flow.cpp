#include "thermal/calibration_flow.h"

#include <algorithm>
#include <cmath>

CalibrationFlow::CalibrationFlow(Measure measure, QObject* parent)
    : QObject(parent), measure_(std::move(measure)) {
  qRegisterMetaType<CalibrationResult>();
}

double CalibrationFlow::referenceTemperature(int refType, double blackbodyC) {
  switch (refType) {
    case BoilingWater:
      return 100.0;
    case IceWater:
      return 0.0;
    case Skin:
      return 35.0;
    case Blackbody:
      return blackbodyC;
    default:
      return 0.0;
  }
}

void CalibrationFlow::selectReference(int refType) {
  refType_ = refType;
  if (refType == Blackbody) {
    blackbodyC_ = kBlackbodyDefaultC;
    emit setPointChanged(blackbodyC_);
  }
  refC_ = referenceTemperature(refType, blackbodyC_);
}

void CalibrationFlow::nudgeBlackbody(double deltaC) {
  // Non-finite steps would poison the set point for good.
  if (!std::isfinite(deltaC)) return;
  const double v = std::clamp(blackbodyC_ + deltaC, kBlackbodyMinC, kBlackbodyMaxC);
  if (v == blackbodyC_) return;
  blackbodyC_ = v;
  emit setPointChanged(blackbodyC_);
}

void CalibrationFlow::prepareGuide() {
  if (refType_ == Blackbody) refC_ = blackbodyC_;
}

void CalibrationFlow::start() {
  if (calibrating_) return;
  countdown_ = kSettleTicks;
  phase_ = Settling;
  sum_ = 0.0;
  count_ = 0;
  calibrating_ = true;
  emit calibratingChanged(true);
  emit bannerChanged(phase_, countdown_);
  emit bannerVisibleChanged(true);
}

void CalibrationFlow::tick() {
  if (!calibrating_) return;
  if (phase_ == Sampling) {
    float reading = 0.0f;
    // A failed reading is skipped; the run goes on.
    if (measure_ && measure_(&reading) && std::isfinite(reading)) {
      sum_ += static_cast<double>(reading);
      ++count_;
    }
  }
  if (countdown_ > 0) {
    --countdown_;
    if (countdown_ > 0) {
      emit bannerChanged(phase_, countdown_);
      return;
    }
  }
  if (phase_ == Settling) {
    countdown_ = kSampleTicks;
    phase_ = Sampling;
    emit bannerChanged(phase_, countdown_);
  } else if (phase_ == Sampling) {
    finish();
  } else {
    emit bannerChanged(phase_, countdown_);
  }
}

void CalibrationFlow::finish() {
  calibrating_ = false;
  phase_ = NotRunning;
  emit bannerVisibleChanged(false);
  emit calibratingChanged(false);

  CalibrationResult r;
  r.refType = refType_;
  r.refC = refC_;
  r.samples = count_;
  if (r.ok()) {
    r.measuredC = sum_ / count_;
    r.offsetC = r.refC - r.measuredC;
  }
  result_ = r;
  hasResult_ = true;
  emit finished(result_);
}

bool CalibrationFlow::apply() {
  if (!hasResult_ || !result_.ok() || calibrating_) return false;
  emit offsetApplied(result_.offsetC);
  return true;
}
