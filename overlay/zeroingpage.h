#pragma once
// The zeroing page: a title and the current offsets. The page itself does
// nothing with touch; the main window's subclass hands its events to the
// zeroing gesture (ZeroingGesture) from filterPageEvent.
#include "ui/uipage.h"

class QLabel;

class ZeroingPage : public UiPage {
  Q_OBJECT

 public:
  ZeroingPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  // Shows "X: x   Y: y".
  void setOffsets(int x, int y);

  QString titleText() const;
  QString offsetText() const;

 private:
  void build();

  QLabel* title_ = nullptr;
  QLabel* offsets_ = nullptr;
};
