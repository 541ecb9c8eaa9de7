#pragma once
// The power hardware as the interface sees it: the once-a-second poll of the
// fuel gauge, the charger and the SD card, reduced to changes. The window
// connects the signals to the overlay, the home page and the image thread.
#include <QObject>

#include "devices/power_supply.h"

class PowerMonitor : public QObject {
  Q_OBJECT
 public:
  explicit PowerMonitor(QObject* parent = nullptr) : QObject(parent) {}

  // Forgets what the charger said last, so the next refresh reports it
  // whatever it is.
  void resetCharger();
  // Reads the charger: status and connection, each signalled on a change.
  void refreshCharger();
  // One poll: the charger, then the gauge (smoothed) and the card.
  void poll();

  int batteryPercent() const { return percent_; }
  bool lowPower() const { return lowPower_; }
  bool sdPresent() const { return sdPresent_; }
  bool charging() const { return chargingState_ == 1; }
  bool chargerConnected() const { return chargerOnline_ > 0; }

 signals:
  void batteryPercentRead(int percent);  // every successful reading
  void lowPowerChanged(bool low);
  void chargingChanged(bool charging);
  void chargerOnlineChanged(bool connected);
  void sdPresentRead(bool present);  // every poll

 private:
  power_supply::BatterySmoother samples_;
  int percent_ = -1;
  int chargingState_ = -2;  // 1 charging, 0 not, -2 never read
  int chargerOnline_ = -2;  // > 0 connected, 0 not, -2 never read
  bool lowPower_ = false;
  bool sdPresent_ = false;
};
