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
#include "app/constants.h"
#include "app/placeholderpage.h"
#include "app/startup.h"
#include "platform/paths.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
const char* const kPageNames[MainWindow::kPageCount] = {
    "Home",        "Reticle colour",   "Brightness",  "Zeroing",
    "Device info", "Factory reset",    "Language",    "Temperature",
    "Reference",   "Blackbody",        "Calibration", "Calibration result",
    "Power save",  "Power save value", "Picture",     "Video",
    "Menu"};
}  // namespace

MainWindow::MainWindow(AppController* state, QWidget* parent) : QMainWindow(parent), state_(state) {
  // 1. Members carry their defaults; the window itself is see-through so the
  // picture on the plane beneath shows.
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);

  // 2.
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  loadSettings(s);

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
  batteryTimer_ = new QTimer(this);
  batteryTimer_->setInterval(1000);
  connect(batteryTimer_, &QTimer::timeout, this, &MainWindow::pollBatteryPercent);
  batteryTimer_->start();
  pollBatteryPercent();
  refreshStatusBar();

  // 7-10: the image processing thread, the video writer and the key reader
  // join here as they are built.
  if (state_) connect(state_, &AppController::brightnessChanged, this, &MainWindow::applyBacklight);

  // 8.
  applyState();
  chargingState_ = -2;
  chargerOnline_ = -2;
  refreshCharger();

  // 11. The motion sensor: without one, idle sleep and auto power-off are off.
  if (!gsensorAvailable_) {
    qWarning("GSensor init failed, idle auto-sleep disabled");
    if (cfg_.energySavingEnabled) {
      cfg_.energySavingEnabled = false;
      saveSettings();
    }
    refreshPowerState();
  }

  // 12.
  tempPollTimer_ = new QTimer(this);
  tempPollTimer_->setInterval(1000);
  connect(tempPollTimer_, &QTimer::timeout, this, &MainWindow::pollCenterThermalTemp);
  calibrationTimer_ = new QTimer(this);
  calibrationTimer_->setInterval(1000);

  // 13.
  retranslateUi();
  updateTempMeasureTimer();
  // 14: `s` closes here.
}

MainWindow::~MainWindow() {
  // Worker threads are stopped and joined here, in a fixed order, as they
  // are added: playback, key reader, video writer, image processing.
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
  for (int i = 0; i < kPageCount; ++i) {
    pages_[i] = new PlaceholderPage(QString::fromUtf8(kPageNames[i]), uiScale_, this);
    if (i == kHomePage) pages_[i]->installEventFilter(this);
  }
  for (QWidget* p : pages_) stack_->addWidget(p);

  // 4.
  goHome();

  // 6.
  connect(stack_, &QStackedWidget::currentChanged, this, [this] { onPageChanged(); });
  onPageChanged();

  const int W = width();
  const int H = height();

  // 7.
  flash_ = new QWidget(central_);
  flash_->setGeometry(0, 0, W, H);
  flash_->setStyleSheet(QStringLiteral("background-color: rgba(80,0,0,70);"));
  flash_->setAttribute(Qt::WA_TransparentForMouseEvents);
  flash_->setAttribute(Qt::WA_StyledBackground);
  flash_->hide();

  // 8.
  toast_ = new QLabel(central_);
  toast_->setAlignment(Qt::AlignCenter);
  toast_->setGeometry((W - 140) / 2, H - 68, 140, 36);
  toast_->setStyleSheet(styleWithFont(
      8,
      QStringLiteral("color:#ffffff; background-color:rgba(0,0,0,150); border-radius:8px; "
                     "font-weight:600;"),
      uiScale_));
  toast_->setAttribute(Qt::WA_TransparentForMouseEvents);
  toast_->hide();
  toastTimer_ = new QTimer(this);
  toastTimer_->setSingleShot(true);
  connect(toastTimer_, &QTimer::timeout, toast_, &QWidget::hide);

  // 9.
  calPanel_ = new QWidget(central_);
  calPanel_->setGeometry(0, H - 88, W, 88);
  calPanel_->setStyleSheet(QStringLiteral("background-color: rgba(0,0,0,165);"));
  calPanel_->setAttribute(Qt::WA_StyledBackground);
  calPanel_->setAttribute(Qt::WA_TransparentForMouseEvents);
  calLine1_ = new QLabel(calPanel_);
  calLine1_->setAlignment(Qt::AlignCenter);
  calLine1_->setGeometry(8, 8, W - 16, 28);
  calLine1_->setStyleSheet(
      styleWithFont(12, QStringLiteral("color:#ffffff; background:transparent;"), uiScale_));
  calLine2_ = new QLabel(calPanel_);
  calLine2_->setAlignment(Qt::AlignCenter);
  calLine2_->setGeometry(8, 36, W - 16, 40);
  calLine2_->setStyleSheet(styleWithFont(
      22, QStringLiteral("color:#4ec6af; font-weight:700; background:transparent;"), uiScale_));
  calPanel_->hide();

  // 10. Touch and the hardware keys drive the interface; no widget takes focus.
  for (QPushButton* b : findChildren<QPushButton*>()) b->setFocusPolicy(Qt::NoFocus);
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
  applyState();
  retranslateUi();
}

