#include "app/key_table.h"

#include <gtest/gtest.h>

using keys::Context;
using keys::Intent;

namespace {

Context at(bool onHome, bool sd, bool recording, bool cameraOff = false) {
  Context c;
  c.onHome = onHome;
  c.sdPresent = sd;
  c.recording = recording;
  c.cameraOff = cameraOff;
  return c;
}

}  // namespace

TEST(KeyTable, EachKeyOnEachPage) {
  struct Case {
    user_key_value_e key;
    Context where;
    Intent want;
  };
  const Case cases[] = {
      {USER_KEY_SHUTTER, at(true, true, false), Intent::TakePhoto},
      {USER_KEY_SHUTTER, at(true, false, false), Intent::AskForCard},
      {USER_KEY_SHUTTER, at(false, true, false), Intent::None},  // menus take no photo
      // Any page: a tap of the shutter ends a recording.
      {USER_KEY_SHUTTER, at(false, true, true), Intent::StopRecording},
      {USER_KEY_RECORD, at(true, true, false), Intent::StartRecording},
      {USER_KEY_RECORD, at(true, false, false), Intent::AskForCard},
      {USER_KEY_RECORD, at(false, true, false), Intent::None},
      {USER_KEY_RECORD, at(true, true, true), Intent::None},
      // The camera off (asleep, low battery, charging): nothing to record, and
      // no number used up; the power and up keys still work.
      {USER_KEY_SHUTTER, at(true, true, false, true), Intent::None},
      {USER_KEY_RECORD, at(true, true, false, true), Intent::None},
      {USER_KEY_POWER_OFF, at(false, false, false, true), Intent::PowerOff},
      {USER_KEY_SR_TOGGLE, at(true, true, true, true), Intent::ToggleSuperResolution},
      {USER_KEY_NONE, at(true, true, false), Intent::None},
  };
  for (const Case& c : cases)
    EXPECT_EQ(keys::intentFor(c.key, c.where), c.want)
        << "key " << c.key << " home " << c.where.onHome << " sd " << c.where.sdPresent
        << " rec " << c.where.recording << " off " << c.where.cameraOff;
}

// x1, x2, x1, ...; a stored value between the steps turns at the next end.
TEST(KeyTable, ZoomStepsBetweenItsEnds) {
  keys::Zoom z;
  const int want[] = {20, 10, 20, 10};
  for (int w : want) {
    z = keys::nextZoom(z);
    EXPECT_EQ(z.tenths, w);
  }
  EXPECT_EQ(keys::nextZoom({15, true}).tenths, 20);
  EXPECT_FALSE(keys::nextZoom({15, true}).rising);
  EXPECT_EQ(keys::nextZoom({15, false}).tenths, 10);
  EXPECT_TRUE(keys::nextZoom({15, false}).rising);
}
