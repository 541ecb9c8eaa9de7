#include "tests/gallery/gallery_test_util.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <string>
#include <vector>

#include "platform/system_actions.h"

namespace gallerytest {

QByteArray jpeg(int w, int h, const QColor& colour) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(colour);
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "JPEG", 90);
  return out;
}

void put(const TempRoot& root, const QString& dir, const QStringList& names,
         const QByteArray& content) {
  QDir().mkpath(root.file(dir));
  for (const QString& n : names) root.write(dir + '/' + n, content);
}

QStringList names(const QStringList& paths) {
  QStringList out;
  for (const QString& p : paths) out << QFileInfo(p).fileName();
  return out;
}

QString makeVideo(const QString& dir, double seconds, const QString& name, bool faststart) {
  QDir().mkpath(dir);
  const QString out = QDir(dir).filePath(name);
  QStringList args{"-y", "-loglevel", "error", "-f", "lavfi", "-i",
                   "testsrc=size=360x320:rate=25", "-t", QString::number(seconds), "-c:v",
                   "libx264", "-pix_fmt", "yuv420p"};
  if (faststart) args << "-movflags" << "+faststart";
  // Run as the program runs its helpers (posix_spawn): QProcess's fork with a
  // process descriptor is refused by user-mode emulators.
  std::vector<std::string> argv{"ffmpeg"};
  for (const QString& a : args << out) argv.push_back(a.toStdString());
  platform::LinuxSystemActions system(false);
  if (system.runProgram(argv) != 0) return {};
  return out;
}

}  // namespace gallerytest
