#include "devices/rv_key.h"

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/devio.h"
#include "platform/diag.h"

Rv_key::Rv_key(QObject* parent) : QThread(parent) {
  qRegisterMetaType<user_key_value_e>("user_key_value_e");
}

Rv_key::~Rv_key() {
  stop();
  wait();
  runFence_.observe();
}

// The board's kernel is 32-bit: its records are 16 bytes, and the program
// reads them whole.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(input_event) == 16, "32-bit input record is 16 bytes");
#else
static_assert(sizeof(input_event) == 24, "64-bit input record carries 64-bit times");
#endif

namespace keys {

bool keyRecord(const void* bytes, ssize_t n, input_event* ev) {
  if (n != static_cast<ssize_t>(sizeof *ev)) return false;
  std::memcpy(ev, bytes, sizeof *ev);
  return ev->type == EV_KEY;
}

user_key_value_e KeyGestures::shutterDevice(const input_event& ev) {
  if (ev.value > 1) return USER_KEY_NONE;  // auto-repeat
  if (ev.code == kKeyShutter) {
    if (ev.value == 1) {
      holdTicks_ = kHoldTicks;
    } else if (holdTicks_ != 0) {  // released before the hold fired
      holdTicks_ = 0;
      return USER_KEY_SHUTTER;
    }
  } else if (ev.code == kKeyUp && ev.value == 0) {
    return USER_KEY_SR_TOGGLE;
  }
  return USER_KEY_NONE;
}

void KeyGestures::powerDevice(const input_event& ev) {
  if (ev.value > 1 || ev.code != kKeyPower) return;
  powerTicks_ = ev.value == 1 ? kPowerTicks : 0;
}

void KeyGestures::idleTick(user_key_value_e* power, user_key_value_e* record) {
  *power = powerTicks_ > 0 && --powerTicks_ == 0 ? USER_KEY_POWER_OFF : USER_KEY_NONE;
  *record = holdTicks_ > 0 && --holdTicks_ == 0 ? USER_KEY_RECORD : USER_KEY_NONE;
}

}  // namespace keys

namespace {

// One whole key record, or false for nothing, a short read or another type.
bool readKey(int fd, input_event* ev) {
  input_event raw;
  const ssize_t n = platform::dev().read(fd, &raw, sizeof raw);
  return keys::keyRecord(&raw, n, ev);
}

}  // namespace

void Rv_key::run() {
  platform::RunFence::Scope fence(runFence_);
  running_.store(true);
  platform::DeviceIo& io = platform::dev();
  const int fd1 = io.open("/dev/input/event1", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd1 <= 0) {
    diag::out("Rv_key: cannot open /dev/input/event1");
    running_.store(false);
    return;
  }
  const int fd2 = io.open("/dev/input/event2", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd2 <= 0) {
    diag::out("Rv_key: cannot open /dev/input/event2");
    io.close(fd1);
    running_.store(false);
    return;
  }

  keys::KeyGestures gestures;
  input_event ev;
  while (!stopRequested_.load()) {
    if (readKey(fd1, &ev)) {
      const user_key_value_e key = gestures.shutterDevice(ev);
      if (key != USER_KEY_NONE) emit ck_key(key);
      continue;
    }
    if (readKey(fd2, &ev)) {
      gestures.powerDevice(ev);
      continue;
    }
    // Idle tick: the countdowns advance only while no input arrives.
    QThread::msleep(static_cast<unsigned long>(tickMs_));
    user_key_value_e power, record;
    gestures.idleTick(&power, &record);
    if (power != USER_KEY_NONE) emit ck_key(power);
    if (record != USER_KEY_NONE) emit ck_key(record);
  }
  io.close(fd1);
  io.close(fd2);
  running_.store(false);
}
