// The bench's power hardware: the script's battery, charger, card and motion
// actions, and what they change where the program reads it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/paths.h"
#include "sim/board_root.h"
#include "sim/keyboard_keys.h"
#include "sim/power_controls.h"
#include "sim/sim_board.h"
#include "sim/sim_script.h"

namespace {

using Change = sim::BoardChange;

TEST(SimScriptPower, ParsesTheHardwareActionsAndRefusesBadValues) {
  QVector<sim::ScriptAction> a;
  QString error;
  ASSERT_TRUE(sim::parseScript(QStringLiteral("battery 0\nbattery 100\ncharger on\ncharger off\n"
                                              "card remove\ncard insert\n"
                                              "motion handle\nmotion still\n"),
                               &a, &error))
      << error.toStdString();
  const std::pair<Change, int> expected[] = {
      {Change::Battery, 0}, {Change::Battery, 100}, {Change::Charger, 1}, {Change::Charger, 0},
      {Change::Card, 0},    {Change::Card, 1},      {Change::Motion, 1},  {Change::Motion, 0}};
  ASSERT_EQ(a.size(), 8);
  for (int i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].kind, sim::ScriptAction::Kind::Board);
    EXPECT_EQ(a[i].change, expected[i].first) << i;
    EXPECT_EQ(a[i].value, expected[i].second) << i;
  }
  // They take no time and keep their order in the timeline.
  const QVector<sim::ScriptStep> steps = sim::scriptTimeline(a);
  ASSERT_EQ(steps.size(), 8);
  for (int i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i].op, sim::ScriptStep::Op::Board);
    EXPECT_EQ(steps[i].atMs, 0);
    EXPECT_EQ(steps[i].change, expected[i].first);
    EXPECT_EQ(steps[i].line, i + 1);
  }

  const struct {
    const char* text;
    const char* mentions;
  } bad[] = {
      {"battery\n", "battery PCT"},
      {"battery 101\n", "101"},
      {"battery -1\n", "-1"},
      {"battery 50 %\n", "battery PCT"},
      {"charger yes\n", "'on' or 'off'"},
      {"card\n", "card insert|remove"},
      {"card eject\n", "eject"},
      {"motion shake\n", "'handle' or 'still'"},
      {"wait 1\nmotion still now\n", "line 2"},
  };
  for (const auto& b : bad) {
    error.clear();
    EXPECT_FALSE(sim::parseScript(QString::fromLatin1(b.text), &a, &error)) << b.text;
    EXPECT_TRUE(error.contains(QLatin1String(b.mentions))) << error.toStdString();
  }
}

