#pragma once
// The device's power as the interface shows it: the battery, charger and
// card poll reaching the overlay, the home page and the image thread; the
// accelerometer and the power manager behind idle sleep, the countdown and
// automatic power-off, and the picture's side of sleep and power-off. The
// window keeps what only it can do (hiding its interface, the final exit) and
// hears of it through the manager's signals.
#include <QObject>
#include <QTimer>
#include <functional>

#include "devices/accelerometer.h"

class AppController;
class HomePage;
class ImageProThread;
class PowerManager;
class PowerMonitor;
class aim;
struct ControllerSettings;

class DevicePower : public QObject {
  Q_OBJECT
 public:
  // `cfg` is the window's settings mirror; the energy values are kept in it.
  DevicePower(ControllerSettings* cfg, AppController* state, QObject* parent = nullptr);

  // What the power hardware's state is shown on.
  void setInterface(aim* overlay, HomePage* home) {
    overlay_ = overlay;
    home_ = home;
  }
  // The camera stops while on external power or low battery.
  void setImageThread(ImageProThread* imageThread) { imageThread_ = imageThread; }

  // Starts the once-a-second poll, with one poll at once.
  void startBatteryPoll();
  void pollBattery();
  // The backlight at the state object's brightness.
  void applyBacklight();
  // Reads the charger afresh, whatever it said before; a device started on a
  // flat battery is told so (the first reading came before the image thread).
  void refreshChargerAfresh();

  // Opens the motion sensor and starts its 200 ms poll; without one, energy
  // saving is stored off. False when there is none.
  bool openMotionSensor();
  void pollMotion();
  // The energy values as now stored in the mirror (after a load or a reset).
  void reloadEnergySettings();

  bool gsensorAvailable() const { return gsensorAvailable_; }
  // Asleep, or behind the low-battery or charging screen.
  bool cameraOff() const;
  PowerMonitor* monitor() const { return monitor_; }
  PowerManager* manager() const { return manager_; }

 signals:
  // The energy values in the mirror changed: save, refresh the pages.
  void energySettingsStored();

 private:
  void connectMonitor();

  ControllerSettings* cfg_;
  AppController* state_;
  aim* overlay_ = nullptr;
  HomePage* home_ = nullptr;
  ImageProThread* imageThread_ = nullptr;
  PowerMonitor* monitor_;
  PowerManager* manager_;
  Accelerometer accel_;
  bool gsensorAvailable_ = false;
  QTimer batteryTimer_;
  QTimer motionTimer_;
};
