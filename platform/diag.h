#pragma once
// One way to write a diagnostic line. The system's own fixed texts (the
// messages other tools and people grep for) go out exactly as they stand;
// messages of our own carry their subsystem's name first, so a log of the
// whole device still says who spoke. Every line ends with a newline, and a
// failure that repeats every frame is thinned by a Throttle.
#include <atomic>
#include <cstdint>

namespace diag {

// A fixed text of the system on standard output, printf-style; a missing
// final newline is added.
void out(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The same on standard error.
void err(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A message of our own: "<subsystem>: text" on standard error.
void note(const char* subsystem, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Lets through the 1st, 31st, 61st, ... event: a per-frame failure is seen
// without flooding the log. Safe to share between threads.
class Throttle {
 public:
  explicit Throttle(uint32_t every = 30) : every_(every) {}
  // Counts one event; true when this one should be logged. `count` receives
  // the running total.
  bool next(uint32_t* count = nullptr) {
    const uint32_t n = ++count_;
    if (count) *count = n;
    return every_ <= 1 || n % every_ == 1;
  }
  uint32_t count() const { return count_.load(); }
  void reset() { count_.store(0); }

 private:
  uint32_t every_;
  std::atomic<uint32_t> count_{0};
};

}  // namespace diag
