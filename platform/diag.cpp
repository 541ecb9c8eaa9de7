#include "platform/diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

}  // namespace

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

void note(const char* subsystem, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  emit(stderr, subsystem, fmt, ap);
  va_end(ap);
}

}  // namespace diag
