#pragma once
// Idle sleep and automatic power-off. A sight lies on a bench or in a bag for
// long stretches: from the accelerometer's magnitudes (one every 200 ms) this
// decides whether the device lies still, puts it to sleep after the chosen
// number of still minutes, wakes it when it is picked up and powers it off
// after a longer still period. It also holds the energy-saving settings and
// their rules, and the single start of the power-off sequence shared by the
// power key and the automatic path.
//
// Nothing here touches a widget or a thread: the main window connects the
// signals and does the showing, hiding and telling of the workers. Time is
// the count of motion ticks (200 ms each) and, for the wait before the final
// exit, an injectable clock.
#include <QObject>
#include <QTimer>
#include <QVector>
#include <functional>

class PowerManager : public QObject {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 200;
  static constexpr int kEvaluationWindow = 5;
  static constexpr int kWakeWindow = 4;
  static constexpr int kStillMin = 9, kStillMax = 16;  // mean of the middle three, m/s^2
  static constexpr int kWakeBelow = 7, kWakeAbove = 18;
  static constexpr int kCountdownSeconds = 10;
  static constexpr int kIdleMinMinutes = 5, kIdleMaxMinutes = 100;
  static constexpr int kPowerOffMinMinutes = 10, kPowerOffMaxMinutes = 120;
  static constexpr int kExitDelayMs = 600;
  // How long the exit waits at most for a recording to be finished on the
  // card (remux and all) before it goes anyway.
  static constexpr int kWriterWaitLimitMs = 60000;
  static constexpr int kWriterPollMs = 200;

  // Which minute value the energy adjust page edits: 0 idle sleep, any other
  // the automatic power-off.
  enum Target { kIdleSleepTarget = 0, kAutoPowerOffTarget = 1 };

  enum class Edit {
    Changed,        // stored: save the settings, refresh the pages
    Unchanged,      // nothing to do
    SensorMissing,  // switching on without a motion sensor: the note, page refreshed
    BelowIdleSleep  // power-off would come before idle sleep: the toast
  };

  explicit PowerManager(QObject* parent = nullptr);

  // Where the drift-trimmed samples come from: fills x, y, z in m/s^2 and
  // returns 0, or returns -1 (the tick is skipped).
  void setMotionSource(std::function<int(float out[3])> source) { source_ = std::move(source); }
  // Whether a recording is still being finished on the card (written,
  // remuxed); the final exit waits for it.
  void setWriterBusy(std::function<bool()> busy) { writerBusy_ = std::move(busy); }
  // Milliseconds of a monotonic clock, for the wait before the exit.
  void setClock(std::function<qint64()> nowMs) { nowMs_ = std::move(nowMs); }

  // The stored settings as loaded (already clamped by the settings store).
  // Nothing is emitted; call refreshPowerState() afterwards.
  void setEnergySettings(bool enabled, int idleSleepMinutes, int autoPowerOffMinutes);
  // The motion sensor opened (true) or not. Without one, energy saving is
  // switched off (energySettingsChanged) and the state refreshed.
  void setSensorAvailable(bool available);
  // Whether the home page is the current page: the countdown shows only there.
  void setOnHomePage(bool onHome);

  // The 200 ms motion tick.
  void pollAccelMotion();
  // A fast clock for watching the power timers on a simulator: each motion
  // tick then stands for `factor` ticks of the device's time, each with a
  // sample of its own, so the still count, the countdown, idle sleep and
  // automatic power-off come `factor` times sooner by the same rules. 1 (the
  // board) to kMaxTimeScale.
  void setTimeScale(int factor);
  int timeScale() const { return timeScale_; }
  static constexpr int kMaxTimeScale = 600;
  // Re-evaluates the energy-saving settings: leaving energy saving, or a
  // minute pair with power-off before idle sleep, wakes the device at once
  // and hides the countdown.
  void refreshPowerState();

  // The energy saving page's switch.
  Edit setEnergySavingEnabled(bool on);
  // The energy adjust page's +/- for a target; the value is clamped to the
  // target's range and refused when power-off would come before idle sleep.
  Edit nudgeEnergyMinutes(int target, int delta);
  // What the energy adjust page is set up with for a target.
  int minutes(int target) const;
  static int maximumMinutes(int target);

  // Starts the power-off sequence (the power key, or the automatic path).
  // False when it has begun already: the sequence runs once.
  bool requestPowerOff();

  bool energySavingEnabled() const { return enabled_; }
  int idleSleepMinutes() const { return idleMinutes_; }
  int autoPowerOffMinutes() const { return offMinutes_; }
  bool gsensorAvailable() const { return sensorAvailable_; }
  // Idle sleep and power-off may happen: energy saving on, a sensor, a
  // sensible minute pair.
  bool active() const;
  bool idleSleeping() const { return idleSleeping_; }
  bool poweringOff() const { return poweringOff_; }
  bool deviceStill() const { return deviceStill_; }
  int idleSeconds() const { return idleSeconds_; }
  int countdownShown() const { return countdown_; }

 public slots:
  // One step of the wait before the final exit (the exit timer's slot).
  void exitStep();

 signals:
  // Entering (true) or leaving (false) idle sleep. Entering: stop the
  // temperature poll, end a recording, tell the image thread (queued) and
  // hide the interface. Leaving: tell the image thread directly, show the
  // interface, re-apply the page, restart the temperature poll.
  void idleSleepChanged(bool sleeping);
  // Seconds left before idle sleep for the home page's line, 1..10; 0 hides it.
  void sleepCountdownChanged(int seconds);
  // The power-off sequence has begun (once): end a recording, pause the
  // camera, show the power-off picture.
  void powerOffStarted();
  // The final exit is due: the delay has passed and no recording is still
  // being finished.
  void exitRequested();
  // The energy-saving settings changed (switch, minutes, missing sensor):
  // store and save them, refresh the energy pages.
  void energySettingsChanged(bool enabled, int idleSleepMinutes, int autoPowerOffMinutes);

 private:
  void motionTick();
  int magnitude(const float s[3]) const;
  void enterIdleSleep();
  void exitIdleSleep();
  void showCountdown(int seconds);
  void restartStillness();

  std::function<int(float*)> source_;
  std::function<bool()> writerBusy_;
  std::function<qint64()> nowMs_;

  bool enabled_ = true;
  int idleMinutes_ = 30;
  int offMinutes_ = 60;
  bool sensorAvailable_ = false;
  bool onHome_ = true;
  int timeScale_ = 1;

  bool idleSleeping_ = false;
  bool poweringOff_ = false;
  bool deviceStill_ = false;
  int idleSeconds_ = 0;
  int idleMsAccum_ = 0;
  QVector<int> motionWindow_;
  QVector<int> sleepWindow_;
  int countdown_ = 0;

  QTimer exitTimer_;
  qint64 exitWaitStart_ = -1;
  bool exitSent_ = false;
};
