// The main window's side of the power hardware: the once-a-second battery
// and charger poll, the SD card test and the backlight.
#include <QtDebug>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "ui/homepage.h"

using namespace power_supply;

void MainWindow::pollBatteryPercent() {
  refreshCharger();
  int raw = readIntFile(QString::fromLatin1(kCapacityPath));
  if (raw >= 0) {
    raw = std::min(raw, 100);
    const BatterySmoother::Result r = batterySamples_.add(raw);
    if (state_) state_->setBatteryPercent(r.percent);
    if (overlay_) overlay_->slot_recv_battery_percent(r.percent);
    // Running on external power is never low power.
    const bool low = chargerOnline_ < 1 ? r.low : false;
    if (low != lowPower_) {
      lowPower_ = low;
      if (overlay_) overlay_->slot_recv_lowpower(low);
      if (imageThread_)
        QMetaObject::invokeMethod(imageThread_, "ReceiveLowPower", Qt::QueuedConnection,
                                  Q_ARG(bool, low));
    }
  }
  sdPresent_ = sdCardPresent();
  if (home_) home_->setSdCardPresent(sdPresent_);
}

void MainWindow::refreshCharger() {
  const int status = readChargingStatus();
  const int online = readIntFile(QString::fromLatin1(kChargerOnlinePath));
  if (status != -1 && status != chargingState_) {
    chargingState_ = status;
    if (home_) home_->setCharging(status == 1);
    if (overlay_) overlay_->slot_recv_charge(status == 1);
  }
  if (online >= 0 && online != chargerOnline_) {
    chargerOnline_ = online;
    const bool connected = online > 0;
    if (overlay_) {
      overlay_->slot_recv_chargeOnline(connected);
      if (state_) overlay_->slot_recv_battery_percent(state_->batteryPercent());
      overlay_->raise();
    }
    if (imageThread_)
      QMetaObject::invokeMethod(imageThread_, "ReceiveCharge", Qt::QueuedConnection,
                                Q_ARG(bool, connected));
    if (home_) home_->setBatteryVisible(!connected);
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
