#pragma once
// What the board's keys do, and how the live view's zoom steps: decided from
// where the device is alone, so the table can be exercised without a window.
#include "devices/rv_key.h"

namespace keys {

// Where the device is when a key arrives.
struct Context {
  bool onHome = false;     // the live view is the page on screen
  bool sdPresent = false;  // a card is in the slot
  bool recording = false;
  // Asleep, or behind the low-battery or charging screen: the camera is off,
  // so a photo or a recording would be empty and still use up a number.
  bool cameraOff = false;
};

enum class Intent {
  None,
  TakePhoto,
  StartRecording,
  StopRecording,
  AskForCard,  // the "insert a card" toast
  PowerOff,
  ToggleSuperResolution,
};

Intent intentFor(user_key_value_e key, const Context& context);

// One tap of the zoom: x1 and x2 and back, turning at either end.
struct Zoom {
  int tenths = 10;
  bool rising = true;
};
Zoom nextZoom(Zoom current);

}  // namespace keys
