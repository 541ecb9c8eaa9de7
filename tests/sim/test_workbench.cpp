// The workbench offscreen: its controls reach the simulated hardware, its
// enlarged screen is the device's window pixel for pixel, and presses on it
// land on the device's widgets at device coordinates.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "sim/board_root.h"
#include "sim/power_controls.h"
#include "sim/screenshot.h"
#include "sim/sim_accel.h"
#include "sim/thermal_core.h"
#include "sim/workbench.h"

namespace {

TEST(SimWorkbench, FrameRateAndScaleChoice) {
  sim::FrameRateMeter m;
  m.sample(100, 0);
  EXPECT_LT(m.fps(), 0);  // one sample says nothing yet
  m.sample(125, 1000);
  EXPECT_DOUBLE_EQ(m.fps(), 25.0);
  m.sample(137, 1500);
  EXPECT_DOUBLE_EQ(m.fps(), 24.0);
  m.sample(3, 2500);  // a new display device counts from 0
  EXPECT_LT(m.fps(), 0);
  m.sample(3, 2500);  // no time passed: the last rate stands
  EXPECT_LT(m.fps(), 0);

  // The window as it measures: housing and bench beside a 360 x 320 step.
  auto window = [](int s) { return QSize(400 + 360 * s, 150 + 320 * s); };
  const struct {
    QSize desktop;
    int scale;
  } cases[] = {{{1920, 1032}, 2}, {{3840, 2100}, 3}, {{1366, 720}, 1}, {{1120, 790}, 2},
               {{1119, 790}, 1}, {{640, 480}, 1}};
  for (const auto& c : cases)
    EXPECT_EQ(sim::fittingScale(c.desktop, window), c.scale)
        << c.desktop.width() << "x" << c.desktop.height();
}

TEST(SimWorkbench, SceneSwitchKeepsSetPointAndRefusesUnknownStops) {
  sim::ThermalCore core;
  QString error;
  ASSERT_TRUE(core.loadScene(QStringLiteral("field"), &error));
  EXPECT_TRUE(core.stopNames().isEmpty());
  ASSERT_TRUE(core.switchScene(QStringLiteral("bench"), 62.5, QStringLiteral("blackbody"), &error))
      << error.toStdString();
  EXPECT_EQ(core.sceneName(), QStringLiteral("bench"));
  EXPECT_EQ(core.stopNames(),
            (QStringList{"cup", "ice", "hand", "blackbody"}));
  // The blackbody fills the held view's centre at the new set point at once.
  EXPECT_NEAR(core.measureRegion(0, 116, 86, 136, 106), 63.3, 0.2);
  EXPECT_FALSE(core.switchScene(QStringLiteral("field"), 37.0, QStringLiteral("cup"), &error));
  EXPECT_FALSE(core.switchScene(QStringLiteral("mars"), 37.0, QString(), &error));
  EXPECT_EQ(core.sceneName(), QStringLiteral("bench"));
  EXPECT_NEAR(core.measureRegion(0, 116, 86, 136, 106), 63.3, 0.2);
}

// A stand-in for the device's window: a button in a known place.
struct FakeDevice {
  sim::SimKeypad keypad;
  QWidget window;
  QPushButton* button;
  int clicks = 0;
  FakeDevice() {
    window.setFixedSize(360, 320);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.setStyleSheet(QStringLiteral("background:#204080"));
    button = new QPushButton(QStringLiteral("OK"), &window);
    button->setGeometry(300, 260, 50, 40);
    QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
    window.show();
  }
  // The bench over this device and its keypad.
  sim::WorkbenchParts parts() {
    sim::WorkbenchParts p;
    p.device = &window;
    p.keypad = &keypad;
    return p;
  }
};

TEST(SimWorkbench, ControlsReachKeysPowerAndTheDevicesWidgets) {
  QTemporaryDir dir;
  ASSERT_TRUE(sim::ensureBoardRoot(dir.path()));
  sim::SimAccel accel;
  sim::PowerControls power(dir.path(), &accel);
  FakeDevice device;
  sim::WorkbenchParts parts = device.parts();
  parts.power = &power;
  parts.cardFolder = dir.path() + QStringLiteral("/mnt/sdcard");
  sim::Workbench bench(parts, 2);
  bench.show();

  // Keys are down exactly while held.
  for (sim::BoardKey key : {sim::BoardKey::Shutter, sim::BoardKey::Up, sim::BoardKey::Power}) {
    QPushButton* b = bench.keyButton(key);
    ASSERT_NE(b, nullptr);
    QTest::mousePress(b, Qt::LeftButton);
    EXPECT_TRUE(device.keypad.isDown(key));
    QTest::mouseRelease(b, Qt::LeftButton);
    EXPECT_FALSE(device.keypad.isDown(key));
  }

  // The card button takes the card out and says so, and puts it back.
  ASSERT_TRUE(power.cardInserted());
  QTest::mouseClick(bench.cardButton(), Qt::LeftButton);
  EXPECT_FALSE(power.cardInserted());
  EXPECT_TRUE(bench.cardButton()->text().startsWith(QLatin1String("Insert")));
  EXPECT_TRUE(bench.statusLabel()->text().contains(QLatin1String("no card")));
  QTest::mouseClick(bench.cardButton(), Qt::LeftButton);
  EXPECT_TRUE(power.cardInserted());

  auto* battery = bench.findChild<QSlider*>();
  ASSERT_NE(battery, nullptr);
  battery->setValue(35);
  EXPECT_EQ(power.batteryPercent(), 35);
  bench.findChildren<QCheckBox*>().at(0)->setChecked(true);
  EXPECT_TRUE(power.chargerConnected());
  bench.findChildren<QCheckBox*>().at(1)->setChecked(true);
  EXPECT_TRUE(accel.handled());
  // Changes made elsewhere (keyboard, script) show on the bench.
  power.setBatteryPercent(70);
  power.setCharger(false);
  bench.refreshStatus();
  EXPECT_EQ(battery->value(), 70);
  EXPECT_FALSE(bench.findChildren<QCheckBox*>().at(0)->isChecked());

  // The screen is the device's own picture, each pixel a sharp 2 x 2 square.
  bench.refreshScreen();
  const QImage screen = bench.deviceScreen();
  EXPECT_EQ(screen.size(), QSize(360, 320));
  EXPECT_EQ(screen.convertToFormat(QImage::Format_RGB32),
            sim::grabScreen(&device.window).convertToFormat(QImage::Format_RGB32));
  QWidget* view = bench.findChild<QWidget*>(QStringLiteral("screen"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->size(), QSize(720, 640));
  const QImage shown = view->grab().toImage();
  for (const QPoint p : {QPoint(10, 10), QPoint(320, 280), QPoint(359, 319)}) {
    const QRgb want = screen.pixel(p);
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx)
        EXPECT_EQ(shown.pixel(2 * p.x() + dx, 2 * p.y() + dy), want) << p.x() << "," << p.y();
  }

  // A click on the enlarged button reaches it; one just beside it does not.
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(2 * 310, 2 * 270));
  EXPECT_EQ(device.clicks, 1);
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(2 * 295, 2 * 270));
  EXPECT_EQ(device.clicks, 1);

  bench.setScale(3);
  EXPECT_EQ(view->size(), QSize(1080, 960));
  QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(3 * 340, 3 * 295));
  EXPECT_EQ(device.clicks, 2);

  // The screenshot button saves the device's screen alone.
  QTemporaryDir shots;
  bench.setScreenshotFolder(shots.path());
  QTest::mouseClick(bench.screenshotButton(), Qt::LeftButton);
  ASSERT_FALSE(bench.lastScreenshot().isEmpty());
  EXPECT_EQ(QImage(bench.lastScreenshot()).size(), QSize(360, 320));
}

