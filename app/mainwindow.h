#pragma once
// The one controller of the program. It owns every page, the heads-up
// overlay, the image thread, the key reader and the units beside it, mirrors
// the persistent settings and applies them. The work itself lives in those
// units (the home gestures, the toasts, photo capture, ...), which it creates
// and wires; the recorder, the playback controller and the device power own
// their own threads and timers.
#include <QMainWindow>
#include <QPoint>
#include <QVector>
#include <functional>

#include "app/home_gestures.h"
#include "app/page_table.h"
#include "app/settings_store.h"
#include "devices/rv_key.h"

class AppController;
class CalibrationFlow;
class TemperaturePages;
class HomePage;
class ImageProThread;
class MainZeroingPage;
class MenuPage;
class PhotoCapture;
class PowerMonitor;
class DevicePower;
class Recorder;
class PowerManager;
class MediaPages;
namespace gallery {
class MediaLibrary;
class PlaybackController;
}  // namespace gallery
class SettingsPages;
class QImage;
class QLabel;
class QSettings;
class QStackedWidget;
class QTimer;
class Toasts;
class ZeroingGesture;
class aim;

class MainWindow : public QMainWindow, public Pages {
  Q_OBJECT

 public:
  // The occasions of the one toast label.
  enum class Toast { PowerOffBelowIdle, NoGsensor, InsertSd, Saved, SaveFailed, RecordingStopped };

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
  void setTempMeasureEnabled(bool on);
  void setLanguage(int lang);
  void setEnergySavingEnabled(bool on);
  void nudgeEnergyMinutes(int delta);
  // The factory-reset pass; ends on the home page.
  void factoryReset(bool deleteMedia);
  void showToast(Toast which);
  void showPhotoFeedback();
  // The interface as a photo shows it: 360 x 320 ARGB, transparent where the
  // picture shows through, without the feedback of an earlier photo.
  QImage renderInterface();
  // The last step of power-off: the sensor's shutdown command, then the
  // system's final exit.
  void appExit();
  // Milliseconds since the epoch for the home gestures (tests substitute one).
  void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
  bool poweringOff() const;
  bool idleSleeping() const;

  // Read access for tests and for the simulator's screenshot.
  double uiScale() const { return uiScale_; }
  int zoomTenths() const { return cfg_.zoomTenths; }
  int language() const { return cfg_.language; }
  bool srEnabled() const { return cfg_.srEnabled; }
  bool gsensorAvailable() const;
  QStackedWidget* stack() const { return stack_; }
  QWidget* page(int index) const;
  HomePage* homePage() const { return home_; }
  aim* overlay() const { return overlay_; }
  ImageProThread* imageThread() const { return imageThread_; }
  Recorder* recorder() const { return recorder_; }
  ZeroingGesture* zeroGesture() const { return zeroGesture_; }
  int zeroOffsetX() const { return zeroOffsetX_; }
  int zeroOffsetY() const { return zeroOffsetY_; }
  QLabel* toastLabel() const;
  QWidget* flashOverlay() const;
  QWidget* calibrationPanel() const;
  CalibrationFlow* calibrationFlow() const;
  // The simulator sets its time scale on it.
  PowerManager* powerManager() const;
  MediaPages* mediaPages() const { return mediaPages_; }
  bool lowPower() const;
  bool sdPresent() const;

 public slots:
  void refreshZeroText();
  void refreshStatusBar();
  void pollBatteryPercent();
  void onRecordingChanged();
  void onHardwareKey(user_key_value_e keyVal);
  void pollCenterThermalTemp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildUi();
  QWidget* makePage(int index);
  void buildOverlay();
  void wireSettingsPages();
  void buildPowerManagement();
  void onIdleSleepChanged(bool sleeping);
  void onPowerOffStarted();
  void buildGallery();
  void buildRecorder();
  void refreshEnergyPages();
  void stepZoom();
  void powerOff();
  bool readCenterTemperature(float* celsius) const;
  void updateTempMeasureTimer();
  void wireTemperature();

  void refreshPowerState();
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
  Toasts* toasts_ = nullptr;
  double uiScale_ = 2.0;

  // Units the window owns and wires.
  HomeGestures gestures_;
  std::function<qint64()> clock_;
  ZeroingGesture* zeroGesture_ = nullptr;
  DevicePower* power_ = nullptr;
  MediaPages* mediaPages_ = nullptr;
  int previousPage_ = 0;
  PhotoCapture* photos_ = nullptr;
  Recorder* recorder_ = nullptr;
  SettingsPages* settingsPages_ = nullptr;
  TemperaturePages* tempPages_ = nullptr;

  // Worker threads, owned.
  ImageProThread* imageThread_ = nullptr;
  Rv_key* keyReader_ = nullptr;  // a child of the window

  // Settings mirrors: zoomTenths, zoomRising, reticleColor, reticleDotColor,
  // language, srEnabled, tempMeasureEnabled, tempOffsetC, energySavingEnabled,
  // idleSleepMinutes, autoPowerOffMinutes.
  ControllerSettings cfg_;

  // Run-time flags.
  bool calibrating_ = false;
  int zeroOffsetX_ = 0;
  int zeroOffsetY_ = 0;
  QPoint reticleCenter_{180, 160};

  // Timers.
  QTimer* tempPollTimer_ = nullptr;
  QTimer* calibrationTimer_ = nullptr;
};
