#include "power/power_manager.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/diag.h"

PowerManager::PowerManager(QObject* parent) : QObject(parent) {
  motionWindow_.reserve(kEvaluationWindow);
  sleepWindow_.reserve(kWakeWindow);
  exitTimer_.setSingleShot(true);
  connect(&exitTimer_, &QTimer::timeout, this, &PowerManager::exitStep);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  nowMs_ = [clock] { return clock->elapsed(); };
}

void PowerManager::setEnergySettings(bool enabled, int idleSleepMinutes, int autoPowerOffMinutes) {
  // As for the switch and the minute editor: stillness counted under other
  // settings (energy saving off, a factory reset's new minutes) must not
  // make the new ones sleep or power off at once.
  if (enabled &&
      (!enabled_ || idleSleepMinutes != idleMinutes_ || autoPowerOffMinutes != offMinutes_))
    restartStillness();
  enabled_ = enabled;
  idleMinutes_ = idleSleepMinutes;
  offMinutes_ = autoPowerOffMinutes;
}

void PowerManager::setSensorAvailable(bool available) {
  sensorAvailable_ = available;
  if (!available && enabled_) {
    enabled_ = false;
    emit energySettingsChanged(enabled_, idleMinutes_, offMinutes_);
  }
  refreshPowerState();
}

void PowerManager::setOnHomePage(bool onHome) {
  onHome_ = onHome;
  if (!onHome_) showCountdown(0);
}

bool PowerManager::active() const {
  return enabled_ && sensorAvailable_ && offMinutes_ >= idleMinutes_;
}

int PowerManager::magnitude(const float s[3]) const {
  const double m = std::sqrt(double(s[0]) * s[0] + double(s[1]) * s[1] + double(s[2]) * s[2]);
  // A broken sample (not a number, absurdly large) must not become a
  // magnitude that reads as lying still.
  if (!std::isfinite(m) || m > 1000.0) return 1000;
  return static_cast<int>(m);
}

void PowerManager::setTimeScale(int factor) { timeScale_ = std::clamp(factor, 1, kMaxTimeScale); }

void PowerManager::pollAccelMotion() {
  for (int i = 0; i < timeScale_; ++i) motionTick();
}

void PowerManager::motionTick() {
  if (!sensorAvailable_ || poweringOff_ || !source_) return;
  float s[3] = {0, 0, 0};
  if (source_(s) != 0) return;
  const int m = magnitude(s);

  if (idleSleeping_) {
    sleepWindow_.append(m);
    if (sleepWindow_.size() > kWakeWindow) sleepWindow_.removeFirst();
    if (sleepWindow_.size() == kWakeWindow) {
      const auto [lo, hi] = std::minmax_element(sleepWindow_.cbegin(), sleepWindow_.cend());
      if (*lo < kWakeBelow || *hi > kWakeAbove) exitIdleSleep();
    }
  } else {
    sleepWindow_.clear();
  }

  motionWindow_.append(m);
  bool evaluatedMoving = false;
  if (motionWindow_.size() == kEvaluationWindow) {
    std::sort(motionWindow_.begin(), motionWindow_.end());
    const int mean = (motionWindow_[1] + motionWindow_[2] + motionWindow_[3]) / 3;
    motionWindow_.clear();
    deviceStill_ = mean >= kStillMin && mean <= kStillMax;
    if (!deviceStill_) {
      idleSeconds_ = 0;
      idleMsAccum_ = 0;
      evaluatedMoving = true;
    }
  }
  if (!evaluatedMoving) {
    if (deviceStill_) {
      idleMsAccum_ += kTickMs;
      idleSeconds_ += idleMsAccum_ / 1000;
      idleMsAccum_ %= 1000;
    } else {
      idleMsAccum_ = 0;
    }
  }

  if (!enabled_ || offMinutes_ < idleMinutes_) {
    showCountdown(0);
    return;
  }
  const int sleepAt = 60 * idleMinutes_;
  if (onHome_ && !idleSleeping_) {
    const int remaining = sleepAt - idleSeconds_;
    showCountdown(remaining >= 1 && remaining <= kCountdownSeconds ? remaining : 0);
  } else {
    showCountdown(0);
  }
  if (!idleSleeping_ && idleSeconds_ >= sleepAt) enterIdleSleep();
  if (!poweringOff_ && idleSeconds_ >= 60 * offMinutes_) requestPowerOff();
}

