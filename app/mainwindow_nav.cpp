// Hardware keys, the home page's touch gestures, photos and power-off by key.
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "platform/settings_file.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "platform/paths.h"
#include "platform/sensor_channel_abi.h"
#include "platform/system_actions.h"
#include "thermal/sensor_channel.h"
#include "ui/homepage.h"

namespace {

// Home gesture limits, in pixels and milliseconds.
constexpr int kTapMaxMs = 350;
constexpr int kTapMaxMove = 32;
constexpr int kDoubleTapMaxMs = 450;
constexpr int kDoubleTapMaxDist = 48;
constexpr int kLongPressMs = 450;
constexpr int kSwipeMin = 49;

const uint8_t kSensorShutdown[18] = {0x01, 0x0F, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8D, 0x5A};

}  // namespace

void MainWindow::onHardwareKey(user_key_value_e keyVal) {
  const bool onHome = stack_ && stack_->currentIndex() == kHomePage;
  const bool sdPresent = home_ && home_->sdCardPresent();
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
      if (poweringOff_) break;
      poweringOff_ = true;
      if (state_) state_->setRecording(false);
      if (imageThread_)
        QMetaObject::invokeMethod(imageThread_, "ReceivePause", Qt::QueuedConnection,
                                  Q_ARG(bool, true));
      if (overlay_) overlay_->slot_recv_poweroff(true);
      updateTempMeasureTimer();
      QTimer::singleShot(600, this, &MainWindow::appExit);
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
  sendSensorCommand(platform::kSensorCommandAddress, kSensorShutdown, sizeof kSensorShutdown);
  platform::sys().finalExit();
  std::printf("AppExit\n\n");
  std::fflush(stdout);
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
  if (watched == home_ && homeGesture(event)) return true;
  return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::homeGesture(QEvent* event) {
  const QEvent::Type type = event->type();
  const qint64 now = clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch();
  // A quick second press arrives as a double-click: it is a press all the same.
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    pressPos_ = static_cast<QMouseEvent*>(event)->localPos().toPoint();
    pressTime_ = now;
    return false;
  }
  if (type != QEvent::MouseButtonRelease) return false;
  const QPoint pos = static_cast<QMouseEvent*>(event)->localPos().toPoint();
  const int dx = pos.x() - pressPos_.x();
  const int dy = pos.y() - pressPos_.y();
  const int adx = std::abs(dx), ady = std::abs(dy);
  const qint64 duration = now - pressTime_;

  if (duration <= kTapMaxMs && adx <= kTapMaxMove && ady <= kTapMaxMove) {
    if (lastTapTime_ != 0 && pressTime_ - lastTapTime_ <= kDoubleTapMaxMs &&
        std::abs(pos.x() - lastTapPos_.x()) <= kDoubleTapMaxDist &&
        std::abs(pos.y() - lastTapPos_.y()) <= kDoubleTapMaxDist) {
      lastTapTime_ = 0;
      stepZoom();
      return true;
    }
    lastTapTime_ = now;
    lastTapPos_ = pos;
  } else {
    lastTapTime_ = 0;
  }

  bool vertical = false;
  if (duration >= kLongPressMs && adx <= kTapMaxMove) {
    if (ady <= kTapMaxMove) {
      openMenu();
      return true;
    }
    if (ady <= kSwipeMin) return false;
    vertical = true;
  } else if (adx <= kSwipeMin && ady <= kSwipeMin) {
    return false;
  } else {
    vertical = adx < ady;
  }
  if (!state_) return true;
  if (vertical)
    state_->stepPaletteMode(dy < 0 ? +1 : -1);
  else
    state_->stepReticleType(dx < 0 ? +1 : -1);
  return true;
}

// ------------------------------------------------------------------ photos

QImage MainWindow::renderInterface() {
  QWidget* source = central_ ? central_ : static_cast<QWidget*>(this);
  QImage image(source->size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  // The feedback of a previous photo ("Saved", the flash) is not part of the
  // scene: keep it out of this one. Hidden and shown within this event, so
  // the screen never sees it go.
  const bool toastShown = toast_ && toast_->isVisible();
  const bool flashShown = flash_ && flash_->isVisible();
  if (toastShown) toast_->hide();
  if (flashShown) flash_->hide();
  source->render(&image, QPoint(0, 0), QRegion(),
                 QWidget::DrawWindowBackground | QWidget::DrawChildren);
  if (toastShown) toast_->show();
  if (flashShown) flash_->show();
  if (image.size() != QSize(360, 320))
    image = image.scaled(360, 320, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .convertToFormat(QImage::Format_ARGB32);
  return image;
}

void MainWindow::savePhotoWithOsd() {
  if (!imageThread_) return;
  const QImage image = renderInterface();
  // Bytes R, G, B, A, not premultiplied: exactly RGBA8888.
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  QByteArray bytes(360 * 320 * 4, Qt::Uninitialized);
  for (int y = 0; y < 320; ++y)
    std::memcpy(bytes.data() + y * 360 * 4, rgba.constScanLine(y), 360 * 4);

  QDir().mkpath(platform::qpath(QStringLiteral("/mnt/sdcard/picture")));
  int number = settings::readPictureFileNum() + 1;
  if (number > 10000) number = 0;
  settings::writePictureFileNum(number);
  const QString path =
      QStringLiteral("%1/pic_%2.jpg").arg(QStringLiteral("/mnt/sdcard/picture")).arg(number);
  QMetaObject::invokeMethod(imageThread_, "ReceiveSavePhotoWithOsd", Qt::QueuedConnection,
                            Q_ARG(QString, path), Q_ARG(QByteArray, bytes), Q_ARG(int, 360),
                            Q_ARG(int, 320));
}

void MainWindow::onPhotoSaved(const QString&, bool ok) {
  showToast(ok ? Toast::Saved : Toast::SaveFailed);
}
