#include "app/mainwindow.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtGlobal>

#include "app/appcontroller.h"
#include "platform/constants.h"
#include "app/mainzeroingpage.h"
#include "app/device_power.h"
#include "record/photo_capture.h"
#include "app/settings_pages.h"
#include "app/media_pages.h"
#include "gallery/media_library.h"
#include "power/power_manager.h"
#include "record/recorder.h"
#include "app/temperature_pages.h"
#include "ui/toasts.h"
#include "app/startup.h"
#include "platform/settings_file.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "overlay/zeroinggesture.h"
#include "platform/paths.h"
#include "ui/homepage.h"
#include "ui/menupage.h"
#include "ui/texts.h"
#include "ui/uistyle.h"


MainWindow::MainWindow(AppController* state, QWidget* parent) : QMainWindow(parent), state_(state) {
  // 1. Members carry their defaults; the window itself is see-through so the
  // picture on the plane beneath shows.
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);

  // 2.
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  loadSettings(s);
  buildPowerManagement();

  // 3, 4.
  buildUi();
  applyState();

  // 5.
  if (state_) {
    connect(state_, &AppController::zeroingChanged, this, &MainWindow::refreshZeroText);
    connect(state_, &AppController::batteryPercentChanged, this, &MainWindow::refreshStatusBar);
    connect(state_, &AppController::recordingChanged, this, &MainWindow::refreshStatusBar);
    connect(state_, &AppController::recordingChanged, this, &MainWindow::onRecordingChanged);
    connect(state_, &AppController::brightnessChanged, this, &MainWindow::saveSettings);
    connect(state_, &AppController::reticleTypeChanged, this, &MainWindow::saveSettings);
    connect(state_, &AppController::paletteModeChanged, this, &MainWindow::saveSettings);
  }

  // 6.
  power_->setInterface(overlay_, home_);
  power_->startBatteryPoll();
  refreshStatusBar();

  // 7.
  ImageThreadConfig imageConfig;
  imageConfig.cameraPath = QString::fromLatin1(heatlume::kCameraDevicePath);
  imageConfig.poolBlockCount = settings::loadVideoEncMBCnt();
  imageThread_ = new ImageProThread(imageConfig);
  connect(imageThread_, &ImageProThread::pictureNumberReset, this,
          [] { settings::writePictureFileNum(0); });
  if (state_) {
    connect(state_, &AppController::paletteModeChanged, this,
            [this] { imageThread_->ReceiveImageMode(state_->paletteMode()); });
    connect(state_, &AppController::brightnessChanged, this, &MainWindow::applyBacklight);
    imageThread_->ReceiveImageMode(state_->paletteMode());
  }
  imageThread_->ReceiveScale(cfg_.zoomTenths);
  mediaPages_->setImageThread(imageThread_);
  power_->setImageThread(imageThread_);
  photos_ = new PhotoCapture(central_, imageThread_, this);
  photos_->setFeedbackWidgets({toasts_->label(), toasts_->flashWidget()});
  connect(photos_, &PhotoCapture::saved, this,
          [this](const QString&, bool ok) { showToast(ok ? Toast::Saved : Toast::SaveFailed); });
  imageThread_->start(QThread::InheritPriority);

  // 8.
  applyState();
  power_->refreshChargerAfresh();

  // 9.
  buildRecorder();

  // 10.
  keyReader_ = new Rv_key(this);
  connect(keyReader_, &Rv_key::ck_key, this, &MainWindow::onHardwareKey);
  keyReader_->start(QThread::InheritPriority);

  // 11.
  if (power_->openMotionSensor())
    refreshEnergyPages();
  else
    refreshPowerState();

  // 12.
  tempPollTimer_ = new QTimer(this);
  tempPollTimer_->setInterval(1000);
  connect(tempPollTimer_, &QTimer::timeout, this, &MainWindow::pollCenterThermalTemp);
  calibrationTimer_ = new QTimer(this);
  calibrationTimer_->setInterval(1000);
  connect(calibrationTimer_, &QTimer::timeout, tempPages_, &TemperaturePages::tick);

  // 13.
  retranslateUi();
  updateTempMeasureTimer();
  // 14: `s` closes here.
}

MainWindow::~MainWindow() {
  // Worker threads stop in a fixed order: playback, key reader, video writer,
  // then image processing, which owns the camera and the display.
  if (mediaPages_) mediaPages_->shutdown(2000);
  if (keyReader_) {
    keyReader_->stop();
    keyReader_->wait();
  }
  // The writer finishes what is being recorded or closed before the image
  // thread (its feed) goes.
  delete recorder_;
  recorder_ = nullptr;
  if (imageThread_) {
    imageThread_->requestInterruption();
    imageThread_->quit();
    imageThread_->wait();
    delete imageThread_;
    imageThread_ = nullptr;
  }
}