void PowerManager::enterIdleSleep() {
  idleSleeping_ = true;
  sleepWindow_.clear();
  showCountdown(0);
  diag::info(diag::kPower, "idle sleep after %d still seconds", idleSeconds_);
  emit idleSleepChanged(true);
}

void PowerManager::exitIdleSleep() {
  idleSleeping_ = false;
  sleepWindow_.clear();
  motionWindow_.clear();
  deviceStill_ = false;
  idleSeconds_ = 0;
  idleMsAccum_ = 0;
  diag::info(diag::kPower, "awake");
  emit idleSleepChanged(false);
}

void PowerManager::restartStillness() {
  motionWindow_.clear();
  deviceStill_ = false;
  idleSeconds_ = 0;
  idleMsAccum_ = 0;
}

void PowerManager::showCountdown(int seconds) {
  if (seconds == countdown_) return;
  countdown_ = seconds;
  emit sleepCountdownChanged(seconds);
}

void PowerManager::refreshPowerState() {
  if (enabled_ && offMinutes_ >= idleMinutes_) return;
  if (idleSleeping_) exitIdleSleep();
  showCountdown(0);
}

PowerManager::Edit PowerManager::setEnergySavingEnabled(bool on) {
  if (on && !sensorAvailable_) return Edit::SensorMissing;
  if (on == enabled_) return Edit::Unchanged;
  enabled_ = on;
  // Stillness counted while energy saving was off must not turn the switch
  // into an instant sleep or power-off: the still time starts now.
  if (on) restartStillness();
  emit energySettingsChanged(enabled_, idleMinutes_, offMinutes_);
  refreshPowerState();
  return Edit::Changed;
}

int PowerManager::minutes(int target) const {
  return target == kIdleSleepTarget ? idleMinutes_ : offMinutes_;
}

int PowerManager::maximumMinutes(int target) {
  return target == kIdleSleepTarget ? kIdleMaxMinutes : kPowerOffMaxMinutes;
}

PowerManager::Edit PowerManager::nudgeEnergyMinutes(int target, int delta) {
  if (target == kIdleSleepTarget) {
    const int next = std::clamp(idleMinutes_ + delta, kIdleMinMinutes, kIdleMaxMinutes);
    if (offMinutes_ < next) return Edit::BelowIdleSleep;
    if (next == idleMinutes_) return Edit::Unchanged;
    idleMinutes_ = next;
  } else {
    const int next = std::clamp(offMinutes_ + delta, kPowerOffMinMinutes, kPowerOffMaxMinutes);
    if (next < idleMinutes_) return Edit::BelowIdleSleep;
    if (next == offMinutes_) return Edit::Unchanged;
    offMinutes_ = next;
  }
  // The new limits count from the edit: shortening them while the device
  // lies on the bench must not put it to sleep or off under the user's finger.
  restartStillness();
  showCountdown(0);
  emit energySettingsChanged(enabled_, idleMinutes_, offMinutes_);
  refreshPowerState();
  return Edit::Changed;
}

bool PowerManager::requestPowerOff() {
  if (poweringOff_) return false;
  poweringOff_ = true;
  showCountdown(0);
  emit powerOffStarted();
  exitWaitStart_ = -1;
  exitTimer_.start(kExitDelayMs);
  return true;
}

void PowerManager::exitStep() {
  if (!poweringOff_ || exitSent_) return;
  const qint64 now = nowMs_();
  if (exitWaitStart_ < 0) exitWaitStart_ = now;
  if (writerBusy_ && writerBusy_()) {
    if (now - exitWaitStart_ < kWriterWaitLimitMs) {
      exitTimer_.start(kWriterPollMs);
      return;
    }
    diag::warning(diag::kPower, "recording still being finished after %d s; powering off anyway",
               kWriterWaitLimitMs / 1000);
  }
  exitSent_ = true;
  exitTimer_.stop();
  emit exitRequested();
}
