#include "devices/power_supply.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>
#include <algorithm>

#include "platform/paths.h"
#include "platform/unique_fd.h"

namespace power_supply {

int readIntFile(const QString& systemPath) {
  QFile f(platform::qpath(systemPath));
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return -1;
  bool ok = false;
  const int v = QString::fromLatin1(f.read(64)).trimmed().toInt(&ok);
  return ok ? v : -1;
}

int readChargingStatus() {
  QFile f(platform::qpath(QString::fromLatin1(kChargerStatusPath)));
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return -1;
  QByteArray bytes = f.read(256);
  const int nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  const QString text = QString::fromLatin1(bytes).simplified();
  return text.compare(QLatin1String("Charging"), Qt::CaseInsensitive) == 0 ? 1 : 0;
}

int applyBacklightBrightness(int percent) {
  percent = qBound(0, percent, 100);
  const int value = (percent * 255 + 50) / 100;
  const std::string path = platform::path(kBacklightPath);
  // O_TRUNC: sysfs ignores it; the simulated board keeps the value in a plain file.
  const platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
  if (!fd.valid()) return -1;
  const QByteArray text = QByteArray::number(value);
  const ssize_t n = ::write(fd.get(), text.constData(), static_cast<size_t>(text.size()));
  return n == text.size() ? 0 : -1;
}

bool sdCardPresent() {
  return QFileInfo::exists(platform::qpath(QString::fromLatin1(kSdCardNode)));
}

BatterySmoother::Result BatterySmoother::add(int raw) {
  samples_.append(raw);
  while (samples_.size() > 5) samples_.removeFirst();
  if (samples_.size() == 5) {
    int sum = 0;
    for (int v : samples_) sum += v;
    const auto [mn, mx] = std::minmax_element(samples_.begin(), samples_.end());
    const int t = sum - *mn - *mx;
    if (t >= 303) return {100, false};
    return {std::max(t / 3, 0), t < 30};
  }
  return {raw, raw <= 9};
}

}  // namespace power_supply
