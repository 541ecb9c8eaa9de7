#pragma once
// The window's short messages and the photo flash: one label that serves
// every toast, centred near the bottom, and a tinted veil over the whole
// window. Both let touches through and never take part in a photo.
#include <QObject>

#include "ui/texts.h"

class QLabel;
class QTimer;
class QWidget;

class Toasts : public QObject {
  Q_OBJECT
 public:
  // The three shapes a toast takes: long notices wrap over two lines, the
  // card notice is shorter, the photo confirmation is a small pill.
  enum class Shape { Notice, Card, Pill };
  // The occasions of a toast, each with its text and shape.
  enum class Message { PowerOffBelowIdle, NoGsensor, InsertSd, Saved, SaveFailed, RecordingStopped };

  // Children of `host`, which covers the whole window.
  Toasts(QWidget* host, double uiScale);

  void setLanguage(int lang) { language_ = lang; }
  void show(const UiText& text, Shape shape);
  void show(Message message);
  // The photo flash: shown at once, gone after 70 ms.
  void flash();
  // Hides the toast and the flash at once (a video takes the screen).
  void hideAll();

  QLabel* label() const { return label_; }
  QWidget* flashWidget() const { return flash_; }

 private:
  QWidget* host_;
  QLabel* label_;
  QWidget* flash_;
  QTimer* timer_;
  int language_ = 1;
};
