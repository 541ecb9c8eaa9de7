#include "sim/board_root.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>

namespace sim {
namespace {

bool writeIfMissing(const QString& file, const QByteArray& content) {
  if (QFileInfo::exists(file)) return true;
  if (!QDir().mkpath(QFileInfo(file).absolutePath())) return false;
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly)) return false;
  return f.write(content) == content.size();
}

// Where the card's folder is while the card is out, and what its name then
// points to: nothing that exists.
constexpr const char* kCardFolder = "mnt/sdcard";
constexpr const char* kNowhere = "(card removed)";

bool isRemovedCardLink(const QFileInfo& card) {
  return card.isSymLink() && card.symLinkTarget().endsWith(QLatin1String(kNowhere));
}

}  // namespace

bool setSdCardInserted(const QString& dir, bool inserted) {
  const QDir root(dir);
  const QString node = root.filePath("dev/mmcblk1p1");
  const QString folder = root.filePath(kCardFolder);
  const QString aside = root.filePath(kRemovedCardFolder);
  const QFileInfo card(folder);
  if (inserted) {
    if (isRemovedCardLink(card)) {
      if (!QFile::remove(folder) || !QDir().rename(aside, folder)) {
        std::fprintf(stderr, "heatlume-sim: cannot put the card's folder back from %s\n",
                     qPrintable(aside));
        return false;
      }
    }
    return writeIfMissing(node, QByteArray());
  }
  if (QFileInfo::exists(node) && !QFile::remove(node)) return false;
  if (isRemovedCardLink(card)) return true;  // out already
  if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink()) {
    std::fprintf(stderr, "heatlume-sim: %s is in the way of the card's folder\n",
                 qPrintable(aside));
    return false;
  }
  if (card.exists() && !QDir().rename(folder, aside)) return false;
  return QFile::link(QString::fromLatin1(kNowhere), folder);
}

bool ensureBoardRoot(const QString& dir, const BoardRootOptions& o) {
  const QDir root(dir);
  // A card left out by an earlier run goes back in first; the options below
  // decide whether it stays.
  if (isRemovedCardLink(QFileInfo(root.filePath(kCardFolder))) && !setSdCardInserted(dir, true))
    return false;
  const char* const folders[] = {
      "etc", "mnt/sdcard/picture", "mnt/sdcard/video", "dev", "oem", "proc", "tmp"};
  for (const char* f : folders) {
    if (!root.mkpath(QString::fromLatin1(f))) {
      std::fprintf(stderr, "heatlume-sim: cannot create %s/%s\n", qPrintable(dir), f);
      return false;
    }
  }
  const QByteArray status = o.charging ? "Charging\n" : "Discharging\n";
  bool ok = true;
  ok &= writeIfMissing(root.filePath("sys/class/power_supply/cw2015-battery/capacity"),
                       QByteArray::number(o.batteryPercent) + "\n");
  ok &= writeIfMissing(root.filePath("sys/devices/platform/charger/power_supply/charger/status"),
                       status);
  ok &= writeIfMissing(root.filePath("sys/devices/platform/charger/power_supply/charger/online"),
                       o.chargerOnline ? "1\n" : "0\n");
  ok &= writeIfMissing(root.filePath("sys/class/backlight/22120000.dsi.0/brightness"),
                       QByteArray::number(o.backlight));
  ok &= writeIfMissing(root.filePath("sys/class/backlight/22120000.dsi.0/max_brightness"),
                       "255\n");
  ok &= writeIfMissing(root.filePath("proc/cpuinfo"),
                       "processor\t: 0\nmodel name\t: ARMv8 Processor rev 4 (v8l)\n"
                       "Hardware\t: Rockchip RV1126B (simulated)\n"
                       "Serial\t\t: 5a1c0de5e7a1b00c\n");
  ok &= setSdCardInserted(dir, o.sdCardInserted);
  if (!ok) std::fprintf(stderr, "heatlume-sim: incomplete board root in %s\n", qPrintable(dir));
  return ok;
}

QString defaultBoardRoot() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
      .filePath(QStringLiteral("heatlume-sim/board"));
}

}  // namespace sim
