#include <gtest/gtest.h>

#include <QLabel>
#include <QSettings>
#include <QStackedWidget>
#include <QTest>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "overlay/aim.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "ui/homepage.h"

namespace {

// A main window on an empty board root.
struct Fixture {
  Fixture() : window(&state) {}
  TempRoot root;
  AppController state;
  MainWindow window;
};

}  // namespace

TEST(Navigation, KeysFollowTheirTable) {
  Fixture f;
  MainWindow& w = f.window;
  // No SD card on this board: photo and record only say so.
  w.onHardwareKey(USER_KEY_SHUTTER);
  EXPECT_EQ(w.toastLabel()->text(), QStringLiteral("Insert SD card"));
  w.onHardwareKey(USER_KEY_RECORD);
  EXPECT_FALSE(f.state.recording());

  // Recording: the shutter key stops it on any page; the record key does not.
  f.state.setRecording(true);
  w.onHardwareKey(USER_KEY_RECORD);
  EXPECT_TRUE(f.state.recording());
  w.stack()->setCurrentIndex(MainWindow::kLanguagePage);
  w.onHardwareKey(USER_KEY_SHUTTER);
  EXPECT_FALSE(f.state.recording());

  // Super-resolution: a running recording stops first; the badge and the file follow.
  f.state.setRecording(true);
  w.onHardwareKey(USER_KEY_SR_TOGGLE);
  EXPECT_FALSE(f.state.recording());
  EXPECT_TRUE(w.srEnabled());
  EXPECT_TRUE(w.homePage()->srBadge()->isVisibleTo(w.homePage()));
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  EXPECT_TRUE(s.value("SrEnabled").toBool());
  w.onHardwareKey(static_cast<user_key_value_e>(5));  // unknown values do nothing
}

TEST(Navigation, PowerKeyRunsThePowerOffOnceAndEndsTheLoop) {
  Fixture f;
  f.state.setRecording(true);
  f.window.onHardwareKey(USER_KEY_POWER_OFF);
  f.window.onHardwareKey(USER_KEY_POWER_OFF);
  EXPECT_TRUE(f.window.poweringOff());
  EXPECT_FALSE(f.state.recording());
  // Off the board the final exit only ends the event loop: once.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  guard.start(3000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
}
