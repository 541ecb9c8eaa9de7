// The main window's side of the power hardware: what the monitor reports
// reaches the overlay, the home page and the image thread.
#include <QStackedWidget>
#include <QTimer>
#include <QtDebug>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "devices/power_monitor.h"
#include "app/settings_pages.h"
#include "imaging/image_pro_thread.h"
#include "power/power_manager.h"
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

// Idle sleep, the countdown and the power-off sequence are decided by the
// power manager; the window does the showing, hiding and telling.
void MainWindow::buildPowerManagement() {
  powerManager_ = new PowerManager(this);
  powerManager_->setEnergySettings(cfg_.energySavingEnabled, cfg_.idleSleepMinutes,
                                   cfg_.autoPowerOffMinutes);
  powerManager_->setMotionSource([this](float out[3]) { return accel_.readTrimmed(out); });
  connect(powerManager_, &PowerManager::energySettingsChanged, this,
          [this](bool on, int idle, int off) {
            cfg_.energySavingEnabled = on;
            cfg_.idleSleepMinutes = idle;
            cfg_.autoPowerOffMinutes = off;
            saveSettings();
            refreshEnergyPages();
          });
  connect(powerManager_, &PowerManager::idleSleepChanged, this, &MainWindow::onIdleSleepChanged);
  connect(powerManager_, &PowerManager::sleepCountdownChanged, this, [this](int seconds) {
    if (!home_) return;
    if (seconds > 0) home_->setSleepCountdown(seconds);
    home_->setSleepCountdownVisible(seconds > 0);
  });
  connect(powerManager_, &PowerManager::powerOffStarted, this, &MainWindow::onPowerOffStarted);
  connect(powerManager_, &PowerManager::exitRequested, this, &MainWindow::appExit);
}

void MainWindow::openMotionSensor() {
  gsensorAvailable_ = accel_.init() == 0;
  if (!gsensorAvailable_) {
    qWarning("GSensor init failed, idle auto-sleep disabled");
    // Forces energy saving off, which is saved through energySettingsChanged.
    powerManager_->setSensorAvailable(false);
    refreshPowerState();
    return;
  }
  powerManager_->setSensorAvailable(true);
  motionTimer_ = new QTimer(this);
  motionTimer_->setInterval(PowerManager::kTickMs);
  connect(motionTimer_, &QTimer::timeout, this, &MainWindow::pollAccelMotion);
  motionTimer_->start();
  refreshEnergyPages();
}

void MainWindow::pollAccelMotion() {
  if (powerManager_) powerManager_->pollAccelMotion();
}

void MainWindow::refreshPowerState() {
  if (powerManager_) powerManager_->refreshPowerState();
  refreshEnergyPages();
}

void MainWindow::refreshEnergyPages() {
  if (settingsPages_) settingsPages_->refreshEnergySaving(gsensorAvailable_);
}

bool MainWindow::idleSleeping() const { return powerManager_ && powerManager_->idleSleeping(); }
bool MainWindow::poweringOff() const { return powerManager_ && powerManager_->poweringOff(); }

void MainWindow::onIdleSleepChanged(bool sleeping) {
  if (sleeping) {
    updateTempMeasureTimer();
    if (state_ && state_->recording()) state_->setRecording(false);
    if (imageThread_)
      QMetaObject::invokeMethod(imageThread_, "ReceiveIdleSleep", Qt::QueuedConnection,
                                Q_ARG(bool, true));
    if (central_) central_->hide();
    return;
  }
  // Direct, so the display is back before anything is shown on it.
  if (imageThread_) imageThread_->ReceiveIdleSleep(false);
  if (central_) central_->show();
  onPageChanged();
  updateTempMeasureTimer();
}

// One power-off sequence for the key and the automatic path.
void MainWindow::powerOff() {
  if (powerManager_) powerManager_->requestPowerOff();
}

void MainWindow::onPowerOffStarted() {
  if (state_) state_->setRecording(false);
  if (imageThread_)
    QMetaObject::invokeMethod(imageThread_, "ReceivePause", Qt::QueuedConnection,
                              Q_ARG(bool, true));
  // Powering off from idle sleep: the interface must come back to show the
  // power-off picture.
  if (central_) central_->show();
  if (overlay_) overlay_->slot_recv_poweroff(true);
  updateTempMeasureTimer();
}

void MainWindow::setEnergySavingEnabled(bool on) {
  if (powerManager_->setEnergySavingEnabled(on) == PowerManager::Edit::SensorMissing)
    showToast(Toast::NoGsensor);
  refreshEnergyPages();
}

void MainWindow::nudgeEnergyMinutes(int delta) {
  const int target = settingsPages_->energyAdjustTarget();
  switch (powerManager_->nudgeEnergyMinutes(target, delta)) {
    case PowerManager::Edit::BelowIdleSleep:
      showToast(Toast::PowerOffBelowIdle);
      break;
    case PowerManager::Edit::Changed:
      settingsPages_->openEnergyAdjust(target);
      break;
    default:
      break;
  }
}
