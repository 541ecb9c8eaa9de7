#include "app/key_table.h"

namespace keys {

Intent intentFor(user_key_value_e key, const Context& c) {
  switch (key) {
    case USER_KEY_SHUTTER:
      if (c.cameraOff) return Intent::None;
      if (c.recording) return Intent::StopRecording;
      if (!c.onHome) return Intent::None;
      return c.sdPresent ? Intent::TakePhoto : Intent::AskForCard;
    case USER_KEY_RECORD:
      if (c.cameraOff || !c.onHome || c.recording) return Intent::None;
      return c.sdPresent ? Intent::StartRecording : Intent::AskForCard;
    case USER_KEY_POWER_OFF:
      return Intent::PowerOff;
    case USER_KEY_SR_TOGGLE:
      return Intent::ToggleSuperResolution;
    default:
      return Intent::None;
  }
}

Zoom nextZoom(Zoom z) {
  if (z.rising) {
    z.tenths += 10;
    if (z.tenths > 19) z = {20, false};
  } else {
    z.tenths -= 10;
    if (z.tenths <= 10) z = {10, true};
  }
  return z;
}

}  // namespace keys
