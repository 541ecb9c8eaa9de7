// The thumbnail reader over an arbitrary video file: any bytes a card may hold.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "record/thumbnail_box.h"

namespace {
QString scratchFile() {
  // In memory where the system has it: the reader is fuzzed, not the disk.
  static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                               ? QStringLiteral("/dev/shm/hl-fuzz-XXXXXX")
                               : QDir::tempPath() + QStringLiteral("/hl-fuzz-XXXXXX"));
  return dir.path() + QStringLiteral("/video_1.mp4");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path = scratchFile();
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  // A small limit as well as the default one, so the bound itself is exercised.
  for (const qint64 limit : {record::kMaxThumbnailBytes, qint64(64)}) {
    const QByteArray jpeg = record::readThumbnailBox(path, limit);
    // What comes back lies inside the file and within the limit.
    if (!jpeg.isEmpty() && (jpeg.size() > limit || static_cast<size_t>(jpeg.size()) + 8 > size))
      std::abort();
  }
  return 0;
}
