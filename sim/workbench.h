#pragma once
// The simulator's window on a desktop: the device's screen enlarged in a
// drawn housing, with the bench beside it (the board's three keys, the power
// hardware, the thermal scene) and a status line.
//
// The device's own window stays what it is on the board, one 360 x 320
// window; it is shown but never put on the screen (Qt::WA_DontShowOnScreen).
// The workbench renders it into a picture of its own size whenever it may
// have changed and draws that picture scaled by a whole factor, pixel for
// pixel; a press on the enlarged screen reaches the device's widgets at
// device coordinates, as a touch. Photos, recordings and screenshots, which
// render the device's window, never see the housing or the bench.
//
// The panel's backlight lights everything the screen shows, the interface as
// much as the picture: the enlarged screen is drawn at the backlight's level.
// What it saves (its screenshot button) is pixels and stays at full level.
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "sim/sim_input.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;

namespace sim {

class DeviceScreen;
class PanelUnderlay;
class PowerControls;
class SimKms;
class ThermalCore;

// Frames per second from a running count of commits, sampled now and then.
class FrameRateMeter {
 public:
  // The count of commits at `ms` (a monotonic clock).
  void sample(uint64_t commits, int64_t ms);
  // Over the span between the last two samples; < 0 before there are two.
  double fps() const { return fps_; }

 private:
  uint64_t lastCommits_ = 0;
  int64_t lastMs_ = -1;
  double fps_ = -1.0;
};

// The largest of 3, 2 and 1 at which the window, `windowAt(scale)` big, fits
// the desktop's free area; 1 when none does.
int fittingScale(const QSize& available, const std::function<QSize(int)>& windowAt);

struct WorkbenchParts {
  QWidget* device = nullptr;        // the device's window; must outlive the workbench
  SimKeypad* keypad = nullptr;      // the board's keys
  PowerControls* power = nullptr;   // may be null: no power controls
  ThermalCore* core = nullptr;      // may be null: no scene controls
  SimKms* kms = nullptr;            // may be null: no frame rate
  QString cardFolder;               // the SD card's folder on the PC
  QString scene;                    // as the board was made
  double blackbodyC = 37.0;
  QString aim;                      // held view stop, empty: tour
  PanelUnderlay* panel = nullptr;   // the backlight's level; null: full light
  int timeScale = 1;                // the power timers' fast clock, for the status line
  // The device's language (0 Chinese, 1 English, 2 Russian) and how to
  // choose one as its language page does; without both, no list.
  std::function<int()> language;
  std::function<void(int)> setLanguage;
};

class Workbench : public QWidget {
  Q_OBJECT

 public:
  // `scale` 1..3; 0 picks what fits the screen the window opens on.
  explicit Workbench(const WorkbenchParts& parts, int scale = 0, QWidget* parent = nullptr);
  ~Workbench() override;

  int scale() const { return scale_; }
  void setScale(int scale);
  // The device's screen as the workbench last drew it, 360 x 320.
  QImage deviceScreen() const;
  // Re-renders the device's window now.
  void refreshScreen();

  // For tests and the window's own wiring.
  QPushButton* keyButton(BoardKey key) const;
  QPushButton* cardButton() const { return cardButton_; }
  QComboBox* languageBox() const { return languageBox_; }
  QPushButton* screenshotButton() const { return shotButton_; }
  QLabel* statusLabel() const { return status_; }
  // Where the screenshot button saves; default: the PC's picture folder.
  void setScreenshotFolder(const QString& folder) { shotFolder_ = folder; }
  QString lastScreenshot() const { return lastShot_; }
  // Re-reads the power hardware and the card now (a timer does it twice a second).
  void refreshStatus();

 public slots:
  void setRecording(bool recording);

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildKeys(QWidget* box);
  void buildPower(QWidget* box);
  void buildScene(QWidget* box);
  void buildDevice(QWidget* box);
  void buildGestures(QWidget* box);
  void chooseScene(const QString& scene);
  void chooseView(int index);
  void fillViews();
  void saveScreenshot();
  void updateFrameRate();

  WorkbenchParts parts_;
  int scale_ = 2;
  QWidget* housing_ = nullptr;
  DeviceScreen* screen_ = nullptr;
  QPushButton* keys_[3] = {nullptr, nullptr, nullptr};
  QSlider* battery_ = nullptr;
  QLabel* batteryText_ = nullptr;
  QCheckBox* charger_ = nullptr;
  QLabel* cardText_ = nullptr;
  QPushButton* cardButton_ = nullptr;
  QCheckBox* handled_ = nullptr;
  QComboBox* sceneBox_ = nullptr;
  QComboBox* viewBox_ = nullptr;
  QDoubleSpinBox* blackbody_ = nullptr;
  QComboBox* scaleBox_ = nullptr;
  QComboBox* languageBox_ = nullptr;
  QPushButton* shotButton_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* folder_ = nullptr;
  QTimer statusTimer_;
  QTimer keysTimer_;
  FrameRateMeter rate_;
  QElapsedTimer clock_;
  bool recording_ = false;
  QString shotFolder_;
  QString lastShot_;
  QString shotNote_;  // shown in the status line for a while after a screenshot
  int shotNoteTicks_ = 0;
};

}  // namespace sim