TEST(SimWorkbench, TheDevicesDialogShowsInPlaceAndTakesTheTouch) {
  FakeDevice device;
  sim::WorkbenchParts parts = device.parts();
  sim::Workbench bench(parts, 2);
  bench.show();
  QWidget* view = bench.findChild<QWidget*>(QStringLiteral("screen"));

  QDialog dialog(&device.window, Qt::Dialog | Qt::FramelessWindowHint);
  dialog.setFixedSize(160, 100);
  dialog.setStyleSheet(QStringLiteral("QDialog{background:#ff0000}"));
  auto* yes = new QPushButton(QStringLiteral("Yes"), &dialog);
  yes->setGeometry(10, 50, 60, 40);
  QObject::connect(yes, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.move(device.window.mapToGlobal(QPoint(100, 110)));
  bool checked = false;
  QTimer::singleShot(50, [&] {
    EXPECT_TRUE(dialog.testAttribute(Qt::WA_DontShowOnScreen));
    bench.refreshScreen();
    const QImage screen = bench.deviceScreen();
    EXPECT_EQ(screen.pixel(105, 115), qRgb(255, 0, 0));  // the dialog, where it stands
    EXPECT_NE(screen.pixel(95, 115), qRgb(255, 0, 0));   // the window beside it
    EXPECT_EQ(screen, sim::grabScreen(&device.window));  // screenshots show it too
    // Behind a modal dialog nothing is touched; on it, its button is.
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(2 * 310, 2 * 270));
    EXPECT_EQ(device.clicks, 0);
    checked = true;
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(2 * 130, 2 * 180));
  });
  QTimer::singleShot(3000, &dialog, &QDialog::reject);  // a guard, should the tap miss
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_TRUE(checked);
}

TEST(SimWorkbench, TheLanguageListAndTheFastClock) {
  FakeDevice device;
  sim::WorkbenchParts parts = device.parts();
  {
    sim::Workbench plain(parts, 1);
    EXPECT_EQ(plain.languageBox(), nullptr);  // nothing to choose it with
    EXPECT_FALSE(plain.statusLabel()->text().contains(QStringLiteral("\u00d7")));
  }
  int language = 1;
  std::vector<int> chosen;
  parts.language = [&] { return language; };
  parts.setLanguage = [&](int lang) {
    chosen.push_back(lang);
    language = lang;
  };
  parts.timeScale = 60;
  sim::Workbench bench(parts, 1);
  QComboBox* box = bench.languageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->currentIndex(), 1);
  EXPECT_EQ(box->count(), 3);
  emit box->activated(2);  // Russian chosen on the bench
  EXPECT_EQ(chosen, std::vector<int>{2});
  language = 0;  // the device's own language page chose Chinese
  bench.refreshStatus();
  EXPECT_EQ(box->currentIndex(), 0);
  EXPECT_EQ(chosen, std::vector<int>{2});
  EXPECT_TRUE(bench.statusLabel()->text().contains(QStringLiteral("\u00d760")))
      << bench.statusLabel()->text().toStdString();
}

TEST(SimWorkbench, LettingGoOfTheBenchReleasesHeldKeys) {
  FakeDevice device;
  sim::WorkbenchParts parts = device.parts();
  {
    sim::Workbench bench(parts, 1);
    QTest::mousePress(bench.keyButton(sim::BoardKey::Power), Qt::LeftButton);
    EXPECT_TRUE(device.keypad.isDown(sim::BoardKey::Power));
  }
  EXPECT_FALSE(device.keypad.isDown(sim::BoardKey::Power));
}

}  // namespace
