#include "sim/keyboard_keys.h"

#include <QApplication>
#include <QKeyEvent>

namespace sim {

KeyboardKeys::KeyboardKeys(SimKeypad* keypad, QWidget* window)
    : QObject(window), keypad_(keypad), window_(window) {
  // On the application rather than the window: a key event goes to the focus
  // widget first, and a focused button would otherwise take Space for itself.
  qApp->installEventFilter(this);
}

KeyboardKeys::~KeyboardKeys() {
  if (qApp) qApp->removeEventFilter(this);
  keypad_->releaseAll();
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

bool KeyboardKeys::forWindow(QObject* watched) const {
  if (!window_ || !watched->isWidgetType()) return false;
  return static_cast<QWidget*>(watched)->window() == window_;
}

bool KeyboardKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::WindowDeactivate && watched == window_) {
    keypad_->releaseAll();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return false;
  if (!forWindow(watched)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  BoardKey boardKey;
  if (!boardKeyFor(key->key(), &boardKey)) return false;
  // Nothing of the interface may treat these keys as its own shortcuts.
  if (type == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  if (!key->isAutoRepeat()) keypad_->setKey(boardKey, type == QEvent::KeyPress);
  return true;
}

}  // namespace sim
