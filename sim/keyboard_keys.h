#pragma once
// The PC keyboard as the board's keys, while the simulator's window has the
// keyboard: Space is the shutter/record key, U the up key, P the power key.
// A key is down on the board exactly as long as it is held on the PC: the
// PC's auto-repeat is ignored, and keys held when the window loses the
// keyboard are let go, so a hold can never outlast the finger.
//
// An X server repeats a held key as a release and a press of the same key at
// the same instant, which Qt does not always mark as a repeat. So a release
// is held back for kReleaseHoldBackMs: a press of the same key meanwhile, no
// more than kRepeatGapMs after it by the events' own time stamps, is the
// desktop's repeat and the hold goes on; otherwise the key is let go.
//
// Other keys work the bench's power hardware: [ and ] take the battery's
// charge down or up by 10 %, C plugs or unplugs the charger, S takes the SD
// card out or puts it in, M picks the device up or lays it down.
#include <QObject>
#include <QPointer>
#include <QTimer>
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
  static constexpr int kReleaseHoldBackMs = 30;
  static constexpr int kRepeatGapMs = 5;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool forWindow(QObject* watched) const;

  void bench(BenchKey key);
  void onBoardKey(BoardKey key, bool press, unsigned long timestamp);
  void letGo(BoardKey key);
  void releaseAll();

  // A release held back, per board key.
  struct HeldRelease {
    bool pending = false;
    unsigned long at = 0;  // the release's time stamp
    QTimer timer;
  };
  HeldRelease held_[3];
  SimKeypad* keypad_;
  PowerControls* power_;
  QPointer<QWidget> window_;
};

}  // namespace sim
