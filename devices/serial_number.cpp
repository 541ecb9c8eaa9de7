#include "devices/serial_number.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>

#include "platform/paths.h"

namespace serial_number {
namespace {

// /proc/cpuinfo grows with the core count; a few hundred bytes a core. The
// serial node is one short string.
constexpr qint64 kCpuinfoLimit = 256 * 1024;
constexpr qint64 kDeviceTreeLimit = 4096;

QString upToNul(const QByteArray& bytes) {
  const int nul = bytes.indexOf('\0');
  return QString::fromLatin1(nul >= 0 ? bytes.left(nul) : bytes);
}

// Files under /proc report size 0 and give a page per read: read until the
// end or the limit.
bool readBounded(const QString& systemPath, qint64 limit, QByteArray* out) {
  QFile f(platform::qpath(systemPath));
  if (!f.open(QIODevice::ReadOnly)) return false;
  out->clear();
  while (out->size() < limit) {
    const QByteArray chunk = f.read(limit - out->size());
    if (chunk.isEmpty()) break;
    out->append(chunk);
  }
  return true;
}

}  // namespace

QString fromCpuinfo(const QByteArray& text) {
  for (const QByteArray& raw : text.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (!line.startsWith("Serial")) continue;
    const int colon = line.indexOf(':');
    if (colon < 0) continue;
    const QString value = upToNul(line.mid(colon + 1).trimmed()).trimmed();
    if (!value.isEmpty()) return value;
  }
  return QString();
}

// A serial is one token on one line of the information page: anything past
// the first line of the property is not part of it.
QString fromDeviceTree(const QByteArray& bytes) {
  const QString value = upToNul(bytes).trimmed();
  const int eol = value.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
  return (eol >= 0 ? value.left(eol) : value).trimmed();
}

QString read() {
  QByteArray bytes;
  if (readBounded(QString::fromLatin1(kCpuinfoPath), kCpuinfoLimit, &bytes)) {
    const QString serial = fromCpuinfo(bytes);
    if (!serial.isEmpty()) return serial;
  }
  if (readBounded(QString::fromLatin1(kDeviceTreePath), kDeviceTreeLimit, &bytes))
    return fromDeviceTree(bytes);
  return QString();
}

}  // namespace serial_number
