#pragma once
// The one controller of the program. It owns every page, the heads-up
// overlay, the image thread, the key reader and the units beside it, mirrors
// the persistent settings and applies them. The work itself lives in those
// units (the home gestures, the key table, the toasts, photo capture, the
// centre readout, ...), which it creates and wires; the recorder, the
// playback controller and the device power own their own threads and timers.
#include <QMainWindow>
#include <QVector>
#include <functional>

#include "app/home_gestures.h"
#include "app/page_table.h"
#include "app/settings_store.h"
#include "devices/rv_key.h"
#include "ui/toasts.h"

class AppController;
class CalibrationFlow;
class CenterReadout;
class DevicePower;
class HomePage;
class ImageProThread;
class MainZeroingPage;
class MediaPages;
class MenuPage;
class PhotoCapture;
class PowerManager;
class QLabel;
class QStackedWidget;
class Recorder;
class SettingsPages;
class TemperaturePages;
class ZeroingGesture;
class aim;

class MainWindow : public QMainWindow, public Pages {
  Q_OBJECT

 public:
  using Toast = Toasts::Message;

  // `state` outlives the window.
  explicit MainWindow(AppController* state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Operations of the controller.
  void saveSettings();
  void applyState();
  void retranslateUi();
  void goHome();
  void openMenu();
  void setLanguage(int lang);
  void setEnergySavingEnabled(bool on);
  void nudgeEnergyMinutes(int delta);
  // The factory-reset pass; ends on the home page.
  void factoryReset(bool deleteMedia);
  void showToast(Toast which) { toasts_->show(which); }
  void showPhotoFeedback() { toasts_->flash(); }
  // The interface as a photo shows it: 360 x 320 ARGB, transparent where the
  // picture shows through, without the feedback of an earlier photo.
  QImage renderInterface();
  // Milliseconds since the epoch for the home gestures (tests substitute one).
  void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
  bool poweringOff() const;
  bool idleSleeping() const;

  // Read access for tests and for the simulator's screenshot.
  double uiScale() const { return uiScale_; }
  int zoomTenths() const { return cfg_.zoomTenths; }
  int language() const { return cfg_.language; }
  bool srEnabled() const { return cfg_.srEnabled; }
  QStackedWidget* stack() const { return stack_; }
  QWidget* page(int index) const;
  HomePage* homePage() const { return home_; }
  aim* overlay() const { return overlay_; }
  ImageProThread* imageThread() const { return imageThread_; }
  Recorder* recorder() const { return recorder_; }
  ZeroingGesture* zeroGesture() const { return zeroGesture_; }
  int zeroOffsetX() const;
  int zeroOffsetY() const;
  QLabel* toastLabel() const { return toasts_->label(); }
  QWidget* flashOverlay() const { return toasts_->flashWidget(); }
  QWidget* calibrationPanel() const;
  CalibrationFlow* calibrationFlow() const;
  CenterReadout* centerReadout() const { return readout_; }
  // The simulator sets its time scale on it.
  PowerManager* powerManager() const;
  MediaPages* mediaPages() const { return mediaPages_; }
  bool lowPower() const;
  bool sdPresent() const;

 public slots:
  void pollBatteryPercent();
  void onHardwareKey(user_key_value_e keyVal);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildUi();
  QWidget* makePage(int index);
  void buildOverlay();
  void wireSettingsPages();
  void wireTemperature();
  void wireGallery();
  void buildPowerManagement();
  void buildImageThread();
  void buildRecorder();
  void onPageChanged();
  // The live picture is on screen: the home page, or the palette page over it.
  bool onLivePage() const;
  void onRecordingChanged();
  void onIdleSleepChanged(bool sleeping);
  void onPowerOffStarted();
  // The last step of power-off: the sensor's shutdown command, then the
  // system's final exit.
  void appExit();
  void stepZoom();
  void setTempMeasureEnabled(bool on);
  void refreshPowerState();
  void refreshEnergyPages();
  bool gsensorAvailable() const;

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
  PhotoCapture* photos_ = nullptr;
  Recorder* recorder_ = nullptr;
  SettingsPages* settingsPages_ = nullptr;
  TemperaturePages* tempPages_ = nullptr;
  CenterReadout* readout_ = nullptr;

  // Worker threads, owned. The image thread is made after the first pass of
  // the settings (the display opens with it).
  ImageProThread* imageThread_ = nullptr;
  Rv_key* keyReader_ = nullptr;  // a child of the window

  // Settings mirrors.
  ControllerSettings cfg_;

  int previousPage_ = 0;
};
