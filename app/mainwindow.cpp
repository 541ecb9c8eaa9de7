#include "app/mainwindow.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtGlobal>

#include "app/appcontroller.h"
#include "app/center_readout.h"
#include "app/device_power.h"
#include "app/mainzeroingpage.h"
#include "app/media_pages.h"
#include "app/settings_pages.h"
#include "app/startup.h"
#include "app/temperature_pages.h"
#include "gallery/media_library.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "overlay/zeroinggesture.h"
#include "platform/constants.h"
#include "platform/settings_file.h"
#include "power/power_manager.h"
#include "record/photo_capture.h"
#include "record/recorder.h"
#include "ui/homepage.h"
#include "ui/menupage.h"

// The order matters: the settings before anything shows them, the interface
// before the image thread opens the display beneath it, the recorder after
// its feed, the keys once there is something for them to drive.
MainWindow::MainWindow(AppController* state, QWidget* parent) : QMainWindow(parent), state_(state) {
  Q_ASSERT(state_);
  // See-through, so the picture on the plane beneath shows.
  setAttribute(Qt::WA_TranslucentBackground);

  loadControllerSettings(*settings::open(), cfg_, state_);
  buildPowerManagement();
  buildUi();
  applyState();

  auto showBattery = [this] { home_->setBatteryPercent(state_->batteryPercent()); };
  connect(state_, &AppController::zeroingChanged, this,
          [this] { zeroing_->setOffsets(zeroGesture_->offsetX(), zeroGesture_->offsetY()); });
  connect(state_, &AppController::batteryPercentChanged, this, showBattery);
  connect(state_, &AppController::recordingChanged, this, showBattery);
  connect(state_, &AppController::recordingChanged, this, &MainWindow::onRecordingChanged);
  connect(state_, &AppController::brightnessChanged, this, &MainWindow::saveSettings);
  connect(state_, &AppController::reticleTypeChanged, this, &MainWindow::saveSettings);
  connect(state_, &AppController::paletteModeChanged, this, &MainWindow::saveSettings);
  power_->setInterface(overlay_, home_);
  power_->startBatteryPoll();
  showBattery();

  buildImageThread();
  applyState();
  power_->refreshChargerAfresh();
  buildRecorder();

  keyReader_ = new Rv_key(this);
  connect(keyReader_, &Rv_key::ck_key, this, &MainWindow::onHardwareKey);
  keyReader_->start(QThread::InheritPriority);

  if (power_->openMotionSensor())
    refreshEnergyPages();
  else
    refreshPowerState();
  retranslateUi();
  readout_->refresh();
}

MainWindow::~MainWindow() {
  // Worker threads stop in a fixed order: playback, key reader, video writer
  // (it finishes what is being recorded or closed while its feed still runs),
  // then image processing, which owns the camera and the display.
  mediaPages_->shutdown(2000);
  keyReader_->stop();
  keyReader_->wait();
  delete recorder_;
  recorder_ = nullptr;
  imageThread_->requestInterruption();
  imageThread_->quit();
  imageThread_->wait();
  delete imageThread_;
}

