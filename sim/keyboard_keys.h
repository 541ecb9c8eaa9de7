#pragma once
// The PC keyboard as the board's keys, while the simulator's window has the
// keyboard: Space is the shutter/record key, U the up key, P the power key.
// A key is down on the board exactly as long as it is held on the PC: the
// PC's auto-repeat is ignored, and keys held when the window loses the
// keyboard are let go, so a hold can never outlast the finger.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "sim/sim_input.h"

namespace sim {

class KeyboardKeys : public QObject {
  Q_OBJECT

 public:
  // Watches the application's key events for `window` and its children.
  // `keypad` must outlive this object.
  KeyboardKeys(SimKeypad* keypad, QWidget* window);
  ~KeyboardKeys() override;

  // The board key of a PC key; false for keys that mean nothing here.
  static bool boardKeyFor(int qtKey, BoardKey* key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool forWindow(QObject* watched) const;

  SimKeypad* keypad_;
  QPointer<QWidget> window_;
};

}  // namespace sim
