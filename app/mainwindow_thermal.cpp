// The centre-spot readout and the calibration run: once a second, while the
// readout is on, the thermal core measures the rectangle under the reticle
// and the overlay shows the value with the user's offset; the calibration
// pages lead to a run on the live view whose offset the window stores.
#include <QStackedWidget>
#include <QTimer>

#include "app/mainwindow.h"
#include "overlay/aim.h"
#include "app/temperature_pages.h"
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
  if (idleSleeping() || poweringOff() || calibrating_) return;
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
  if (wanted && !idleSleeping() && !poweringOff())
    tempPollTimer_->start();
  else
    tempPollTimer_->stop();
}

void MainWindow::setTempMeasureEnabled(bool on) {
  if (on == cfg_.tempMeasureEnabled) return;
  cfg_.tempMeasureEnabled = on;
  saveSettings();
  updateTempMeasureTimer();
  tempPages_->setReadoutEnabled(on);
}

// The pages route themselves; a run shows the live view, pauses the readout
// and hands its offset over to be stored.
void MainWindow::wireTemperature() {
  connect(tempPages_, &TemperaturePages::backToMenuRequested, this, &MainWindow::openMenu);
  connect(tempPages_, &TemperaturePages::showPageRequested, stack_,
          &QStackedWidget::setCurrentIndex);
  connect(tempPages_, &TemperaturePages::readoutToggled, this,
          &MainWindow::setTempMeasureEnabled);
  connect(tempPages_, &TemperaturePages::calibratingChanged, this, [this](bool on) {
    calibrating_ = on;
    updateTempMeasureTimer();
    if (on) {
      goHome();
      calibrationTimer_->start();
    } else {
      calibrationTimer_->stop();
    }
  });
  connect(tempPages_, &TemperaturePages::offsetApplied, this, [this](double offset) {
    cfg_.tempOffsetC = offset;
    saveSettings();
    tempPages_->setReadoutEnabled(cfg_.tempMeasureEnabled);
  });
  tempPages_->setLanguage(cfg_.language);
  tempPages_->setReadoutEnabled(cfg_.tempMeasureEnabled);
}
