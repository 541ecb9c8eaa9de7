#pragma once
// The simulated board's power hardware, changed while the program runs: the
// fuel gauge's charge, the charger, the SD card and whether the device lies
// still or is being handled. They act on what the program reads: the sysfs
// files and the card's device node under the board root, and the
// accelerometer. Each change prints one line, so a run's log shows what the
// bench did.
#include <QString>

namespace sim {

class SimAccel;

class PowerControls {
 public:
  // `root` is the board root folder; `accel` may be null (a board without one).
  PowerControls(const QString& root, SimAccel* accel);

  // Charge in percent, clamped to 0..100.
  bool setBatteryPercent(int percent);
  // Connected: status "Charging" and online 1; else "Discharging" and 0.
  bool setCharger(bool connected);
  // Out, the card is gone as a pulled card is: files open on it fail to
  // write (EIO), its folder is out of the program's reach, the galleries
  // find nothing; back in, the same files are there again.
  bool setCardInserted(bool inserted);
  // False when there is no accelerometer to move.
  bool setHandled(bool handled);

  // Current values as the files and the accelerometer hold them.
  int batteryPercent() const;  // -1 when unreadable
  bool chargerConnected() const;
  bool cardInserted() const;
  bool handled() const;

  // Relative and toggling forms, for keys.
  bool stepBattery(int delta);
  bool toggleCharger() { return setCharger(!chargerConnected()); }
  bool toggleCard() { return setCardInserted(!cardInserted()); }
  bool toggleHandled() { return setHandled(!handled()); }

 private:
  bool writeFile(const char* systemPath, const QByteArray& content);
  QString file(const char* systemPath) const;

  QString root_;
  SimAccel* accel_;
};

}  // namespace sim
