#pragma once
// The PC keyboard as the board's keys, while the simulator's window has the
// keyboard: Space is the shutter/record key, U the up key, P the power key.
// A key is down on the board exactly as long as it is held on the PC: the
// PC's auto-repeat is ignored, and keys held when the window loses the
// keyboard are let go, so a hold can never outlast the finger.
//
// Other keys work the bench's power hardware: [ and ] take the battery's
// charge down or up by 10 %, C plugs or unplugs the charger, S takes the SD
// card out or puts it in, M picks the device up or lays it down.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "sim/sim_input.h"

namespace sim {

class PowerControls;

// What a bench key does to the power hardware.
enum class BenchKey { BatteryDown, BatteryUp, Charger, Card, Motion };

class KeyboardKeys : public QObject {
  Q_OBJECT

 public:
  // Watches the application's key events for `window` and its children.
  // `keypad` (and `power`, which may be null) must outlive this object.
  KeyboardKeys(SimKeypad* keypad, QWidget* window, PowerControls* power = nullptr);
  ~KeyboardKeys() override;

  // The board key of a PC key; false for keys that mean nothing here.
  static bool boardKeyFor(int qtKey, BoardKey* key);
  // The bench action of a PC key; false for the others.
  static bool benchKeyFor(int qtKey, BenchKey* key);
  static constexpr int kBatteryStep = 10;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool forWindow(QObject* watched) const;

  void bench(BenchKey key);

  SimKeypad* keypad_;
  PowerControls* power_;
  QPointer<QWidget> window_;
};

}  // namespace sim