void MainWindow::buildUi() {
  // 1.
  uiScale_ = startup::uiScaleForPointSize(QApplication::font().pointSizeF());
  setFixedSize(heatlume::kWindowWidth, heatlume::kWindowHeight);
  setWindowTitle(QString::fromLatin1(heatlume::kAppName));

  // 2.
  central_ = new QWidget(this);
  central_->setAttribute(Qt::WA_TranslucentBackground);
  central_->setAutoFillBackground(false);
  central_->setStyleSheet(QStringLiteral("background: transparent; color:#ffffff;"));
  auto* layout = new QVBoxLayout(central_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  stack_ = new QStackedWidget(central_);
  stack_->setAttribute(Qt::WA_TranslucentBackground);
  stack_->setAutoFillBackground(false);
  stack_->setStyleSheet(QStringLiteral("background: transparent;"));
  layout->addWidget(stack_, 1);
  setCentralWidget(central_);

  // 3.
  pages_.resize(kPageCount);
  zeroGesture_ = new ZeroingGesture(this);
  settingsPages_ = new SettingsPages(this, uiScale_, &cfg_, state_);
  mediaPages_ = new MediaPages(this, central_, uiScale_);
  tempPages_ = new TemperaturePages(this, central_, uiScale_,
                                    [this](float* c) { return readCenterTemperature(c); });
  for (int i = 0; i < kPageCount; ++i) pages_[i] = makePage(i);
  home_->installEventFilter(this);
  for (QWidget* p : pages_) stack_->addWidget(p);

  // 4.
  QList<QWidget*> targets;
  for (PageIndex index : kMenuTargets) targets << pages_[index];
  menu_->setItems(targets);
  menu_->applyLanguage(cfg_.language);
  menu_->relayout();
  connect(menu_, &MenuPage::backToHomeRequested, this, &MainWindow::goHome);
  connect(menu_, &MenuPage::enterItemRequested, this, [this] {
    if (QWidget* target = menu_->currentTarget()) stack_->setCurrentWidget(target);
  });
  wireTemperature();
  wireSettingsPages();
  buildGallery();
  goHome();

  // 5.
  buildOverlay();
  settingsPages_->setOverlay(overlay_);
  tempPages_->setOverlay(overlay_);

  // 6.
  connect(stack_, &QStackedWidget::currentChanged, this, [this] {
    onPageChanged();
    if (mediaPages_) mediaPages_->refresh(stack_->currentIndex());
  });
  onPageChanged();

  // 7, 8. The flash and the toast label.
  toasts_ = new Toasts(central_, uiScale_);
  toasts_->setLanguage(cfg_.language);

  // 9. The calibration banner belongs to the temperature pages.

  // 10. Touch and the hardware keys drive the interface; no widget takes focus.
  for (QPushButton* b : findChildren<QPushButton*>()) b->setFocusPolicy(Qt::NoFocus);
}

QWidget* MainWindow::makePage(int index) {
  switch (index) {
    case kHomePage:
      return home_ = new HomePage(this, uiScale_);
    case kZeroingPage:
      return zeroing_ = new MainZeroingPage(this, uiScale_, this);
    case kMenuPage:
      return menu_ = new MenuPage(this, uiScale_);
    default:
      // Every other page belongs to one of the units beside the window.
      if (QWidget* settingsPage = settingsPages_->page(index)) return settingsPage;
      if (QWidget* temperaturePage = tempPages_->page(index)) return temperaturePage;
      return mediaPages_->page(index);
  }
}

void MainWindow::buildOverlay() {
  // The overlay reports its centre from the moment it loads it, so the
  // temperature readout measures at the zeroed centre after a restart too.
  overlay_ = new aim(central_);
  overlay_->setGeometry(0, 0, width(), height());
  overlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
  overlay_->raise();
  connect(overlay_, &aim::send_real_center, this,
          [this](int x, int y) { reticleCenter_ = QPoint(x, y); });
  connect(overlay_, &aim::centerConfirmed, this, [](double x, double y) {
    auto s = settings::open();
    s->setValue(QLatin1String(settings::key::kAimCenterX), x);
    s->setValue(QLatin1String(settings::key::kAimCenterY), y);
    s->sync();
  });
  {
    QSettings s(platform::settingsFile(), QSettings::IniFormat);
    overlay_->loadCenter(s);
  }
  if (state_) {
    connect(state_, &AppController::reticleTypeChanged, this,
            [this] { overlay_->slot_recv_reticle_type(state_->reticleType()); });
    overlay_->slot_recv_reticle_type(state_->reticleType());
  }
  overlay_->slot_recv_reticle_mode(RETICLE_MODE_WITH_ZOOM);
  zeroGesture_->setOverlay(overlay_);
  connect(zeroGesture_, &ZeroingGesture::offsetsChanged, this, [this](int x, int y) {
    zeroOffsetX_ = x;
    zeroOffsetY_ = y;
    refreshZeroText();
  });
  connect(zeroGesture_, &ZeroingGesture::returnToMenuRequested, this, [this] {
    if (stack_->currentWidget() == zeroing_) openMenu();
  });

}

QWidget* MainWindow::page(int index) const {
  return (index >= 0 && index < pages_.size()) ? pages_[index] : nullptr;
}

// ---------------------------------------------------------------- settings

void MainWindow::loadSettings(QSettings& s) { loadControllerSettings(s, cfg_, state_); }

void MainWindow::saveSettings() {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  saveControllerSettings(s, cfg_, state_);
}

void MainWindow::resetSettingsToDefaults(QSettings& s) {
  resetControllerSettings(s, cfg_, state_);
  if (power_) power_->reloadEnergySettings();
  applyState();
  retranslateUi();
}

// ------------------------------------------------------------------ state

void MainWindow::applyState() {
  // 1.
  if (imageThread_) imageThread_->ReceiveScale(cfg_.zoomTenths);
  if (state_) applyBacklight();
  if (imageThread_) imageThread_->ReceiveSrEnabled(cfg_.srEnabled);
  // 2.
  if (home_) home_->setSrBadgeVisible(cfg_.srEnabled);
  // 3.
  if (overlay_) {
    if (state_) overlay_->slot_recv_reticle_type(state_->reticleType());
    overlay_->slot_recv_reticle_color(cfg_.reticleColor);
    overlay_->slot_recv_reticle_dot_color(cfg_.reticleDotColor);
    overlay_->slot_recv_language(cfg_.language);
    const int current = stack_ ? stack_->currentIndex() : -1;
    if (current == kHomePage || current == kPalettePage)
      overlay_->slot_update(cfg_.zoomTenths / 10.0);
  }
  // 4.
  updateTempMeasureTimer();
  refreshPowerState();
}

void MainWindow::retranslateUi() {
  if (toasts_) toasts_->setLanguage(cfg_.language);
  for (QWidget* p : pages_)
    if (auto* page = qobject_cast<UiPage*>(p)) page->applyLanguage(cfg_.language);
  if (overlay_) overlay_->slot_recv_language(cfg_.language);
  if (settingsPages_) settingsPages_->refresh(gsensorAvailable());
  if (tempPages_) tempPages_->setLanguage(cfg_.language);
}

// The galleries route their own gestures; the window lends them the live
// picture's pause and hides its interface while a video plays.
void MainWindow::buildGallery() {
  connect(mediaPages_, &MediaPages::backToMenuRequested, this, &MainWindow::openMenu);
  connect(mediaPages_, &MediaPages::playbackStarted, this, [this] {
    stack_->hide();
    if (overlay_) overlay_->hide();
    if (toasts_) toasts_->hideAll();
  });
  connect(mediaPages_, &MediaPages::playbackFinished, this, [this] {
    stack_->show();
    if (overlay_) {
      overlay_->show();
      overlay_->raise();
    }
    onPageChanged();
  });
}

void MainWindow::wireSettingsPages() {
  SettingsPages* sp = settingsPages_;
  connect(sp, &SettingsPages::backToMenuRequested, this, &MainWindow::openMenu);
  connect(sp, &SettingsPages::showPageRequested, stack_, &QStackedWidget::setCurrentIndex);
  connect(sp, &SettingsPages::persistRequested, this, &MainWindow::saveSettings);
  connect(sp, &SettingsPages::languageSelected, this, &MainWindow::setLanguage);
  connect(sp, &SettingsPages::energySavingSwitched, this, &MainWindow::setEnergySavingEnabled);
  connect(sp, &SettingsPages::gsensorUnavailable, this, [this] { showToast(Toast::NoGsensor); });
  connect(sp, &SettingsPages::energyMinutesNudged, this, &MainWindow::nudgeEnergyMinutes);
  connect(sp, &SettingsPages::factoryResetConfirmed, this, &MainWindow::factoryReset);
  sp->refreshEnergySaving(gsensorAvailable());
}

void MainWindow::setLanguage(int lang) {
  lang = qBound(0, lang, 2);
  if (lang == cfg_.language) return;
  cfg_.language = lang;
  saveSettings();
  if (overlay_) overlay_->slot_recv_language(lang);
  retranslateUi();
}

void MainWindow::factoryReset(bool deleteMedia) {
  if (state_) state_->resetDefaults();
  // The file being written is among those deleted: the recording ends and is
  // closed first, so nothing writes into the folder while it is emptied.
  if (deleteMedia) {
    if (recorder_) recorder_->finish(Recorder::kFinishWaitMs);
    mediaPages_->deleteAll();
  }
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  if (overlay_) overlay_->resetCenter(s);
  resetSettingsToDefaults(s);
  settingsPages_->untickFactoryReset();
  goHome();
}

void MainWindow::onPageChanged() {
  if (!overlay_ || !stack_) return;
  const int current = stack_->currentIndex();
  // Leaving a gallery: playback ends and the list starts from the newest.
  if (mediaPages_) mediaPages_->pageChanged(previousPage_, current);
  previousPage_ = current;
  if (power_) power_->manager()->setOnHomePage(current == kHomePage);
  if (current == kPalettePage) {
    overlay_->slot_recv_reticle_mode(RETICLE_MODE_ALWAYS);
    overlay_->slot_update(-1.0);
  } else if (current == kHomePage) {
    overlay_->slot_recv_reticle_mode(RETICLE_MODE_WITH_ZOOM);
    overlay_->slot_update(cfg_.zoomTenths / 10.0);
  } else if (current == kZeroingPage) {
    // Reticle mode 0, zoom 1.0, offsets (0, 0) shown, and the preview.
    zeroGesture_->enter();
  } else {
    overlay_->slot_recv_reticle_mode(RETICLE_MODE_WITH_ZOOM);
    overlay_->slot_update(-1.0);
  }
}

void MainWindow::goHome() {
  if (stack_) stack_->setCurrentIndex(kHomePage);
}

void MainWindow::openMenu() {
  if (state_ && state_->recording()) state_->setRecording(false);
  if (stack_) stack_->setCurrentIndex(kMenuPage);
}

void MainWindow::showToast(Toast which) {
  if (!toasts_) return;
  toasts_->setLanguage(cfg_.language);
  switch (which) {
    case Toast::PowerOffBelowIdle:
      toasts_->show(texts::kToastPowerOffBelowIdle, Toasts::Shape::Notice);
      break;
    case Toast::NoGsensor:
      toasts_->show(texts::kToastNoGsensor, Toasts::Shape::Notice);
      break;
    case Toast::InsertSd:
      toasts_->show(texts::kToastInsertSd, Toasts::Shape::Card);
      break;
    case Toast::SaveFailed:
      toasts_->show(texts::kToastSaveFailed, Toasts::Shape::Card);
      break;
    case Toast::RecordingStopped:
      toasts_->show(texts::kToastRecordingStopped, Toasts::Shape::Card);
      break;
    case Toast::Saved:
      toasts_->show(texts::kToastSaved, Toasts::Shape::Pill);
      break;
  }
}

void MainWindow::showPhotoFeedback() {
  if (toasts_) toasts_->flash();
}

QWidget* MainWindow::calibrationPanel() const { return tempPages_->banner(); }
CalibrationFlow* MainWindow::calibrationFlow() const { return tempPages_->flow(); }
QLabel* MainWindow::toastLabel() const { return toasts_ ? toasts_->label() : nullptr; }
QWidget* MainWindow::flashOverlay() const { return toasts_ ? toasts_->flashWidget() : nullptr; }

// ------------------------------------------------------------------ slots

void MainWindow::refreshZeroText() {
  if (zeroing_) zeroing_->setOffsets(zeroOffsetX_, zeroOffsetY_);
}

void MainWindow::refreshStatusBar() {
  if (home_ && state_) home_->setBatteryPercent(state_->batteryPercent());
}

void MainWindow::onRecordingChanged() {
  const bool recording = state_ && state_->recording();
  // The REC line first: the recorder draws its first overlay picture at once.
  if (home_) home_->setRecordingVisible(recording);
  if (recorder_) recorder_->setRecording(recording);
}

void MainWindow::buildRecorder() {
  recorder_ = new Recorder(central_, imageThread_, this);
  connect(recorder_, &Recorder::clockChanged, this, [this](bool blink, int minutes, int seconds) {
    if (home_) home_->setRecordingTime(blink, minutes, seconds);
  });
  connect(recorder_, &Recorder::writeFailed, this, [this] {
    if (state_) state_->setRecording(false);
    showToast(Toast::RecordingStopped);
  });
  connect(recorder_, &Recorder::closed, this, [this] {
    mediaPages_->refresh(stack_->currentIndex());
  });
  connect(mediaPages_->library(), &gallery::MediaLibrary::videoCounterResetRequested, recorder_,
          &Recorder::resetVideoCounter);
  // The final exit waits until a recording is on the card.
  power_->manager()->setWriterBusy([this] { return recorder_ && (recorder_->recording() || recorder_->closing()); });
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (menu_) menu_->relayout();
  if (mediaPages_) mediaPages_->refresh(stack_->currentIndex());
}
