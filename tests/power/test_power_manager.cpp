// Idle sleep and automatic power-off, driven tick by tick with made-up
// magnitudes: the still band, the countdown, sleep and wake, the energy
// settings' rules and the single power-off.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <deque>

#include "power/power_manager.h"

namespace {

class PowerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pm_.setMotionSource([this](float out[3]) {
      if (failNext_ > 0) {
        --failNext_;
        return -1;
      }
      int m = 9;
      if (!queued_.empty()) {
        m = queued_.front();
        queued_.pop_front();
      }
      // A little above the whole number: the magnitude is truncated.
      out[0] = 0.3f;
      out[1] = 0.0f;
      out[2] = m + 0.4f;
      return 0;
    });
    pm_.setClock([this] { return nowMs_; });
    pm_.setEnergySettings(true, 5, 10);
    pm_.setSensorAvailable(true);
    QObject::connect(&pm_, &PowerManager::sleepCountdownChanged, [this](int s) {
      countdowns_.push_back({pm_.idleSeconds(), s});
    });
    QObject::connect(&pm_, &PowerManager::idleSleepChanged, [this](bool on) {
      sleeps_.push_back({pm_.idleSeconds(), on});
    });
  }
  // Ticks with magnitude m (once the queue is empty).
  void tick(int n = 1) {
    for (int i = 0; i < n; ++i) pm_.pollAccelMotion();
  }
  void feed(std::initializer_list<int> ms) {
    queued_.insert(queued_.end(), ms);
    tick(static_cast<int>(ms.size()));
  }
  // Lying still until idle sleep begins.
  void sleepNow() {
    for (int i = 0; i < 5000 && !pm_.idleSleeping(); ++i) tick();
    ASSERT_TRUE(pm_.idleSleeping());
  }

  PowerManager pm_;
  std::deque<int> queued_;
  int failNext_ = 0;
  qint64 nowMs_ = 0;
  std::vector<std::pair<int, int>> countdowns_;  // (idle seconds, shown)
  std::vector<std::pair<int, bool>> sleeps_;     // (idle seconds, sleeping)
};

TEST_F(PowerTest, TheMiddleThreeOfFiveDecideStillness) {
  struct Case {
    std::initializer_list<int> window;
    bool still;
  };
  const Case cases[] = {
      {{9, 9, 30, 9, 9}, true},      // one jolt does not count
      {{9, 25, 25, 25, 9}, false},   // the middle three: 25
      {{16, 16, 16, 16, 30}, true},  // the band's upper edge
      {{17, 17, 17, 17, 9}, false},  // just above it
      {{8, 8, 9, 9, 9}, false},      // (8 + 9 + 9) / 3 = 8
      {{0, 0, 9, 9, 9}, false},      // (0 + 9 + 9) / 3 = 6
      {{9, 9, 10, 10, 10}, true},    // (9 + 10 + 10) / 3 = 9
  };
  for (const Case& c : cases) {
    // 3 s of stillness first: the count is under way.
    queued_.clear();
    feed({9, 9, 9, 9, 9});
    tick(15);
    const int before = pm_.idleSeconds();
    ASSERT_GE(before, 3);
    feed(c.window);
    EXPECT_EQ(pm_.deviceStill(), c.still);
    if (c.still)
      EXPECT_EQ(pm_.idleSeconds(), before + 1);
    else
      EXPECT_EQ(pm_.idleSeconds(), 0);
  }
}

TEST_F(PowerTest, ACountdownOfTenSecondsOnHomeThenSleepAtFiveMinutes) {
  sleepNow();
  ASSERT_EQ(countdowns_.size(), 11u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(countdowns_[i].first, 290 + i);
    EXPECT_EQ(countdowns_[i].second, 10 - i);
  }
  EXPECT_EQ(countdowns_[10], std::make_pair(300, 0));  // hidden as it sleeps
  ASSERT_EQ(sleeps_.size(), 1u);
  EXPECT_EQ(sleeps_[0], std::make_pair(300, true));

  // Asleep, stillness keeps counting up to the automatic power-off.
  QSignalSpy off(&pm_, &PowerManager::powerOffStarted);
  while (pm_.idleSeconds() < 599) tick();
  EXPECT_EQ(off.count(), 0);
  tick(5);
  EXPECT_EQ(off.count(), 1);
  EXPECT_TRUE(pm_.poweringOff());
  EXPECT_EQ(countdowns_.size(), 11u);  // no countdown while asleep
}

