#pragma once
// The zeroing page as the main window uses it: every press, move and release
// on it goes to the window's zeroing gesture, so the page has no back swipe.
#include "overlay/zeroingpage.h"

class MainWindow;

class MainZeroingPage : public ZeroingPage {
  Q_OBJECT
 public:
  MainZeroingPage(QWidget* parent, double uiScale, MainWindow* window);
  bool filterPageEvent(QObject* watched, QEvent* event) override;

 private:
  MainWindow* window_;
};
