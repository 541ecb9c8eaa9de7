// The main window's side of the power hardware: what the monitor reports
// reaches the overlay, the home page and the image thread.
#include <QtDebug>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "devices/power_monitor.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "ui/homepage.h"

void MainWindow::connectPowerMonitor() {
  connect(power_, &PowerMonitor::batteryPercentRead, this, [this](int percent) {
    if (state_) state_->setBatteryPercent(percent);
    if (overlay_) overlay_->slot_recv_battery_percent(percent);
  });
  connect(power_, &PowerMonitor::lowPowerChanged, this, [this](bool low) {
    if (overlay_) overlay_->slot_recv_lowpower(low);
    if (imageThread_)
      QMetaObject::invokeMethod(imageThread_, "ReceiveLowPower", Qt::QueuedConnection,
                                Q_ARG(bool, low));
  });
  connect(power_, &PowerMonitor::chargingChanged, this, [this](bool charging) {
    if (home_) home_->setCharging(charging);
    if (overlay_) overlay_->slot_recv_charge(charging);
  });
  connect(power_, &PowerMonitor::chargerOnlineChanged, this, [this](bool connected) {
    if (overlay_) {
      overlay_->slot_recv_chargeOnline(connected);
      if (state_) overlay_->slot_recv_battery_percent(state_->batteryPercent());
      overlay_->raise();
    }
    if (imageThread_)
      QMetaObject::invokeMethod(imageThread_, "ReceiveCharge", Qt::QueuedConnection,
                                Q_ARG(bool, connected));
    if (home_) home_->setBatteryVisible(!connected);
  });
  connect(power_, &PowerMonitor::sdPresentRead, this, [this](bool present) {
    if (home_) home_->setSdCardPresent(present);
  });
}

void MainWindow::pollBatteryPercent() {
  if (power_) power_->poll();
}

void MainWindow::applyBacklight() {
  if (!state_) return;
  const int level = state_->brightness();
  if (power_supply::applyBacklightBrightness(level) != 0)
    qWarning("applyBacklightBrightness: failed to set backlight to %d", level);
}