TEST(SimPowerControls, ChangesReachTheFilesAndTheAccelerometer) {
  QTemporaryDir dir;
  const QString root = dir.path();
  ASSERT_TRUE(sim::ensureBoardRoot(root));
  sim::SimAccel accel;
  sim::PowerControls power(root, &accel);
  auto read = [&](const char* systemPath) {
    QFile f(root + QLatin1String(systemPath));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
  };
  const char* capacity = "/sys/class/power_supply/cw2015-battery/capacity";
  const char* status = "/sys/devices/platform/charger/power_supply/charger/status";
  const char* online = "/sys/devices/platform/charger/power_supply/charger/online";

  EXPECT_TRUE(sim::applyBoardChange(&power, Change::Battery, 7));
  EXPECT_EQ(read(capacity), "7\n");
  EXPECT_TRUE(power.stepBattery(-10));  // clamped at empty
  EXPECT_EQ(power.batteryPercent(), 0);
  EXPECT_TRUE(power.setBatteryPercent(250));
  EXPECT_EQ(power.batteryPercent(), 100);

  EXPECT_TRUE(sim::applyBoardChange(&power, Change::Charger, 1));
  EXPECT_EQ(read(status), "Charging\n");
  EXPECT_EQ(read(online), "1\n");
  EXPECT_TRUE(power.toggleCharger());
  EXPECT_EQ(read(status), "Discharging\n");
  EXPECT_EQ(read(online), "0\n");

  // Out, the card's files are out of reach and none can be made in their
  // place; back in, they are all there.
  const QString photo = root + "/mnt/sdcard/picture/pic_3.jpg";
  ASSERT_TRUE(QFile(photo).open(QIODevice::WriteOnly));
  EXPECT_TRUE(power.cardInserted());
  EXPECT_TRUE(sim::applyBoardChange(&power, Change::Card, 0));
  EXPECT_FALSE(QFile::exists(root + "/dev/mmcblk1p1"));
  EXPECT_FALSE(QFile::exists(photo));
  EXPECT_FALSE(QDir().mkpath(root + "/mnt/sdcard/picture"));
  EXPECT_FALSE(QFile(root + "/mnt/sdcard/pic_4.jpg").open(QIODevice::WriteOnly));
  EXPECT_TRUE(power.setCardInserted(false));  // out already
  EXPECT_TRUE(power.toggleCard());
  EXPECT_TRUE(QFile::exists(root + "/dev/mmcblk1p1"));
  EXPECT_TRUE(QFile::exists(photo));
  // A run that ended with the card out: the next start finds it back in.
  EXPECT_TRUE(power.setCardInserted(false));
  ASSERT_TRUE(sim::ensureBoardRoot(root));
  EXPECT_TRUE(power.cardInserted());
  EXPECT_TRUE(QFile::exists(photo));
  EXPECT_TRUE(power.setCardInserted(true));  // and its writes go through again

  EXPECT_TRUE(sim::applyBoardChange(&power, Change::Motion, 1));
  EXPECT_TRUE(accel.handled());
  EXPECT_TRUE(power.toggleHandled());
  EXPECT_FALSE(accel.handled());

  // Without an accelerometer the motion change is refused; a root that is
  // the PC's own is never written.
  sim::PowerControls bare(root, nullptr);
  EXPECT_FALSE(bare.setHandled(true));
  sim::PowerControls system(QStringLiteral("/"), nullptr);
  EXPECT_FALSE(system.setBatteryPercent(50));
  EXPECT_FALSE(system.setCardInserted(false));
}

TEST(SimKeyboard, BenchKeysLeaveTheBoardKeysAlone) {
  const std::pair<int, sim::BenchKey> bench[] = {{Qt::Key_BracketLeft, sim::BenchKey::BatteryDown},
                                                 {Qt::Key_BracketRight, sim::BenchKey::BatteryUp},
                                                 {Qt::Key_C, sim::BenchKey::Charger},
                                                 {Qt::Key_S, sim::BenchKey::Card},
                                                 {Qt::Key_M, sim::BenchKey::Motion}};
  for (const auto& [qtKey, action] : bench) {
    sim::BenchKey got;
    ASSERT_TRUE(sim::KeyboardKeys::benchKeyFor(qtKey, &got));
    EXPECT_EQ(got, action);
    sim::BoardKey board;
    EXPECT_FALSE(sim::KeyboardKeys::boardKeyFor(qtKey, &board));
  }
  for (int qtKey : {int(Qt::Key_Space), int(Qt::Key_U), int(Qt::Key_P)}) {
    sim::BenchKey got;
    EXPECT_FALSE(sim::KeyboardKeys::benchKeyFor(qtKey, &got));
  }
}

// Handled, the chip's magnitudes lie far outside 7..18 m/s^2 every time; put
// down, near 1 g again in whatever orientation it came to rest.
TEST(SimAccelMotion, HandlingGivesMagnitudesFarFromOneG) {
  sim::SimAccel accel;
  const int fd = accel.open(0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(accel.ioctl(fd, 0x0703, reinterpret_cast<void*>(0x27)), 0);
  const uint8_t start[2] = {0x11, 0x1E};
  ASSERT_EQ(accel.write(fd, start, 2), 2);
  auto magnitude = [&] {
    const uint8_t reg = 0x02;
    uint8_t b[6];
    EXPECT_EQ(accel.write(fd, &reg, 1), 1);
    EXPECT_EQ(accel.read(fd, b, 6), 6);
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
      const double v = (static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8)) >> 2) / 4096.0;
      sum += v * v;
    }
    return std::sqrt(sum) * 9.80665;
  };
  for (int round = 0; round < 3; ++round) {
    accel.setHandled(true);
    for (int i = 0; i < 200; ++i) {
      const double m = magnitude();
      EXPECT_TRUE(m < 6.0 || m > 19.0) << m;
    }
    accel.setHandled(false);
    for (int i = 0; i < 20; ++i) EXPECT_NEAR(magnitude(), 9.80665, 0.6);
  }
  accel.release(fd);
}

}  // namespace