// ------------------------------------------------------------------ state

void MainWindow::applyState() {
  // 1.
  if (state_) applyBacklight();
  // 2-3: the image thread, the home page and the overlay receive their
  // values here as they are built.
  // 4.
  updateTempMeasureTimer();
  refreshPowerState();
}

void MainWindow::retranslateUi() {}

void MainWindow::onPageChanged() {}

void MainWindow::goHome() {
  if (stack_) stack_->setCurrentIndex(kHomePage);
}

void MainWindow::openMenu() {
  if (state_ && state_->recording()) state_->setRecording(false);
  if (stack_) stack_->setCurrentIndex(kMenuPage);
}

void MainWindow::showToast(Toast which) {
  if (!toast_) return;
  const int W = width();
  const int H = height();
  int ms = 800;
  switch (which) {
    case Toast::PowerOffBelowIdle:
    case Toast::NoGsensor:
      toast_->setText(pickText(cfg_.language, which == Toast::NoGsensor
                                                  ? texts::kToastNoGsensor
                                                  : texts::kToastPowerOffBelowIdle));
      toast_->setWordWrap(true);
      toast_->setGeometry((W - std::min(W - 16, 320)) / 2, H - 80, std::min(W - 16, 320), 48);
      ms = 2000;
      break;
    case Toast::InsertSd:
      toast_->setText(pickText(cfg_.language, texts::kToastInsertSd));
      toast_->setWordWrap(true);
      toast_->setGeometry((W - std::min(W - 16, 280)) / 2, H - 72, std::min(W - 16, 280), 40);
      ms = 1500;
      break;
    case Toast::Saved:
      toast_->setText(pickText(cfg_.language, texts::kToastSaved));
      toast_->setWordWrap(false);
      toast_->setGeometry((W - 140) / 2, H - 68, 140, 36);
      ms = 800;
      break;
  }
  toast_->raise();
  toast_->show();
  toastTimer_->start(ms);
}

void MainWindow::showPhotoFeedback() {
  if (!flash_) return;
  flash_->raise();
  flash_->show();
  QTimer::singleShot(70, flash_, &QWidget::hide);
}

// ------------------------------------------------------------------ slots

void MainWindow::refreshZeroText() {}

void MainWindow::refreshStatusBar() {}

void MainWindow::onRecordingChanged() {}

void MainWindow::pollAccelMotion() {}

void MainWindow::pollCenterThermalTemp() {}

void MainWindow::updateTempMeasureTimer() {}

void MainWindow::refreshPowerState() {}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }
