#include <gtest/gtest.h>

#include <QLabel>
#include <QSettings>
#include <QStackedWidget>
#include <QTest>
#include <QThread>

#include "app/appcontroller.h"
#include "app/mainwindow.h"
#include "imaging/image_pro_thread.h"
#include "overlay/aim.h"
#include "overlay/zeroinggesture.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "ui/battery.h"
#include "ui/homepage.h"

TEST(MainWindow, FirstStartBuildsTheFrameAndCompletesTheSettingsFile) {
  TempRoot root;
  {
    AppController state;
    MainWindow w(&state);
    EXPECT_EQ(w.stack()->count(), MainWindow::kPageCount);
    EXPECT_EQ(w.stack()->currentIndex(), MainWindow::kHomePage);
    EXPECT_GE(w.uiScale(), 1.6);
    EXPECT_LE(w.uiScale(), 2.2);

    w.openMenu();
    EXPECT_EQ(w.stack()->currentIndex(), MainWindow::kMenuPage);
    w.goHome();
    EXPECT_EQ(w.stack()->currentIndex(), MainWindow::kHomePage);

    // Opening the menu stops a recording first.
    state.setRecording(true);
    w.openMenu();
    EXPECT_FALSE(state.recording());
  }
  // This board has no motion sensor: power saving cannot work and is stored off.
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  EXPECT_FALSE(s.value("EnergySavingEnabled").toBool());
}

TEST(MainWindow, StateChangesAreSaved) {
  TempRoot root;
  AppController state;
  MainWindow w(&state);
  state.stepPaletteMode(+2);
  state.setBrightness(77);
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  EXPECT_EQ(s.value("ImageMode").toInt(), 2);
  EXPECT_EQ(s.value("brightness").toInt(), 77);
}

TEST(MainWindow, ToastsTakeTheirPlaceTextAndTime) {
  TempRoot root;
  root.write("/etc/settings.ini", "[General]\nlanguage=2\n");
  AppController state;
  MainWindow w(&state);
  QLabel* t = w.toastLabel();

  w.showToast(MainWindow::Toast::InsertSd);
  EXPECT_TRUE(t->isVisibleTo(&w));
  EXPECT_EQ(t->text(), QString::fromUtf8("Вставьте карту SD"));

  w.showToast(MainWindow::Toast::Saved);
  QTest::qWait(700);
  EXPECT_TRUE(t->isVisibleTo(&w));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !t->isVisibleTo(&w); }, 1000));

  w.showPhotoFeedback();
  EXPECT_TRUE(w.flashOverlay()->isVisibleTo(&w));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.flashOverlay()->isVisibleTo(&w); }, 500));
}

TEST(MainWindow, OverlayFollowsThePageAndZeroingStartsFromNothing) {
  TempRoot root;
  root.write("/etc/settings.ini", "[General]\nscale=2.0\n");
  AppController state;
  MainWindow w(&state);
  aim* o = w.overlay();
  ASSERT_NE(o, nullptr);
  EXPECT_DOUBLE_EQ(o->zoom(), 2.0);  // home shows the current zoom
  EXPECT_FALSE(o->zoomHidden());

  w.stack()->setCurrentIndex(MainWindow::kDeviceInfoPage);
  EXPECT_TRUE(o->zoomHidden());
  w.stack()->setCurrentIndex(MainWindow::kPalettePage);
  EXPECT_TRUE(o->zoomHidden());
  EXPECT_EQ(o->reticleMode(), RETICLE_MODE_ALWAYS);

  // A drag on the zeroing page leaves offsets behind; coming back starts at 0.
  w.stack()->setCurrentIndex(MainWindow::kZeroingPage);
  EXPECT_DOUBLE_EQ(o->zoom(), 1.0);
  w.zeroGesture()->press(QPoint(100, 100));
  w.zeroGesture()->move(QPoint(200, 100));
  w.zeroGesture()->release(QPoint(200, 100));
  EXPECT_EQ(w.zeroOffsetX(), 13);
  w.stack()->setCurrentIndex(MainWindow::kMenuPage);
  w.stack()->setCurrentIndex(MainWindow::kZeroingPage);
  EXPECT_EQ(w.zeroOffsetX(), 0);
  EXPECT_EQ(w.zeroOffsetY(), 0);

  w.goHome();
  EXPECT_DOUBLE_EQ(o->zoom(), 2.0);
  EXPECT_EQ(o->reticleMode(), RETICLE_MODE_WITH_ZOOM);
  // The reticle follows the state object.
  state.stepReticleType(+1);
  EXPECT_EQ(o->reticleType(), state.reticleType());
}

TEST(MainWindow, PhotosShowTheInterfaceButNotTheFeedbackOfTheLastPhoto) {
  TempRoot root;
  AppController state;
  MainWindow w(&state);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const QImage clean = w.renderInterface();
  ASSERT_EQ(clean.size(), QSize(360, 320));
  // See-through where the picture shows, opaque in the status band.
  EXPECT_EQ(qAlpha(clean.pixel(100, 200)), 0);
  EXPECT_GT(qAlpha(clean.pixel(300, 10)), 0);

  w.showToast(MainWindow::Toast::Saved);
  w.showPhotoFeedback();
  const QImage again = w.renderInterface();
  EXPECT_EQ(again, clean);
  EXPECT_TRUE(w.toastLabel()->isVisible());
  EXPECT_TRUE(w.flashOverlay()->isVisible());
}

TEST(MainWindow, PowerSupplyReachesTheOverlayAndHomePage) {
  TempRoot root;
  root.write("/sys/class/power_supply/cw2015-battery/capacity", "5\n");
  root.write("/sys/devices/platform/charger/power_supply/charger/online", "0\n");
  root.write("/sys/devices/platform/charger/power_supply/charger/status", "Discharging\n");
  AppController state;
  MainWindow w(&state);
  // On battery at 5 %: low power, shown by the overlay.
  EXPECT_EQ(state.batteryPercent(), 5);
  EXPECT_TRUE(w.lowPower());
  EXPECT_TRUE(w.overlay()->lowPowerShown());
  EXPECT_TRUE(w.homePage()->battery()->isVisibleTo(w.homePage()));
  // The image thread, which did not exist at the first reading, hears of it too.
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.imageThread()->lowPower(); }, 1000));

  // Plugged in: never low power; the charging screen and no battery on home.
  root.write("/sys/devices/platform/charger/power_supply/charger/online", "1\n");
  root.write("/sys/devices/platform/charger/power_supply/charger/status", "Charging\n");
  w.pollBatteryPercent();
  EXPECT_FALSE(w.lowPower());
  EXPECT_TRUE(w.overlay()->chargerConnected());
  EXPECT_TRUE(w.overlay()->charging());
  EXPECT_FALSE(w.homePage()->battery()->isVisibleTo(w.homePage()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.imageThread()->charging(); }, 1000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.imageThread()->lowPower(); }, 1000));
  EXPECT_FALSE(w.sdPresent());
  root.write("/dev/mmcblk1p1", "");
  w.pollBatteryPercent();
  EXPECT_TRUE(w.sdPresent());
  EXPECT_TRUE(w.homePage()->sdCardPresent());
}
