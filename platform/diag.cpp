#include "platform/diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace diag {
namespace {

// Formats into one buffer and writes it with one call, so lines from two
// threads never interleave mid-line.
void emit(FILE* stream, const char* prefix, const char* fmt, va_list ap) {
  char buf[1024];
  int n = 0;
  if (prefix) n = std::snprintf(buf, sizeof buf, "%s: ", prefix);
  if (n < 0) n = 0;
  const int m = std::vsnprintf(buf + n, sizeof buf - static_cast<size_t>(n), fmt, ap);
  size_t len = std::strlen(buf);
  (void)m;
  if (len == 0 || buf[len - 1] != '\n') {
    if (len >= sizeof buf - 1) len = sizeof buf - 2;
    buf[len++] = '\n';
    buf[len] = '\0';
  }
  std::fwrite(buf, 1, len, stream);
  std::fflush(stream);
}

struct Rules {
  std::mutex lock;
  bool loaded = false;
  std::vector<std::pair<std::string, Level>> rules;  // in order; the last match wins
};

// Never destroyed: threads may still log while static destruction runs.
Rules& rules() {
  static Rules* r = new Rules;
  return *r;
}

bool parseLevel(const std::string& word, Level* level) {
  static const std::pair<const char*, Level> kWords[] = {{"debug", Level::Debug},
                                                         {"info", Level::Info},
                                                         {"warning", Level::Warning},
                                                         {"error", Level::Error},
                                                         {"off", Level::Off}};
  for (const auto& [name, value] : kWords)
    if (word == name) {
      *level = value;
      return true;
    }
  return false;
}

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

void loadLocked(Rules& r, const char* text) {
  r.rules.clear();
  r.loaded = true;
  if (!text) return;
  const std::string all(text);
  size_t at = 0;
  while (at <= all.size()) {
    const size_t end = all.find_first_of(",;\n", at);
    const std::string rule = all.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const size_t eq = rule.find('=');
    Level level;
    if (eq != std::string::npos && parseLevel(trimmed(rule.substr(eq + 1)), &level)) {
      const std::string name = trimmed(rule.substr(0, eq));
      if (!name.empty()) r.rules.emplace_back(name, level);
    }
    if (end == std::string::npos) break;
    at = end + 1;
  }
}

void vlog(Category category, Level level, const char* fmt, va_list ap) {
  if (!enabled(category, level)) return;
  emit(stderr, category.name, fmt, ap);
}

}  // namespace

void setRules(const char* text) {
  Rules& r = rules();
  std::lock_guard<std::mutex> g(r.lock);
  loadLocked(r, text ? text : std::getenv("HEATLUME_LOG"));
}

bool enabled(Category category, Level level) {
  if (level >= Level::Off) return false;
  Rules& r = rules();
  std::lock_guard<std::mutex> g(r.lock);
  if (!r.loaded) loadLocked(r, std::getenv("HEATLUME_LOG"));
  Level least = Level::Info;
  for (const auto& [name, value] : r.rules)
    if (name == "*" || (category.name && name == category.name)) least = value;
  return level >= least;
}

void log(Category category, Level level, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vlog(category, level, fmt, ap);
  va_end(ap);
}

#define HEATLUME_DIAG_LEVEL(fn, lvl)               \
  void fn(Category category, const char* fmt, ...) { \
    va_list ap;                                      \
    va_start(ap, fmt);                               \
    vlog(category, lvl, fmt, ap);                    \
    va_end(ap);                                      \
  }
HEATLUME_DIAG_LEVEL(debug, Level::Debug)
HEATLUME_DIAG_LEVEL(info, Level::Info)
HEATLUME_DIAG_LEVEL(warning, Level::Warning)
HEATLUME_DIAG_LEVEL(error, Level::Error)
#undef HEATLUME_DIAG_LEVEL

void out(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  emit(stdout, nullptr, fmt, ap);
  va_end(ap);
}

void err(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  emit(stderr, nullptr, fmt, ap);
  va_end(ap);
}

}  // namespace diag
