// The main window's side of the power hardware: the once-a-second battery
// and charger poll, the SD card test and the backlight.
#include <QtDebug>

#include "app/appcontroller.h"
#include "app/mainwindow.h"

using namespace power_supply;

void MainWindow::pollBatteryPercent() {
  refreshCharger();
  int raw = readIntFile(QString::fromLatin1(kCapacityPath));
  if (raw >= 0) {
    raw = std::min(raw, 100);
    const BatterySmoother::Result r = batterySamples_.add(raw);
    if (state_) state_->setBatteryPercent(r.percent);
    // Running on external power is never low power.
    const bool low = chargerOnline_ < 1 ? r.low : false;
    if (low != lowPower_) lowPower_ = low;
  }
  sdPresent_ = sdCardPresent();
}

void MainWindow::refreshCharger() {
  const int status = readChargingStatus();
  const int online = readIntFile(QString::fromLatin1(kChargerOnlinePath));
  if (status != -1 && status != chargingState_) chargingState_ = status;
  if (online >= 0 && online != chargerOnline_) {
    chargerOnline_ = online;
    // Smoothing starts afresh after plugging or unplugging.
    batterySamples_.clear();
  }
}

void MainWindow::applyBacklight() {
  if (!state_) return;
  const int level = state_->brightness();
  if (applyBacklightBrightness(level) != 0)
    qWarning("applyBacklightBrightness: failed to set backlight to %d", level);
}
