// Hardware keys, the home page's touch gestures, photos and power-off by key.
#include <QDateTime>
#include <QImage>
#include <QStackedWidget>

#include "app/appcontroller.h"
#include "app/device_power.h"
#include "app/key_table.h"
#include "app/mainwindow.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "power/power_manager.h"
#include "platform/diag.h"
#include "platform/system_actions.h"
#include "record/photo_capture.h"
#include "thermal/sensor_channel.h"
#include "ui/homepage.h"

void MainWindow::onHardwareKey(user_key_value_e keyVal) {
  keys::Context where;
  where.onHome = stack_->currentIndex() == kHomePage;
  where.sdPresent = home_->sdCardPresent();
  where.recording = state_->recording();
  where.cameraOff = power_->cameraOff();
  switch (keys::intentFor(keyVal, where)) {
    case keys::Intent::TakePhoto:
      photos_->take();
      toasts_->flash();
      break;
    case keys::Intent::StartRecording:
      state_->setRecording(true);
      break;
    case keys::Intent::StopRecording:
      state_->setRecording(false);
      break;
    case keys::Intent::AskForCard:
      showToast(Toast::InsertSd);
      break;
    case keys::Intent::PowerOff:
      power_->manager()->requestPowerOff();
      break;
    case keys::Intent::ToggleSuperResolution:
      cfg_.srEnabled = !cfg_.srEnabled;
      // A recording never spans a change of resolution.
      state_->setRecording(false);
      QMetaObject::invokeMethod(imageThread_, "ReceiveSrEnabled", Qt::QueuedConnection,
                                Q_ARG(bool, cfg_.srEnabled));
      home_->setSrBadgeVisible(cfg_.srEnabled);
      saveSettings();
      break;
    case keys::Intent::None:
      break;
  }
}

void MainWindow::appExit() {
  sendShutdown();
  platform::sys().finalExit();
  diag::out("AppExit\n\n");
}

void MainWindow::stepZoom() {
  const keys::Zoom z = keys::nextZoom({cfg_.zoomTenths, cfg_.zoomRising});
  cfg_.zoomTenths = z.tenths;
  cfg_.zoomRising = z.rising;
  imageThread_->ReceiveScale(z.tenths);
  overlay_->slot_update(z.tenths / 10.0);
  saveSettings();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != home_) return QMainWindow::eventFilter(watched, event);
  const HomeGestures::Result r =
      gestures_.handle(event, clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch());
  switch (r.action) {
    case HomeGestures::Action::StepZoom:
      stepZoom();
      break;
    case HomeGestures::Action::OpenMenu:
      openMenu();
      break;
    case HomeGestures::Action::NextPalette:
    case HomeGestures::Action::PreviousPalette:
      state_->stepPaletteMode(r.action == HomeGestures::Action::NextPalette ? 1 : -1);
      break;
    case HomeGestures::Action::NextReticle:
    case HomeGestures::Action::PreviousReticle:
      state_->stepReticleType(r.action == HomeGestures::Action::NextReticle ? 1 : -1);
      break;
    case HomeGestures::Action::None:
      break;
  }
  return r.consumed || QMainWindow::eventFilter(watched, event);
}

QImage MainWindow::renderInterface() { return photos_->renderInterface(); }
