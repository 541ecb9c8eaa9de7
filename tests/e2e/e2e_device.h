#pragma once
// The whole program on the simulated board: a throw-away board root with its
// files (the SD card in or out), the simulated devices behind both seams, the
// real main window with the panel beneath it, as heatlume-sim runs them.
#include <QImage>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "tests/support/temp_root.h"
#include "tests/support/wait.h"

namespace e2e {

struct DeviceOptions {
  bool sdCard = true;
  unsigned frameIntervalUs = 40000;
  QString scene = QStringLiteral("field");
  QString holdView;  // a view stop of the scene to stay at
  double blackbodyC = 37.0;
};

class Device {
 public:
  explicit Device(const DeviceOptions& options = {});
  ~Device();

  // True once the live picture is on the panel (within `ms`).
  bool waitForPicture(int ms = 8000);
  // Photos written (or failed) since the start, in order: paths, and whether written.
  const QStringList& photos() const { return photos_; }
  int photosFailed() const { return failed_; }
  // The settings file as the program leaves it.
  QVariant setting(const char* key) const;
  void setSetting(const char* key, const QVariant& value);
  // The number of the commit whose picture the panel shows (0: none).
  uint64_t shownCommit();
  // The picture on the panel as it is now, landscape.
  QImage panelPicture();
  // The interface alone, rendered as the photo renders it: RGBA, transparent
  // where the picture shows through.
  QImage interfacePicture();

  TempRoot& root() { return root_; }
  sim::SimBoard& board() { return board_; }
  sim::SimKeypad& keys() { return board_.keypad(); }
  AppController& state() { return *state_; }
  MainWindow& window() { return *window_; }

 private:
  TempRoot root_;
  sim::SimBoard board_;
  std::unique_ptr<AppController> state_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<sim::PanelUnderlay> panel_;
  QStringList photos_;
  int failed_ = 0;
};

using testsupport::pump;
using testsupport::waitUntil;

}  // namespace e2e
