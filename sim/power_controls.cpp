#include "sim/power_controls.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/card_write.h"
#include "sim/board_root.h"
#include "sim/sim_accel.h"

namespace sim {
namespace {

constexpr const char* kCapacity = "/sys/class/power_supply/cw2015-battery/capacity";
constexpr const char* kStatus = "/sys/devices/platform/charger/power_supply/charger/status";
constexpr const char* kOnline = "/sys/devices/platform/charger/power_supply/charger/online";
constexpr const char* kCardNode = "/dev/mmcblk1p1";

__attribute__((format(printf, 1, 2))) void say(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vprintf(fmt, ap);
  va_end(ap);
  std::fflush(stdout);
}

}  // namespace

PowerControls::PowerControls(const QString& root, SimAccel* accel) : root_(root), accel_(accel) {}

QString PowerControls::file(const char* systemPath) const {
  return root_ + QString::fromLatin1(systemPath);
}

bool PowerControls::writeFile(const char* systemPath, const QByteArray& content) {
  // Never the PC's own /sys or /dev.
  if (root_.isEmpty() || QDir(root_).canonicalPath() == QLatin1String("/")) return false;
  // Replaced whole, so the program's once-a-second read never sees half a value.
  QSaveFile f(file(systemPath));
  if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size() || !f.commit()) {
    std::fprintf(stderr, "heatlume-sim: cannot write %s under the board root\n", systemPath);
    return false;
  }
  return true;
}

bool PowerControls::setBatteryPercent(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (!writeFile(kCapacity, QByteArray::number(percent) + "\n")) return false;
  say("heatlume-sim: battery %d %%\n", percent);
  return true;
}

bool PowerControls::setCharger(bool connected) {
  if (!writeFile(kStatus, connected ? "Charging\n" : "Discharging\n") ||
      !writeFile(kOnline, connected ? "1\n" : "0\n"))
    return false;
  say("heatlume-sim: charger %s\n", connected ? "connected" : "disconnected");
  return true;
}

bool PowerControls::setCardInserted(bool inserted) {
  if (root_.isEmpty() || QDir(root_).canonicalPath() == QLatin1String("/")) return false;
  // Files open on the card fail from the moment it leaves the slot, before
  // its folder goes: a write in between must fail, not land in the folder.
  if (!inserted) platform::setCardPulled(true);
  if (!setSdCardInserted(root_, inserted)) {
    std::fprintf(stderr, "heatlume-sim: cannot %s the SD card\n", inserted ? "insert" : "remove");
    if (!inserted) platform::setCardPulled(!cardInserted());
    return false;
  }
  if (inserted) platform::setCardPulled(false);
  say("heatlume-sim: SD card %s\n", inserted ? "inserted" : "removed");
  return true;
}

bool PowerControls::setHandled(bool handled) {
  if (!accel_) {
    std::fprintf(stderr, "heatlume-sim: this board has no accelerometer\n");
    return false;
  }
  accel_->setHandled(handled);
  say("heatlume-sim: device %s\n", handled ? "being handled" : "lying still");
  return true;
}

int PowerControls::batteryPercent() const {
  QFile f(file(kCapacity));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  bool ok = false;
  const int v = f.read(32).trimmed().toInt(&ok);
  return ok ? v : -1;
}

bool PowerControls::chargerConnected() const {
  QFile f(file(kOnline));
  if (!f.open(QIODevice::ReadOnly)) return false;
  return f.read(32).trimmed().toInt() > 0;
}

bool PowerControls::cardInserted() const { return QFile::exists(file(kCardNode)); }

bool PowerControls::handled() const { return accel_ && accel_->handled(); }

bool PowerControls::stepBattery(int delta) {
  const int now = batteryPercent();
  return setBatteryPercent((now < 0 ? 50 : now) + delta);
}

}  // namespace sim
