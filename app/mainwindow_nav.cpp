// Hardware keys, the home page's touch gestures, photos and power-off by key.
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTimer>
#include <cstdlib>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "record/photo_capture.h"
#include "platform/diag.h"
#include "platform/system_actions.h"
#include "thermal/sensor_channel.h"
#include "ui/homepage.h"

void MainWindow::onHardwareKey(user_key_value_e keyVal) {
  const bool onHome = stack_ && stack_->currentIndex() == kHomePage;
  const bool sdPresent = home_ && home_->sdCardPresent();
  // Asleep, camera and display are off: a photo or a recording would be
  // empty, and would still use up a number. Only motion wakes the device.
  if (idleSleeping() && (keyVal == USER_KEY_SHUTTER || keyVal == USER_KEY_RECORD)) return;
  switch (keyVal) {
    case USER_KEY_SHUTTER:
      if (state_ && state_->recording()) {
        state_->setRecording(false);
      } else if (onHome) {
        if (sdPresent) {
          savePhotoWithOsd();
          showPhotoFeedback();
        } else {
          showToast(Toast::InsertSd);
        }
      }
      break;
    case USER_KEY_RECORD: {
      const bool recording = state_ ? state_->recording() : true;
      if (!onHome || recording) break;
      if (sdPresent)
        state_->setRecording(true);
      else
        showToast(Toast::InsertSd);
      break;
    }
    case USER_KEY_POWER_OFF:
      powerOff();
      break;
    case USER_KEY_SR_TOGGLE:
      cfg_.srEnabled = !cfg_.srEnabled;
      // A recording never spans a change of resolution.
      if (state_ && state_->recording()) state_->setRecording(false);
      if (imageThread_)
        QMetaObject::invokeMethod(imageThread_, "ReceiveSrEnabled", Qt::QueuedConnection,
                                  Q_ARG(bool, cfg_.srEnabled));
      if (home_) home_->setSrBadgeVisible(cfg_.srEnabled);
      saveSettings();
      break;
    default:
      break;
  }
}

void MainWindow::appExit() {
  sendShutdown();
  platform::sys().finalExit();
  diag::out("AppExit\n\n");
}

void MainWindow::stepZoom() {
  int z = cfg_.zoomTenths;
  if (cfg_.zoomRising) {
    z += 10;
    if (z > 19) {
      z = 20;
      cfg_.zoomRising = false;
    }
  } else {
    z -= 10;
    if (z <= 10) {
      z = 10;
      cfg_.zoomRising = true;
    }
  }
  cfg_.zoomTenths = z;
  if (imageThread_) imageThread_->ReceiveScale(z);
  if (overlay_) overlay_->slot_update(z / 10.0);
  saveSettings();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != home_) return QMainWindow::eventFilter(watched, event);
  const QEvent::Type type = event->type();
  const qint64 now = clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch();
  // A quick second press arrives as a double-click: it is a press all the same.
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    gestures_.press(static_cast<QMouseEvent*>(event)->localPos().toPoint(), now);
    return QMainWindow::eventFilter(watched, event);
  }
  if (type != QEvent::MouseButtonRelease) return QMainWindow::eventFilter(watched, event);
  const HomeGestures::Result r =
      gestures_.release(static_cast<QMouseEvent*>(event)->localPos().toPoint(), now);
  switch (r.action) {
    case HomeGestures::Action::StepZoom:
      stepZoom();
      break;
    case HomeGestures::Action::OpenMenu:
      openMenu();
      break;
    case HomeGestures::Action::NextPalette:
    case HomeGestures::Action::PreviousPalette:
      if (state_) state_->stepPaletteMode(r.action == HomeGestures::Action::NextPalette ? 1 : -1);
      break;
    case HomeGestures::Action::NextReticle:
    case HomeGestures::Action::PreviousReticle:
      if (state_) state_->stepReticleType(r.action == HomeGestures::Action::NextReticle ? 1 : -1);
      break;
    case HomeGestures::Action::None:
      break;
  }
  return r.consumed || QMainWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------------ photos

QImage MainWindow::renderInterface() { return photos_ ? photos_->renderInterface() : QImage(); }

void MainWindow::savePhotoWithOsd() {
  if (photos_) photos_->take();
}
