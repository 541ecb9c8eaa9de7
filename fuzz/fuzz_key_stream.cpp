// Arbitrary bytes as what the two key devices deliver. The input is a run of
// reads: one control byte (bit 0: the power device; bit 1: an idle tick
// instead of a read; bits 2-7: how many bytes the read returned, so short and
// long reads happen), then those bytes. The key reader's loop is replayed on
// them without its thread, and the gestures it reports must be possible ones.
#include <linux/input.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "devices/rv_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  keys::KeyGestures gestures;
  bool shutterDown = false;  // a press of the shutter key is pending
  size_t i = 0;
  while (i < size) {
    const uint8_t control = data[i++];
    if (control & 2) {
      user_key_value_e power, record;
      gestures.idleTick(&power, &record);
      if (power != USER_KEY_NONE && power != USER_KEY_POWER_OFF) std::abort();
      if (record == USER_KEY_RECORD) {
        // A hold fires once per press.
        if (!shutterDown) std::abort();
        shutterDown = false;
      } else if (record != USER_KEY_NONE) {
        std::abort();
      }
      continue;
    }
    const size_t want = control >> 2;
    const size_t n = want < size - i ? want : size - i;
    input_event ev;
    const bool key = keys::keyRecord(data + i, static_cast<ssize_t>(n), &ev);
    i += n;
    if (!key) continue;
    if (control & 1) {
      gestures.powerDevice(ev);
      continue;
    }
    const user_key_value_e v = gestures.shutterDevice(ev);
    const bool shutterPress = ev.code == keys::KeyGestures::kKeyShutter && ev.value == 1;
    const bool shutterRelease = ev.code == keys::KeyGestures::kKeyShutter && ev.value < 1;
    switch (v) {
      case USER_KEY_NONE:
        break;
      case USER_KEY_SHUTTER:
        if (!shutterRelease || !shutterDown) std::abort();
        break;
      case USER_KEY_SR_TOGGLE:
        if (ev.code != keys::KeyGestures::kKeyUp || ev.value != 0) std::abort();
        break;
      default:
        std::abort();
    }
    if (shutterPress) shutterDown = true;
    if (shutterRelease) shutterDown = false;
  }
  return 0;
}
