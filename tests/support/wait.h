#pragma once
// Waiting on the interface thread while workers run: Qt events keep being
// handled (queued signals, timers) until the condition holds or time is up.
#include <QTest>
#include <QtGlobal>
#include <functional>

namespace testsupport {

// How much longer than on this machine things may take: a whole factor from
// HEATLUME_TEST_TIME_SCALE (tools/run-tests --armhf sets it for the emulated
// processor), 1 without it. Only limits stretch; nothing waits longer when
// the condition holds.
inline int timeScale() {
  static const int scale = qMax(1, qEnvironmentVariableIntValue("HEATLUME_TEST_TIME_SCALE"));
  return scale;
}

// For a test that counts what happens in real time (frames at the sensor's
// rate, gestures timed by the clock): under a stretched scale it cannot hold,
// and says so as a skip that ctest reports (tools/run-tests --armhf lists them).
#define HEATLUME_SKIP_WHEN_SLOWED(why)                                         \
  do {                                                                         \
    if (testsupport::timeScale() > 1) GTEST_SKIP() << "on a slowed processor: " << why; \
  } while (0)

// The last result of `done` after at most `ms` milliseconds (times the scale).
inline bool waitUntil(const std::function<bool()>& done, int ms) {
  return QTest::qWaitFor(done, ms * timeScale());
}

// Handles Qt events for `ms` milliseconds (times the scale).
inline void pump(int ms) { QTest::qWait(ms * timeScale()); }

}  // namespace testsupport
