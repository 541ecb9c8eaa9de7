#pragma once
// The one controller of the program: owns every page, the heads-up overlay,
// the toast and flash overlays, the worker threads and the periodic timers;
// mirrors the persistent settings and applies them to the subsystems.
#include <QMainWindow>
#include <QPoint>
#include <QVector>
#include <functional>

#include "app/settings_store.h"
#include "devices/power_supply.h"
#include "devices/rv_key.h"

class AppController;
class QImage;
class HomePage;
class ImageProThread;
class MainZeroingPage;
class ZeroingGesture;
class aim;
class MenuPage;
class QLabel;
class QSettings;
class QStackedWidget;
class QTimer;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Stack indices of the pages.
  enum PageIndex {
    kHomePage = 0,
    kPalettePage = 1,
    kAdjustPage = 2,
    kZeroingPage = 3,
    kDeviceInfoPage = 4,
    kFactoryResetPage = 5,
    kLanguagePage = 6,
    kTempMeasurePage = 7,
    kTempCalRefPage = 8,
    kTempCalBlackbodyPage = 9,
    kTempCalGuidePage = 10,
    kTempCalResultPage = 11,
    kEnergySavingPage = 12,
    kEnergyAdjustPage = 13,
    kPhotoGalleryPage = 14,
    kVideoGalleryPage = 15,
    kMenuPage = 16,
    kPageCount = 17
  };

  // The occasions of the one toast label.
  enum class Toast { PowerOffBelowIdle, NoGsensor, InsertSd, Saved, SaveFailed };

  explicit MainWindow(AppController* state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Operations of the controller.
  void loadSettings(QSettings& s);
  void saveSettings();
  void resetSettingsToDefaults(QSettings& s);
  void applyState();
  void retranslateUi();
  void onPageChanged();
  void goHome();
  void openMenu();
  void showToast(Toast which);
  void showPhotoFeedback();
  // Renders the interface, names the next photo and hands both to the image
  // thread; the toast follows once the file is written.
  void savePhotoWithOsd();
  // The interface as a photo shows it: 360 x 320 ARGB, transparent where the
  // picture shows through, without the feedback of an earlier photo.
  QImage renderInterface();
  // The last step of power-off: the sensor's shutdown command, then the
  // system's final exit.
  void appExit();
  // Milliseconds since the epoch for the home gestures (tests substitute one).
  void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
  bool poweringOff() const { return poweringOff_; }
  Rv_key* keyReader() const { return keyReader_; }

  // Read access for tests and for the simulator's screenshot.
  double uiScale() const { return uiScale_; }
  const ControllerSettings& settingsMirror() const { return cfg_; }
  int zoomTenths() const { return cfg_.zoomTenths; }
  bool zoomRising() const { return cfg_.zoomRising; }
  int reticleColor() const { return cfg_.reticleColor; }
  int reticleDotColor() const { return cfg_.reticleDotColor; }
  int language() const { return cfg_.language; }
  bool srEnabled() const { return cfg_.srEnabled; }
  bool tempMeasureEnabled() const { return cfg_.tempMeasureEnabled; }
  double tempOffsetC() const { return cfg_.tempOffsetC; }
  bool energySavingEnabled() const { return cfg_.energySavingEnabled; }
  int idleSleepMinutes() const { return cfg_.idleSleepMinutes; }
  int autoPowerOffMinutes() const { return cfg_.autoPowerOffMinutes; }
  bool gsensorAvailable() const { return gsensorAvailable_; }
  QPoint reticleCenter() const { return reticleCenter_; }
  QStackedWidget* stack() const { return stack_; }
  QWidget* page(int index) const;
  HomePage* homePage() const { return home_; }
  MenuPage* menuPage() const { return menu_; }
  aim* overlay() const { return overlay_; }
  ImageProThread* imageThread() const { return imageThread_; }
  ZeroingGesture* zeroGesture() const { return zeroGesture_; }
  int zeroOffsetX() const { return zeroOffsetX_; }
  int zeroOffsetY() const { return zeroOffsetY_; }
  QLabel* toastLabel() const { return toast_; }
  QWidget* flashOverlay() const { return flash_; }
  QWidget* calibrationPanel() const { return calPanel_; }
  bool lowPower() const { return lowPower_; }
  bool sdPresent() const { return sdPresent_; }
  int chargerOnline() const { return chargerOnline_; }

 public slots:
  void refreshZeroText();
  void refreshStatusBar();
  void pollBatteryPercent();
  void onRecordingChanged();
  void onHardwareKey(user_key_value_e keyVal);
  void pollAccelMotion();
  void pollCenterThermalTemp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildUi();
  bool homeGesture(QEvent* event);
  void stepZoom();
  void onPhotoSaved(const QString& path, bool ok);
  bool readCenterTemperature(float* celsius) const;
  void updateTempMeasureTimer();
  void refreshPowerState();
  void refreshCharger();
  void applyBacklight();

  AppController* state_;

  // Layout.
  QWidget* central_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QVector<QWidget*> pages_;
  HomePage* home_ = nullptr;
  MenuPage* menu_ = nullptr;
  MainZeroingPage* zeroing_ = nullptr;
  aim* overlay_ = nullptr;
  ZeroingGesture* zeroGesture_ = nullptr;

  // Worker threads, owned.
  ImageProThread* imageThread_ = nullptr;
  Rv_key* keyReader_ = nullptr;  // a child of the window

  // Home gesture memory.
  QPoint pressPos_;
  qint64 pressTime_ = 0;
  QPoint lastTapPos_;
  qint64 lastTapTime_ = 0;
  std::function<qint64()> clock_;
  QWidget* flash_ = nullptr;
  QLabel* toast_ = nullptr;
  QTimer* toastTimer_ = nullptr;
  QWidget* calPanel_ = nullptr;
  QLabel* calLine1_ = nullptr;
  QLabel* calLine2_ = nullptr;
  double uiScale_ = 2.0;

  // Settings mirrors: zoomTenths, zoomRising, reticleColor, reticleDotColor,
  // language, srEnabled, tempMeasureEnabled, tempOffsetC, energySavingEnabled,
  // idleSleepMinutes, autoPowerOffMinutes.
  ControllerSettings cfg_;

  // Run-time flags.
  bool idleSleeping_ = false;
  bool poweringOff_ = false;
  bool calibrating_ = false;
  bool gsensorAvailable_ = false;
  int zeroOffsetX_ = 0;
  int zeroOffsetY_ = 0;
  QPoint reticleCenter_{180, 160};

  // Power hardware as last read.
  power_supply::BatterySmoother batterySamples_;
  int chargingState_ = -2;  // 1 charging, 0 not, -2 never read
  int chargerOnline_ = -2;  // > 0 connected, 0 not, -2 never read
  bool lowPower_ = false;
  bool sdPresent_ = false;

  // Timers.
  QTimer* batteryTimer_ = nullptr;
  QTimer* motionTimer_ = nullptr;
  QTimer* tempPollTimer_ = nullptr;
  QTimer* calibrationTimer_ = nullptr;
};
