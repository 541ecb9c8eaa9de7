#pragma once
// One way to write a diagnostic line. The system's own fixed texts (the
// messages other tools and people grep for) go out exactly as they stand;
// messages of our own carry their category's name first, so a log of the
// whole device still says who spoke, and have a level that the rules in
// "HEATLUME_LOG" filter. Every line ends with a newline, and a failure that
// repeats every frame is thinned by a Throttle.
#include <atomic>
#include <cstdint>

namespace diag {

// A fixed text of the system on standard output, printf-style; a missing
// final newline is added.
void out(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The same on standard error.
void err(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// How much a message matters; a category writes its lines at or above the
// level its rules set (Info unless told otherwise).
enum class Level { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };

// The subsystems that speak. A line of ours begins with its category's name,
// and the rules filter by it.
struct Category {
  const char* name;
};
inline constexpr Category kSystem{"system"};        // programs run, files removed, the exit
inline constexpr Category kCamera{"camera"};        // the capture device and its stream
inline constexpr Category kDisplay{"display"};      // DRM/KMS planes and buffers
inline constexpr Category kRga{"rga"};              // the 2-D accelerator
inline constexpr Category kNpu{"npu"};              // super-resolution
inline constexpr Category kJpeg{"jpeg"};            // photo and thumbnail encoding
inline constexpr Category kPhoto{"photo"};          // photos written to the card
inline constexpr Category kRecording{"recording"};  // the writer, remux, recovery
inline constexpr Category kPlayback{"playback"};    // the video player
inline constexpr Category kPower{"power"};          // idle sleep, wake, power-off
inline constexpr Category kSensor{"sensor"};        // the core's command channel
inline constexpr Category kSettings{"settings"};    // the settings file

// Rules as in "camera=debug,recording=warning,*=error": category (or * for
// all) = debug|info|warning|error|off, separated by commas, semicolons or
// line feeds; a later rule wins over an earlier one. Unknown words are
// ignored. The program reads them from "HEATLUME_LOG" when it first writes a
// line; setRules replaces them (tests, or nullptr to read the variable again).
void setRules(const char* rules);
bool enabled(Category category, Level level);

// A message of our own: "<category>: text" on standard error, if the
// category's rules let its level through.
void log(Category category, Level level, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void debug(Category category, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void info(Category category, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void warning(Category category, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void error(Category category, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

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
