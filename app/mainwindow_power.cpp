// The main window's side of power: idle sleep, the countdown and the
// power-off sequence are decided by the power manager and the power hardware
// is routed by the device power; the window hides, shows and tells.
#include "app/appcontroller.h"
#include "app/center_readout.h"
#include "app/device_power.h"
#include "app/mainwindow.h"
#include "app/settings_pages.h"
#include "devices/power_monitor.h"
#include "power/power_manager.h"

void MainWindow::pollBatteryPercent() { power_->pollBattery(); }

void MainWindow::buildPowerManagement() {
  power_ = new DevicePower(&cfg_, state_, this);
  connect(power_, &DevicePower::energySettingsStored, this, [this] {
    saveSettings();
    refreshEnergyPages();
  });
  PowerManager* manager = power_->manager();
  connect(manager, &PowerManager::idleSleepChanged, this, &MainWindow::onIdleSleepChanged);
  connect(manager, &PowerManager::powerOffStarted, this, &MainWindow::onPowerOffStarted);
  connect(manager, &PowerManager::exitRequested, this, &MainWindow::appExit);
}

void MainWindow::refreshPowerState() {
  power_->manager()->refreshPowerState();
  refreshEnergyPages();
}

void MainWindow::refreshEnergyPages() { settingsPages_->refreshEnergySaving(gsensorAvailable()); }

bool MainWindow::idleSleeping() const { return power_->manager()->idleSleeping(); }
bool MainWindow::poweringOff() const { return power_->manager()->poweringOff(); }
bool MainWindow::gsensorAvailable() const { return power_->gsensorAvailable(); }
bool MainWindow::lowPower() const { return power_->monitor()->lowPower(); }
bool MainWindow::sdPresent() const { return power_->monitor()->sdPresent(); }
PowerManager* MainWindow::powerManager() const { return power_->manager(); }

void MainWindow::onIdleSleepChanged(bool sleeping) {
  readout_->refresh();
  if (sleeping) {
    state_->setRecording(false);
    central_->hide();
  } else {
    central_->show();
    onPageChanged();
  }
}

void MainWindow::onPowerOffStarted() {
  state_->setRecording(false);
  // Powering off from idle sleep: the interface must come back to show the
  // power-off picture.
  central_->show();
  readout_->refresh();
}

void MainWindow::setEnergySavingEnabled(bool on) {
  if (power_->manager()->setEnergySavingEnabled(on) == PowerManager::Edit::SensorMissing)
    showToast(Toast::NoGsensor);
  refreshEnergyPages();
}

void MainWindow::nudgeEnergyMinutes(int delta) {
  const int target = settingsPages_->energyAdjustTarget();
  switch (power_->manager()->nudgeEnergyMinutes(target, delta)) {
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
