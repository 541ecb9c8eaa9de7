#include "app/mainzeroingpage.h"

#include "app/mainwindow.h"
#include "overlay/zeroinggesture.h"

MainZeroingPage::MainZeroingPage(QWidget* parent, double uiScale, MainWindow* window)
    : ZeroingPage(parent, uiScale), window_(window) {}

bool MainZeroingPage::filterPageEvent(QObject* watched, QEvent* event) {
  if (watched != this || !window_ || !window_->zeroGesture()) return false;
  return window_->zeroGesture()->handleEvent(event);
}