TEST_F(PowerTest, AFastClockComesSoonerByTheSameRules) {
  // Sixty times faster: the five minutes to sleep in 25 ticks (5 s) instead
  // of 1500, each tick still counting its own samples, so a jolt among them
  // resets the count as it would at the device's own pace.
  pm_.setTimeScale(60);
  queued_.assign(60 * 10, 9);
  queued_.insert(queued_.end(), {9, 25, 25, 25, 9});
  tick(11);
  EXPECT_LT(pm_.idleSeconds(), 12);  // restarted by the jolt inside the tenth tick
  int ticks = 0;
  while (!pm_.idleSleeping() && ticks < 100) {
    tick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 25);
  // The countdown runs through 10..1 and hides at the sleep, as at 1x.
  ASSERT_EQ(countdowns_.size(), 11u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(countdowns_[i], std::make_pair(290 + i, 10 - i));
  EXPECT_EQ(sleeps_, (std::vector<std::pair<int, bool>>{{300, true}}));
  QSignalSpy off(&pm_, &PowerManager::powerOffStarted);
  tick(25);  // ten minutes still
  EXPECT_EQ(off.count(), 1);
}

TEST_F(PowerTest, NoCountdownAwayFromHomeButSleepAllTheSame) {
  pm_.setOnHomePage(false);
  sleepNow();
  EXPECT_TRUE(countdowns_.empty());
  // Back home while the countdown runs: it shows; leaving hides it at once.
  PowerManager other;
  other.setMotionSource([](float o[3]) {
    o[0] = o[1] = 0;
    o[2] = 9.5f;
    return 0;
  });
  other.setEnergySettings(true, 5, 10);
  other.setSensorAvailable(true);
  for (int i = 0; i < 5 * 295; ++i) other.pollAccelMotion();
  EXPECT_GT(other.countdownShown(), 0);
  other.setOnHomePage(false);
  EXPECT_EQ(other.countdownShown(), 0);
}

TEST_F(PowerTest, FourMagnitudesOutsideSevenToEighteenWake) {
  struct Case {
    std::initializer_list<int> window;
    bool wakes;
  };
  const Case cases[] = {
      {{9, 9, 9, 6}, true}, {{9, 9, 9, 18}, false}, {{9, 9, 9, 19}, true}, {{7, 9, 9, 9}, false}};
  for (const Case& c : cases) {
    sleeps_.clear();
    sleepNow();
    sleeps_.clear();
    feed(c.window);
    EXPECT_EQ(pm_.idleSleeping(), !c.wakes);
    if (c.wakes) {
      ASSERT_EQ(sleeps_.size(), 1u);
      EXPECT_FALSE(sleeps_[0].second);
      EXPECT_EQ(pm_.idleSeconds(), 0);  // stillness starts again
    } else {
      EXPECT_TRUE(sleeps_.empty());
      // Wake the device for the next case.
      feed({30, 30, 30, 30, 30});
      ASSERT_FALSE(pm_.idleSleeping());
    }
  }
}

TEST_F(PowerTest, SwitchingEnergySavingOffWakesAtOnceAndStopsTheCountdown) {
  sleepNow();
  QSignalSpy saved(&pm_, &PowerManager::energySettingsChanged);
  sleeps_.clear();
  EXPECT_EQ(pm_.setEnergySavingEnabled(false), PowerManager::Edit::Changed);
  ASSERT_EQ(sleeps_.size(), 1u);
  EXPECT_FALSE(sleeps_[0].second);
  ASSERT_EQ(saved.count(), 1);
  EXPECT_EQ(saved[0][0].toBool(), false);
  countdowns_.clear();
  tick(5 * 700);  // beyond both limits
  EXPECT_TRUE(countdowns_.empty());
  EXPECT_FALSE(pm_.idleSleeping());
  EXPECT_FALSE(pm_.poweringOff());

  // Switched on again after that long on the bench: the still time starts
  // now, not an hour ago, so the device neither sleeps nor powers off at once.
  EXPECT_EQ(pm_.setEnergySavingEnabled(true), PowerManager::Edit::Changed);
  tick(10);
  EXPECT_FALSE(pm_.idleSleeping());
  EXPECT_FALSE(pm_.poweringOff());
  EXPECT_EQ(pm_.setEnergySavingEnabled(true), PowerManager::Edit::Unchanged);
}

// A factory reset (or any reload of the settings) that switches energy
// saving on counts stillness from then, like the switch does.
TEST_F(PowerTest, SettingsThatSwitchEnergySavingOnStartTheStillTimeAfresh) {
  pm_.setEnergySettings(false, 30, 60);
  pm_.refreshPowerState();
  tick(5 * 60 * 70);  // seventy minutes on the desk
  EXPECT_FALSE(pm_.idleSleeping());
  pm_.setEnergySettings(true, 30, 60);
  pm_.refreshPowerState();
  tick(5);
  EXPECT_FALSE(pm_.idleSleeping());
  EXPECT_FALSE(pm_.poweringOff());
  tick(5 * 60 * 30);
  EXPECT_TRUE(pm_.idleSleeping());
  EXPECT_FALSE(pm_.poweringOff());
}

TEST_F(PowerTest, ShorteningTheMinutesOnTheBenchDoesNotSleepUnderTheFinger) {
  pm_.setEnergySettings(true, 30, 60);
  tick(5 * 60 * 20 + 5);  // twenty still minutes, the user on the settings pages
  ASSERT_GE(pm_.idleSeconds(), 20 * 60);
  EXPECT_EQ(pm_.nudgeEnergyMinutes(PowerManager::kIdleSleepTarget, -15),
            PowerManager::Edit::Changed);
  EXPECT_EQ(pm_.nudgeEnergyMinutes(PowerManager::kAutoPowerOffTarget, -40),
            PowerManager::Edit::Changed);
  tick(5);
  EXPECT_FALSE(pm_.idleSleeping());
  EXPECT_FALSE(pm_.poweringOff());
  // The new limit counts from the edit.
  tick(5 * 60 * 15);
  EXPECT_TRUE(pm_.idleSleeping());
  EXPECT_FALSE(pm_.poweringOff());
}

TEST_F(PowerTest, PowerOffStartsOnceAndTheExitWaitsForTheWriter) {
  QSignalSpy started(&pm_, &PowerManager::powerOffStarted);
  QSignalSpy exit(&pm_, &PowerManager::exitRequested);
  bool busy = true;
  pm_.setWriterBusy([&] { return busy; });
  EXPECT_TRUE(pm_.requestPowerOff());
  EXPECT_FALSE(pm_.requestPowerOff());  // the key pressed twice
  EXPECT_EQ(started.count(), 1);
  const int before = pm_.idleSeconds();
  tick(50);  // the motion poll has stopped
  EXPECT_EQ(pm_.idleSeconds(), before);
  EXPECT_EQ(started.count(), 1);

  pm_.exitStep();  // the delay is over, a recording is still being remuxed
  nowMs_ += 5000;
  pm_.exitStep();
  EXPECT_EQ(exit.count(), 0);
  busy = false;
  pm_.exitStep();
  EXPECT_EQ(exit.count(), 1);
  pm_.exitStep();
  EXPECT_EQ(exit.count(), 1);
}

TEST_F(PowerTest, AWriterThatNeverFinishesDoesNotHoldThePowerOffForever) {
  QSignalSpy exit(&pm_, &PowerManager::exitRequested);
  pm_.setWriterBusy([] { return true; });
  pm_.requestPowerOff();
  pm_.exitStep();
  nowMs_ += PowerManager::kWriterWaitLimitMs - 1;
  pm_.exitStep();
  EXPECT_EQ(exit.count(), 0);
  nowMs_ += 1;
  pm_.exitStep();
  EXPECT_EQ(exit.count(), 1);
}

TEST_F(PowerTest, AFailedSampleSkipsTheTick) {
  tick(12);
  const int seconds = pm_.idleSeconds();
  failNext_ = 20;
  tick(20);
  EXPECT_EQ(pm_.idleSeconds(), seconds);
  tick(5);
  EXPECT_EQ(pm_.idleSeconds(), seconds + 1);
}

TEST(PowerSettings, MinuteRulesClampAndRefusePowerOffBeforeSleep) {
  using Edit = PowerManager::Edit;
  constexpr int I = PowerManager::kIdleSleepTarget, P = PowerManager::kAutoPowerOffTarget;
  struct Case {
    int idle, off, target, delta;
    Edit result;
    int idleAfter, offAfter;
  };
  const Case cases[] = {
      {60, 60, I, +5, Edit::BelowIdleSleep, 60, 60},
      {55, 60, I, +5, Edit::Changed, 60, 60},
      {5, 60, I, -5, Edit::Unchanged, 5, 60},     // already at the floor
      {98, 120, I, +5, Edit::Changed, 100, 120},  // clamped to 100
      {30, 30, P, -5, Edit::BelowIdleSleep, 30, 30},
      {5, 12, P, -5, Edit::Changed, 5, 10},  // clamped to 10
      {30, 118, P, +5, Edit::Changed, 30, 120},
      {30, 120, P, +5, Edit::Unchanged, 30, 120},
  };
  for (const Case& c : cases) {
    PowerManager pm;
    pm.setEnergySettings(true, c.idle, c.off);
    pm.setSensorAvailable(true);
    QSignalSpy saved(&pm, &PowerManager::energySettingsChanged);
    EXPECT_EQ(pm.nudgeEnergyMinutes(c.target, c.delta), c.result)
        << c.idle << " " << c.off << " " << c.target << " " << c.delta;
    EXPECT_EQ(pm.idleSleepMinutes(), c.idleAfter);
    EXPECT_EQ(pm.autoPowerOffMinutes(), c.offAfter);
    EXPECT_EQ(saved.count(), c.result == Edit::Changed ? 1 : 0);
  }
}

TEST(PowerSettings, WithoutASensorEnergySavingIsForcedOffAndCannotBeSwitchedOn) {
  PowerManager pm;
  pm.setEnergySettings(true, 30, 60);
  QSignalSpy saved(&pm, &PowerManager::energySettingsChanged);
  pm.setSensorAvailable(false);
  ASSERT_EQ(saved.count(), 1);
  EXPECT_FALSE(saved[0][0].toBool());
  EXPECT_FALSE(pm.energySavingEnabled());
  EXPECT_EQ(pm.setEnergySavingEnabled(true), PowerManager::Edit::SensorMissing);
  EXPECT_FALSE(pm.energySavingEnabled());
  EXPECT_EQ(saved.count(), 1);
  pm.pollAccelMotion();  // no sensor, no source: nothing happens
  EXPECT_EQ(pm.idleSeconds(), 0);
}

}  // namespace
