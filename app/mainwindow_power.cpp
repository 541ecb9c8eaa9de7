// The main window's side of the power hardware: what the monitor reports
// reaches the overlay, the home page and the image thread.
#include <QStackedWidget>
#include <QTimer>
#include <QtDebug>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "app/device_power.h"
#include "devices/power_monitor.h"
#include "app/settings_pages.h"
#include "imaging/image_pro_thread.h"
#include "power/power_manager.h"
#include "overlay/aim.h"
#include "ui/homepage.h"

void MainWindow::pollBatteryPercent() {
  if (power_) power_->pollBattery();
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
  if (power_) power_->manager()->refreshPowerState();
  refreshEnergyPages();
}

void MainWindow::refreshEnergyPages() {
  if (settingsPages_) settingsPages_->refreshEnergySaving(gsensorAvailable());
}

bool MainWindow::idleSleeping() const { return power_ && power_->manager()->idleSleeping(); }
bool MainWindow::poweringOff() const { return power_ && power_->manager()->poweringOff(); }
bool MainWindow::gsensorAvailable() const { return power_ && power_->gsensorAvailable(); }
bool MainWindow::lowPower() const { return power_ && power_->monitor()->lowPower(); }
bool MainWindow::sdPresent() const { return power_ && power_->monitor()->sdPresent(); }
PowerManager* MainWindow::powerManager() const { return power_->manager(); }

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
  if (power_) power_->manager()->requestPowerOff();
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
