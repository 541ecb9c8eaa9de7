#include "sim/keyboard_keys.h"

#include <QApplication>
#include <QKeyEvent>

#include "sim/power_controls.h"

namespace sim {

KeyboardKeys::KeyboardKeys(SimKeypad* keypad, QWidget* window, PowerControls* power)
    : QObject(window), keypad_(keypad), power_(power), window_(window) {
  // On the application rather than the window: a key event goes to the focus
  // widget first, and a focused button would otherwise take Space for itself.
  qApp->installEventFilter(this);
  for (BoardKey key : {BoardKey::Shutter, BoardKey::Up, BoardKey::Power}) {
    QTimer& t = held_[static_cast<int>(key)].timer;
    t.setSingleShot(true);
    t.setInterval(kReleaseHoldBackMs);
    connect(&t, &QTimer::timeout, this, [this, key] { letGo(key); });
  }
}

KeyboardKeys::~KeyboardKeys() {
  if (qApp) qApp->removeEventFilter(this);
  releaseAll();
}

void KeyboardKeys::letGo(BoardKey key) {
  HeldRelease& h = held_[static_cast<int>(key)];
  h.timer.stop();
  h.pending = false;
  keypad_->setKey(key, false);
}

void KeyboardKeys::releaseAll() {
  for (HeldRelease& h : held_) {
    h.timer.stop();
    h.pending = false;
  }
  keypad_->releaseAll();
}

void KeyboardKeys::onBoardKey(BoardKey key, bool press, unsigned long timestamp) {
  HeldRelease& h = held_[static_cast<int>(key)];
  if (!press) {
    h.pending = true;
    h.at = timestamp;
    h.timer.start();
    return;
  }
  if (h.pending) {
    // Unsigned: a press stamped a little before its release (clocks of
    // synthetic events) counts as the same instant, not as four billion ms.
    const long gap = static_cast<long>(timestamp - h.at);
    if (gap >= -kRepeatGapMs && gap <= kRepeatGapMs) {
      h.timer.stop();
      h.pending = false;
      return;  // the desktop's repeat: still held
    }
    letGo(key);  // a new press after a real release
  }
  keypad_->setKey(key, true);
}

bool KeyboardKeys::boardKeyFor(int qtKey, BoardKey* key) {
  switch (qtKey) {
    case Qt::Key_Space:
      *key = BoardKey::Shutter;
      return true;
    case Qt::Key_U:
      *key = BoardKey::Up;
      return true;
    case Qt::Key_P:
      *key = BoardKey::Power;
      return true;
    default:
      return false;
  }
}

bool KeyboardKeys::benchKeyFor(int qtKey, BenchKey* key) {
  switch (qtKey) {
    case Qt::Key_BracketLeft:
      *key = BenchKey::BatteryDown;
      return true;
    case Qt::Key_BracketRight:
      *key = BenchKey::BatteryUp;
      return true;
    case Qt::Key_C:
      *key = BenchKey::Charger;
      return true;
    case Qt::Key_S:
      *key = BenchKey::Card;
      return true;
    case Qt::Key_M:
      *key = BenchKey::Motion;
      return true;
    default:
      return false;
  }
}

void KeyboardKeys::bench(BenchKey key) {
  switch (key) {
    case BenchKey::BatteryDown:
      power_->stepBattery(-kBatteryStep);
      break;
    case BenchKey::BatteryUp:
      power_->stepBattery(kBatteryStep);
      break;
    case BenchKey::Charger:
      power_->toggleCharger();
      break;
    case BenchKey::Card:
      power_->toggleCard();
      break;
    case BenchKey::Motion:
      power_->toggleHandled();
      break;
  }
}

bool KeyboardKeys::forWindow(QObject* watched) const {
  if (!window_ || !watched->isWidgetType()) return false;
  return static_cast<QWidget*>(watched)->window() == window_;
}

bool KeyboardKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::WindowDeactivate && watched == window_) {
    releaseAll();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return false;
  if (!forWindow(watched)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  BenchKey benchKey;
  if (power_ && benchKeyFor(key->key(), &benchKey)) {
    if (type == QEvent::ShortcutOverride) {
      event->accept();
      return true;
    }
    // One change per press: holding the key does not repeat it.
    if (type == QEvent::KeyPress && !key->isAutoRepeat()) bench(benchKey);
    return true;
  }
  BoardKey boardKey;
  if (!boardKeyFor(key->key(), &boardKey)) return false;
  // Nothing of the interface may treat these keys as its own shortcuts.
  if (type == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  if (!key->isAutoRepeat()) onBoardKey(boardKey, type == QEvent::KeyPress, key->timestamp());
  return true;
}

}  // namespace sim
