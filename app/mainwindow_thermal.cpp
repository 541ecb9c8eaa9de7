// The centre-spot temperature readout: once a second, while it is on, the
// thermal core measures the rectangle under the reticle and the overlay shows
// the value with the user's calibration offset.
#include <QStackedWidget>
#include <QTimer>

#include "app/mainwindow.h"
#include "overlay/aim.h"
#include "thermal/sensor_channel.h"

namespace {
constexpr int kHalfSize = 10;
}

bool MainWindow::readCenterTemperature(float* celsius) const {
  int x0, y0, x1, y1;
  if (!mapScreenToThermalRegion(reticleCenter_.x(), reticleCenter_.y(), cfg_.srEnabled,
                                cfg_.zoomTenths, kHalfSize, &x0, &y0, &x1, &y1))
    return false;
  return queryRegionTemperature(static_cast<uint16_t>(x0), static_cast<uint16_t>(y0),
                                static_cast<uint16_t>(x1), static_cast<uint16_t>(y1), celsius);
}

void MainWindow::pollCenterThermalTemp() {
  if (!cfg_.tempMeasureEnabled && !calibrating_) return;
  if (!overlay_) return;
  if (idleSleeping_ || poweringOff_ || calibrating_) return;
  const int page = stack_ ? stack_->currentIndex() : -1;
  if (page != kHomePage && page != kPalettePage) return;
  float reading = 0.0f;
  if (!readCenterTemperature(&reading)) return;
  const double value = static_cast<float>(cfg_.tempOffsetC) + reading;
  overlay_->slot_recv_center_temperature(QStringLiteral("%1 \u00B0C").arg(value, 0, 'f', 1));
}

void MainWindow::updateTempMeasureTimer() {
  const bool wanted = cfg_.tempMeasureEnabled || calibrating_;
  if (overlay_) overlay_->slot_recv_temp_measure_enabled(wanted);
  if (!tempPollTimer_) return;
  if (wanted && !idleSleeping_ && !poweringOff_)
    tempPollTimer_->start();
  else
    tempPollTimer_->stop();
}
