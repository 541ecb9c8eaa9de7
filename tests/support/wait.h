#pragma once
// Waiting on the interface thread while workers run: Qt events keep being
// handled (queued signals, timers) until the condition holds or time is up.
#include <QTest>
#include <functional>

namespace testsupport {

// The last result of `done` after at most `ms` milliseconds.
inline bool waitUntil(const std::function<bool()>& done, int ms) {
  return QTest::qWaitFor(done, ms);
}

// Handles Qt events for `ms` milliseconds.
inline void pump(int ms) { QTest::qWait(ms); }

}  // namespace testsupport
