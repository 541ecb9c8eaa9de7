#pragma once
// The board's serial number: the "Serial" line of "/proc/cpuinfo", else the
// device tree's "serial-number" node. Empty when neither gives one.
#include <QByteArray>
#include <QString>

namespace serial_number {

inline constexpr const char* kCpuinfoPath = "/proc/cpuinfo";
inline constexpr const char* kDeviceTreePath = "/sys/firmware/devicetree/base/serial-number";

// Reads both sources through the path mapping.
QString read();

// The value of the first "Serial ... : value" line that has one, up to a NUL.
QString fromCpuinfo(const QByteArray& text);
// The node's text up to its first NUL, trimmed.
QString fromDeviceTree(const QByteArray& bytes);

}  // namespace serial_number
