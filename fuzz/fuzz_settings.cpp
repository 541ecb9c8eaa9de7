// Arbitrary bytes as the settings file of a temporary board root, read the
// way the program reads it at start-up: the main window's thirteen keys into
// the state object, then the keys the image thread and photo capture keep.
// Whatever the file holds, every value comes out inside its range. There is
// no GUI application here on purpose: should a value ever reach QSettings as
// a serialised pixmap, the harness stops.
#include <fcntl.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/appcontroller.h"
#include "app/settings_store.h"
#include "platform/paths.h"
#include "platform/settings_file.h"
#include "record/photo_capture.h"

namespace {

// In memory where the system has it: every load ends in a synced write.
QTemporaryDir& rootDir() {
  static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                               ? QStringLiteral("/dev/shm/hl-fuzz-XXXXXX")
                               : QDir::tempPath() + QStringLiteral("/hl-fuzz-XXXXXX"));
  return dir;
}

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "settings: out of range: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  QDir(rootDir().path()).mkpath(QStringLiteral("etc"));
  platform::setRoot(rootDir().path().toStdString());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString file = platform::settingsFile();
  {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  // QSettings keeps parsed files and rereads one only when its size or time
  // changed: give every input a time of its own.
  static long stamp = 1'000'000'000;
  const struct timespec times[2] = {{++stamp, 0}, {stamp, 0}};
  utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0);

  AppController state;
  ControllerSettings c;
  loadControllerSettings(*settings::open(), c, &state);
  check(c.zoomTenths >= 10 && c.zoomTenths <= 20, "zoom");
  check(c.reticleColor >= 0 && c.reticleColor <= 2, "reticle colour");
  check(c.reticleDotColor >= 0 && c.reticleDotColor <= 2, "dot colour");
  check(c.language >= 0 && c.language <= 2, "language");
  check(c.idleSleepMinutes >= 5 && c.idleSleepMinutes <= 100, "idle minutes");
  check(c.autoPowerOffMinutes >= 10 && c.autoPowerOffMinutes <= 120 &&
            c.autoPowerOffMinutes >= c.idleSleepMinutes,
        "power-off minutes");
  check(state.brightness() >= 0 && state.brightness() <= 100, "brightness");
  check(state.reticleType() >= 0 && state.reticleType() < AppController::kReticleTypeCount,
        "reticle type");
  check(state.paletteMode() >= 0 && state.paletteMode() < AppController::kPaletteCount, "palette");

  const int blocks = settings::loadVideoEncMBCnt();
  check(blocks >= 2 && blocks <= 8, "encoder blocks");
  settings::readVideoFileNum();
  const int photo = PhotoCapture::takePictureNumber();
  check(photo >= 0 && photo <= 10000, "photo number");
  return 0;
}
