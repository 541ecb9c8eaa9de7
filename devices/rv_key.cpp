#include "devices/rv_key.h"

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>


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

namespace {

// One whole key record, or false for nothing, a short read or another type.
bool readKey(int fd, input_event* ev) {
  const ssize_t n = platform::dev().read(fd, ev, sizeof *ev);
  return n == static_cast<ssize_t>(sizeof *ev) && ev->type == EV_KEY;
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

  int holdTicks = 0;
  int powerTicks = 0;
  input_event ev;
  while (!stopRequested_.load()) {
    if (readKey(fd1, &ev)) {
      if (ev.value > 1) continue;  // auto-repeat
      if (ev.code == kKeyShutter) {
        if (ev.value == 1) {
          holdTicks = kHoldTicks;
        } else if (holdTicks != 0) {  // released before the hold fired
          holdTicks = 0;
          emit ck_key(USER_KEY_SHUTTER);
        }
      } else if (ev.code == kKeyUp && ev.value == 0) {
        emit ck_key(USER_KEY_SR_TOGGLE);
      }
      continue;
    }
    if (readKey(fd2, &ev)) {
      if (ev.value > 1 || ev.code != kKeyPower) continue;
      powerTicks = ev.value == 1 ? kPowerTicks : 0;
      continue;
    }
    // Idle tick: the countdowns advance only while no input arrives.
    QThread::msleep(static_cast<unsigned long>(tickMs_));
    if (powerTicks > 0 && --powerTicks == 0) emit ck_key(USER_KEY_POWER_OFF);
    if (holdTicks > 0 && --holdTicks == 0) emit ck_key(USER_KEY_RECORD);
  }
  io.close(fd1);
  io.close(fd2);
  running_.store(false);
}
