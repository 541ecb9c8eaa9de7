#include "app/center_readout.h"

#include <QTimer>

#include "app/settings_store.h"
#include "overlay/aim.h"
#include "thermal/sensor_channel.h"

namespace {
constexpr int kHalfSize = 10;
constexpr int kPollMs = 1000;
}  // namespace

CenterReadout::CenterReadout(const ControllerSettings* cfg, aim* overlay, Gates gates,
                             QObject* parent)
    : QObject(parent), cfg_(cfg), overlay_(overlay), gates_(std::move(gates)),
      timer_(new QTimer(this)) {
  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, &CenterReadout::poll);
}

bool CenterReadout::measure(float* celsius) const {
  // At the zeroed centre, which the overlay keeps within a window's size of
  // the screen.
  const int cx = static_cast<int>(overlay_->centerX());
  const int cy = static_cast<int>(overlay_->centerY());
  int x0, y0, x1, y1;
  if (!mapScreenToThermalRegion(cx, cy, cfg_->srEnabled, cfg_->zoomTenths,
                                kHalfSize, &x0, &y0, &x1, &y1))
    return false;
  return queryRegionTemperature(static_cast<uint16_t>(x0), static_cast<uint16_t>(y0),
                                static_cast<uint16_t>(x1), static_cast<uint16_t>(y1), celsius);
}

void CenterReadout::poll() {
  if (!cfg_->tempMeasureEnabled || calibrating_) return;
  if (!gates_.awake() || !gates_.onLivePage()) return;
  float reading = 0.0f;
  if (!measure(&reading)) return;
  const double value = static_cast<float>(cfg_->tempOffsetC) + reading;
  overlay_->slot_recv_center_temperature(QStringLiteral("%1 \u00B0C").arg(value, 0, 'f', 1));
}

void CenterReadout::setCalibrating(bool on) {
  calibrating_ = on;
  refresh();
}

void CenterReadout::refresh() {
  const bool wanted = cfg_->tempMeasureEnabled || calibrating_;
  overlay_->slot_recv_temp_measure_enabled(wanted);
  if (wanted && gates_.awake())
    timer_->start();
  else
    timer_->stop();
}
