#include "app/device_power.h"

#include <QtDebug>

#include "app/appcontroller.h"
#include "app/settings_store.h"
#include "devices/power_monitor.h"
#include "devices/power_supply.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "power/power_manager.h"
#include "ui/homepage.h"

DevicePower::DevicePower(ControllerSettings* cfg, AppController* state, QObject* parent)
    : QObject(parent),
      cfg_(cfg),
      state_(state),
      monitor_(new PowerMonitor(this)),
      manager_(new PowerManager(this)) {
  connectMonitor();
  reloadEnergySettings();
  manager_->setMotionSource([this](float out[3]) { return accel_.readTrimmed(out); });
  connect(manager_, &PowerManager::energySettingsChanged, this, [this](bool on, int idle, int off) {
    cfg_->energySavingEnabled = on;
    cfg_->idleSleepMinutes = idle;
    cfg_->autoPowerOffMinutes = off;
    emit energySettingsStored();
  });
  connect(manager_, &PowerManager::sleepCountdownChanged, this, [this](int seconds) {
    if (!home_) return;
    if (seconds > 0) home_->setSleepCountdown(seconds);
    home_->setSleepCountdownVisible(seconds > 0);
  });
  // The picture's side of sleep and power-off, before the window hides or
  // shows its interface (on waking the display must be back first: direct).
  connect(manager_, &PowerManager::idleSleepChanged, this, [this](bool sleeping) {
    if (!imageThread_) return;
    if (sleeping)
      QMetaObject::invokeMethod(imageThread_, "ReceiveIdleSleep", Qt::QueuedConnection,
                                Q_ARG(bool, true));
    else
      imageThread_->ReceiveIdleSleep(false);
  });
  connect(manager_, &PowerManager::powerOffStarted, this, [this] {
    if (imageThread_)
      QMetaObject::invokeMethod(imageThread_, "ReceivePause", Qt::QueuedConnection,
                                Q_ARG(bool, true));
    if (overlay_) overlay_->slot_recv_poweroff(true);
  });
  batteryTimer_.setInterval(1000);
  connect(&batteryTimer_, &QTimer::timeout, this, &DevicePower::pollBattery);
  motionTimer_.setInterval(PowerManager::kTickMs);
  connect(&motionTimer_, &QTimer::timeout, this, &DevicePower::pollMotion);
}

void DevicePower::connectMonitor() {
  connect(monitor_, &PowerMonitor::batteryPercentRead, this, [this](int percent) {
    if (state_) state_->setBatteryPercent(percent);
    if (overlay_) overlay_->slot_recv_battery_percent(percent);
  });
  // The camera stops behind the low-battery and charging screens: a
  // recording would go on without frames, so it ends as it does for sleep.
  connect(monitor_, &PowerMonitor::lowPowerChanged, this, [this](bool low) {
    if (low && state_ && state_->recording()) state_->setRecording(false);
    if (overlay_) overlay_->slot_recv_lowpower(low);
    if (imageThread_)
      QMetaObject::invokeMethod(imageThread_, "ReceiveLowPower", Qt::QueuedConnection,
                                Q_ARG(bool, low));
  });
  connect(monitor_, &PowerMonitor::chargingChanged, this, [this](bool charging) {
    if (home_) home_->setCharging(charging);
    if (overlay_) overlay_->slot_recv_charge(charging);
  });
  connect(monitor_, &PowerMonitor::chargerOnlineChanged, this, [this](bool connected) {
    if (connected && state_ && state_->recording()) state_->setRecording(false);
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
  connect(monitor_, &PowerMonitor::sdPresentRead, this, [this](bool present) {
    if (home_) home_->setSdCardPresent(present);
  });
}

void DevicePower::startBatteryPoll() {
  batteryTimer_.start();
  pollBattery();
}

void DevicePower::pollBattery() { monitor_->poll(); }

void DevicePower::applyBacklight() {
  const int level = state_->brightness();
  if (power_supply::applyBacklightBrightness(level) != 0)
    qWarning("applyBacklightBrightness: failed to set backlight to %d", level);
}

void DevicePower::refreshChargerAfresh() {
  monitor_->resetCharger();
  monitor_->refreshCharger();
  if (monitor_->lowPower() && imageThread_)
    QMetaObject::invokeMethod(imageThread_, "ReceiveLowPower", Qt::QueuedConnection,
                              Q_ARG(bool, true));
}

bool DevicePower::openMotionSensor() {
  gsensorAvailable_ = accel_.init() == 0;
  if (!gsensorAvailable_) {
    qWarning("GSensor init failed, idle auto-sleep disabled");
    // Forces energy saving off, which is stored through energySettingsChanged.
    manager_->setSensorAvailable(false);
    return false;
  }
  manager_->setSensorAvailable(true);
  motionTimer_.start();
  return true;
}

void DevicePower::pollMotion() { manager_->pollAccelMotion(); }

bool DevicePower::cameraOff() const {
  return manager_->idleSleeping() || monitor_->lowPower() || monitor_->chargerConnected();
}

void DevicePower::reloadEnergySettings() {
  manager_->setEnergySettings(cfg_->energySavingEnabled, cfg_->idleSleepMinutes,
                              cfg_->autoPowerOffMinutes);
}
