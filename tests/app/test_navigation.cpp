#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
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

// A main window on an empty board root, with a clock the test moves.
struct Fixture {
  Fixture() : window(&state) {
    window.setClock([this] { return now; });
  }
  void press(QPoint p) { send(QEvent::MouseButtonPress, p); }
  void release(QPoint p) { send(QEvent::MouseButtonRelease, p); }
  // A press, `ms` milliseconds, and a release `d` away.
  void gesture(QPoint at, QPoint d, int ms) {
    press(at);
    now += ms;
    release(at + d);
    now += 1000;  // the next gesture is never part of a double tap
  }
  void send(QEvent::Type type, QPoint p) {
    QMouseEvent e(type, p, p, window.mapToGlobal(p), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(window.homePage(), &e);
  }
  int page() const { return window.stack()->currentIndex(); }

  TempRoot root;
  qint64 now = 1'000'000;
  AppController state;
  MainWindow window;
};

}  // namespace

TEST(Navigation, HomeGesturesReachZoomPaletteAndMenu) {
  Fixture f;
  const QPoint c(180, 160);
  f.press(c);
  f.now += 80;
  f.release(c);
  f.now += 150;
  f.press(c + QPoint(10, 5));
  f.now += 80;
  f.release(c + QPoint(10, 5));
  EXPECT_EQ(f.window.zoomTenths(), 20);
  EXPECT_DOUBLE_EQ(f.window.overlay()->zoom(), 2.0);
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  EXPECT_DOUBLE_EQ(s.value("scale").toDouble(), 2.0);
  f.now += 1000;

  f.gesture(c, {-20, -60}, 150);  // up: next palette
  EXPECT_EQ(f.state.paletteMode(), 1);
  f.gesture(c, {5, 5}, 460);
  EXPECT_EQ(f.page(), MainWindow::kMenuPage);
}

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