void MainWindow::buildUi() {
  uiScale_ = startup::uiScaleForPointSize(QApplication::font().pointSizeF());
  setFixedSize(heatlume::kWindowWidth, heatlume::kWindowHeight);
  setWindowTitle(QString::fromLatin1(heatlume::kAppName));

  central_ = new QWidget(this);
  central_->setAttribute(Qt::WA_TranslucentBackground);
  central_->setStyleSheet(QStringLiteral("background: transparent; color:#ffffff;"));
  auto* layout = new QVBoxLayout(central_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  stack_ = new QStackedWidget(central_);
  stack_->setAttribute(Qt::WA_TranslucentBackground);
  stack_->setStyleSheet(QStringLiteral("background: transparent;"));
  layout->addWidget(stack_, 1);
  setCentralWidget(central_);

  pages_.resize(kPageCount);
  zeroGesture_ = new ZeroingGesture(this);
  settingsPages_ = new SettingsPages(this, uiScale_, &cfg_, state_);
  mediaPages_ = new MediaPages(this, central_, uiScale_);
  tempPages_ = new TemperaturePages(this, central_, uiScale_,
                                    [this](float* c) { return readout_->measure(c); });
  for (int i = 0; i < kPageCount; ++i) pages_[i] = makePage(i);
  home_->installEventFilter(this);
  for (QWidget* p : pages_) stack_->addWidget(p);

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
  wireGallery();
  goHome();

  // Above the pages: the overlay, then the flash and the toast label. The
  // calibration banner belongs to the temperature pages.
  buildOverlay();
  settingsPages_->setOverlay(overlay_);
  tempPages_->setOverlay(overlay_);
  connect(stack_, &QStackedWidget::currentChanged, this, [this] {
    onPageChanged();
    mediaPages_->refresh(stack_->currentIndex());
  });
  onPageChanged();
  toasts_ = new Toasts(central_, uiScale_);
  toasts_->setLanguage(cfg_.language);

  // Touch and the hardware keys drive the interface; no widget takes focus.
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
  overlay_ = new aim(central_);
  overlay_->setGeometry(0, 0, width(), height());
  overlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
  overlay_->raise();
  readout_ = new CenterReadout(
      &cfg_, overlay_,
      {[this] { return !idleSleeping() && !poweringOff(); }, [this] { return onLivePage(); }},
      this);
  connect(overlay_, &aim::centerConfirmed, this, &settings::writeAimCenter);
  overlay_->loadCenter(*settings::open());
  connect(state_, &AppController::reticleTypeChanged, this,
          [this] { overlay_->slot_recv_reticle_type(state_->reticleType()); });
  overlay_->slot_recv_reticle_type(state_->reticleType());
  overlay_->slot_recv_reticle_mode(RETICLE_MODE_WITH_ZOOM);
  zeroGesture_->setOverlay(overlay_);
  connect(zeroGesture_, &ZeroingGesture::offsetsChanged, zeroing_, &MainZeroingPage::setOffsets);
  connect(zeroGesture_, &ZeroingGesture::returnToMenuRequested, this, [this] {
    if (stack_->currentWidget() == zeroing_) openMenu();
  });
}

void MainWindow::buildImageThread() {
  ImageThreadConfig config;
  config.cameraPath = QString::fromLatin1(heatlume::kCameraDevicePath);
  config.poolBlockCount = settings::loadVideoEncMBCnt();
  imageThread_ = new ImageProThread(config);
  connect(imageThread_, &ImageProThread::pictureNumberReset, this,
          [] { settings::writePictureFileNum(0); });
  connect(state_, &AppController::paletteModeChanged, this,
          [this] { imageThread_->ReceiveImageMode(state_->paletteMode()); });
  connect(state_, &AppController::brightnessChanged, power_, &DevicePower::applyBacklight);
  imageThread_->ReceiveImageMode(state_->paletteMode());
  imageThread_->ReceiveScale(cfg_.zoomTenths);
  mediaPages_->setImageThread(imageThread_);
  power_->setImageThread(imageThread_);
  photos_ = new PhotoCapture(central_, imageThread_, this);
  photos_->setFeedbackWidgets({toasts_->label(), toasts_->flashWidget()});
  connect(photos_, &PhotoCapture::saved, this,
          [this](const QString&, bool ok) { showToast(ok ? Toast::Saved : Toast::SaveFailed); });
  imageThread_->start(QThread::InheritPriority);
}

void MainWindow::buildRecorder() {
  recorder_ = new Recorder(central_, imageThread_, this);
  connect(recorder_, &Recorder::clockChanged, home_, &HomePage::setRecordingTime);
  connect(recorder_, &Recorder::writeFailed, this, [this] {
    state_->setRecording(false);
    showToast(Toast::RecordingStopped);
  });
  connect(recorder_, &Recorder::closed, this,
          [this] { mediaPages_->refresh(stack_->currentIndex()); });
  connect(mediaPages_->library(), &gallery::MediaLibrary::videoCounterResetRequested, recorder_,
          &Recorder::resetVideoCounter);
  // The final exit waits until a recording is on the card. The recorder goes
  // before the power manager does.
  power_->manager()->setWriterBusy([this] { return recorder_ && recorder_->busy(); });
}

QWidget* MainWindow::page(int index) const {
  return (index >= 0 && index < pages_.size()) ? pages_[index] : nullptr;
}

void MainWindow::saveSettings() {
  saveControllerSettings(*settings::open(), cfg_, state_);
}

void MainWindow::applyState() {
  // The first pass runs before the image thread is made; it takes the
  // settings when it is.
  if (imageThread_) {
    imageThread_->ReceiveScale(cfg_.zoomTenths);
    imageThread_->ReceiveSrEnabled(cfg_.srEnabled);
  }
  power_->applyBacklight();
  home_->setSrBadgeVisible(cfg_.srEnabled);
  overlay_->slot_recv_reticle_type(state_->reticleType());
  overlay_->slot_recv_reticle_color(cfg_.reticleColor);
  overlay_->slot_recv_reticle_dot_color(cfg_.reticleDotColor);
  overlay_->slot_recv_language(cfg_.language);
  if (onLivePage()) overlay_->slot_update(cfg_.zoomTenths / 10.0);
  readout_->refresh();
  refreshPowerState();
}

void MainWindow::retranslateUi() {
  toasts_->setLanguage(cfg_.language);
  for (QWidget* p : pages_)
    if (auto* page = qobject_cast<UiPage*>(p)) page->applyLanguage(cfg_.language);
  overlay_->slot_recv_language(cfg_.language);
  settingsPages_->refresh(gsensorAvailable());
  tempPages_->setLanguage(cfg_.language);
}

// The pages lead to a calibration run on the live view whose offset the
// window stores; the readout follows the switch and pauses for a run.
void MainWindow::setTempMeasureEnabled(bool on) {
  if (on == cfg_.tempMeasureEnabled) return;
  cfg_.tempMeasureEnabled = on;
  saveSettings();
  readout_->refresh();
  tempPages_->setReadoutEnabled(on);
}

void MainWindow::wireTemperature() {
  connect(tempPages_, &TemperaturePages::backToMenuRequested, this, &MainWindow::openMenu);
  connect(tempPages_, &TemperaturePages::showPageRequested, stack_,
          &QStackedWidget::setCurrentIndex);
  connect(tempPages_, &TemperaturePages::readoutToggled, this,
          &MainWindow::setTempMeasureEnabled);
  connect(tempPages_, &TemperaturePages::calibratingChanged, this, [this](bool on) {
    readout_->setCalibrating(on);
    if (on) goHome();
  });
  connect(tempPages_, &TemperaturePages::offsetApplied, this, [this](double offset) {
    cfg_.tempOffsetC = offset;
    saveSettings();
    tempPages_->setReadoutEnabled(cfg_.tempMeasureEnabled);
  });
  tempPages_->setLanguage(cfg_.language);
  tempPages_->setReadoutEnabled(cfg_.tempMeasureEnabled);
}

// The galleries route their own gestures; the window lends them the live
// picture's pause and hides its interface while a video plays.
void MainWindow::wireGallery() {
  connect(mediaPages_, &MediaPages::backToMenuRequested, this, &MainWindow::openMenu);
  connect(mediaPages_, &MediaPages::playbackStarted, this, [this] {
    stack_->hide();
    overlay_->hide();
    toasts_->hideAll();
  });
  connect(mediaPages_, &MediaPages::playbackFinished, this, [this] {
    stack_->show();
    overlay_->show();
    overlay_->raise();
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
  retranslateUi();
}

void MainWindow::factoryReset(bool deleteMedia) {
  state_->resetDefaults();
  // The file being written is among those deleted: the recording ends and is
  // closed first, so nothing writes into the folder while it is emptied.
  if (deleteMedia) {
    recorder_->finish(Recorder::kFinishWaitMs);
    mediaPages_->deleteAll();
  }
  {
    auto s = settings::open();
    overlay_->resetCenter(*s);
    resetControllerSettings(*s, cfg_, state_);
  }
  power_->reloadEnergySettings();
  applyState();
  retranslateUi();
  settingsPages_->untickFactoryReset();
  goHome();
}

void MainWindow::onPageChanged() {
  const int current = stack_->currentIndex();
  // Leaving a gallery: playback ends and the list starts from the newest.
  mediaPages_->pageChanged(previousPage_, current);
  previousPage_ = current;
  power_->manager()->setOnHomePage(current == kHomePage);
  if (current == kZeroingPage) {
    // Reticle mode 0, zoom 1.0, offsets (0, 0) shown, and the preview.
    zeroGesture_->enter();
    return;
  }
  overlay_->slot_recv_reticle_mode(current == kPalettePage ? RETICLE_MODE_ALWAYS
                                                           : RETICLE_MODE_WITH_ZOOM);
  overlay_->slot_update(current == kHomePage ? cfg_.zoomTenths / 10.0 : -1.0);
}

bool MainWindow::onLivePage() const {
  const int current = stack_->currentIndex();
  return current == kHomePage || current == kPalettePage;
}

int MainWindow::zeroOffsetX() const { return zeroGesture_->offsetX(); }
int MainWindow::zeroOffsetY() const { return zeroGesture_->offsetY(); }

void MainWindow::goHome() { stack_->setCurrentIndex(kHomePage); }

void MainWindow::openMenu() {
  if (state_->recording()) state_->setRecording(false);
  stack_->setCurrentIndex(kMenuPage);
}

void MainWindow::onRecordingChanged() {
  const bool recording = state_->recording();
  // The REC line first: the recorder draws its first overlay picture at once.
  home_->setRecordingVisible(recording);
  recorder_->setRecording(recording);
}

QWidget* MainWindow::calibrationPanel() const { return tempPages_->banner(); }
CalibrationFlow* MainWindow::calibrationFlow() const { return tempPages_->flow(); }

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  menu_->relayout();
  mediaPages_->refresh(stack_->currentIndex());
}
