#pragma once
// The hardware keys: the shutter/record key and the up key on one input
// device, the power key on another. Presses, releases and holds become the
// program's own key values; short and long presses are told apart here, so
// the rest of the program sees only finished gestures.
#include <QThread>
#include <sys/types.h>

#include <atomic>

#include "platform/run_fence.h"

enum user_key_value_e {
  USER_KEY_NONE = 0,
  USER_KEY_SHUTTER = 1,    // short press of the shutter key
  USER_KEY_RECORD = 2,     // the shutter key held
  USER_KEY_POWER_OFF = 9,  // the power key held
  USER_KEY_SR_TOGGLE = 14  // release of the up key
};
Q_DECLARE_METATYPE(user_key_value_e)

struct input_event;

namespace keys {

// One read from an input device: a whole key record (copied into *ev) or
// false for nothing, a short read or a record of another type.
bool keyRecord(const void* bytes, ssize_t n, input_event* ev);

// The gestures of the three keys, without devices or threads: records in,
// finished key values out. The countdowns advance only on idle ticks.
class KeyGestures {
 public:
  static constexpr int kKeyShutter = 176;  // KEY_EDIT
  static constexpr int kKeyUp = 103;       // KEY_UP
  static constexpr int kKeyPower = 116;    // KEY_POWER
  static constexpr int kHoldTicks = 20;    // shutter held: about 2 s
  static constexpr int kPowerTicks = 30;   // power key held: about 3 s

  // A key record from the shutter/up device; the value to emit or USER_KEY_NONE.
  user_key_value_e shutterDevice(const input_event& ev);
  // A key record from the power device; it only arms or disarms the countdown.
  void powerDevice(const input_event& ev);
  // A quiet tick: at most the power-off value, then the record value
  // (USER_KEY_NONE where a countdown did not run out).
  void idleTick(user_key_value_e* power, user_key_value_e* record);

 private:
  int holdTicks_ = 0;
  int powerTicks_ = 0;
};

}  // namespace keys

class Rv_key : public QThread {
  Q_OBJECT

 public:
  static constexpr int kKeyShutter = keys::KeyGestures::kKeyShutter;
  static constexpr int kKeyUp = keys::KeyGestures::kKeyUp;
  static constexpr int kKeyPower = keys::KeyGestures::kKeyPower;
  static constexpr int kHoldTicks = keys::KeyGestures::kHoldTicks;
  static constexpr int kPowerTicks = keys::KeyGestures::kPowerTicks;

  explicit Rv_key(QObject* parent = nullptr);
  ~Rv_key() override;

  // Ends the loop within one idle tick, also when it comes before the loop
  // has begun (a window closed right after it opened).
  void stop() { stopRequested_.store(true); }
  bool isPolling() const { return running_.load(); }
  // Length of an idle tick; 100 ms on the device, shorter in tests.
  void setTickMs(int ms) { tickMs_ = ms; }

 signals:
  void ck_key(user_key_value_e key_val);

 protected:
  void run() override;

 private:
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  platform::RunFence runFence_;
  int tickMs_ = 100;
};
