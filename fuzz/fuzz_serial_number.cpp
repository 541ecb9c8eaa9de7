// Arbitrary bytes as "/proc/cpuinfo" and as the device tree's serial number:
// the serial shown to the user never carries a NUL, a line break or blanks
// at its ends, and reading never fails in any other way than "none".
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "devices/serial_number.h"

namespace {
void check(const QString& serial, const char* where) {
  const bool ok = !serial.contains(QChar(0)) && !serial.contains(QLatin1Char('\n')) &&
                  serial == serial.trimmed();
  if (ok) return;
  std::fprintf(stderr, "serial_number: bad serial from %s\n", where);
  std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
  check(serial_number::fromCpuinfo(bytes), "cpuinfo");
  check(serial_number::fromDeviceTree(bytes), "device tree");
  return 0;
}
