#include "record/video_closer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/diag.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "record/media_probe.h"
#include "record/thumbnail_box.h"

namespace record {
namespace {

constexpr qint64 kMinRawBytes = 64;
constexpr int kRemuxAttempts = 3;

std::string fsName(const QString& boardPath) {
  return QFile::encodeName(platform::qpath(boardPath)).toStdString();
}

// Appends the box; a box that could not be written whole is cut off again so
// the file stays exactly the MP4 it was.
void appendThumbnail(const QString& mp4Fs, const QByteArray& jpeg) {
  if (jpeg.isEmpty()) return;
  const qint64 size = QFileInfo(mp4Fs).size();
  if (!appendThumbnailBox(mp4Fs, jpeg)) {
    diag::out("ERROR: append thm box failed: %s\n", QFile::encodeName(mp4Fs).constData());
    QFile::resize(mp4Fs, size);
  }
}

bool remux(const QString& rawPath, const QString& mp4Path) {
  const std::string raw = fsName(rawPath);
  const std::string mp4 = fsName(mp4Path);
  const QString mp4Fs = platform::qpath(mp4Path);
  for (int attempt = 1; attempt <= kRemuxAttempts; ++attempt) {
    // Whatever lies at the name is not this recording's remux.
    if (QFile::exists(mp4Fs)) QFile::remove(mp4Fs);
    const std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-framerate", "25",
        "-i",     raw,        "-c:v",         "copy",      "-f",    "mp4", mp4};
    diag::out("ffmpeg -y -framerate 25 -i %s -c:v copy -f mp4 %s\n", raw.c_str(), mp4.c_str());
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    const int status = platform::sys().runProgram(argv);
    const bool ok = status == 0 && isPlayableMp4(mp4Fs);
    diag::warning(diag::kRecording, "remux of %s: exit status %d, %s, %lld ms", raw.c_str(), status,
               ok ? "playable" : "no playable MP4", static_cast<long long>(t.elapsed()));
    if (ok) return true;
  }
  if (QFile::exists(mp4Fs)) QFile::remove(mp4Fs);
  return false;
}

}  // namespace

QString mp4PathFor(const QString& rawPath) { return rawPath.left(rawPath.size() - 4) + "mp4"; }

bool finishRawStream(const QString& rawPath, const QByteArray& jpeg, bool recovering) {
  const QString rawFs = platform::qpath(rawPath);
  const QString mp4Path = mp4PathFor(rawPath);
  const QString mp4Fs = platform::qpath(mp4Path);
  const qint64 size = QFileInfo(rawFs).size();
  bool done = false;
  if (recovering && isPlayableMp4(mp4Fs)) {
    if (readThumbnailBox(mp4Fs).isEmpty()) appendThumbnail(mp4Fs, firstFrameJpegOfRawStream(rawFs));
    done = true;
  } else if (size < kMinRawBytes) {
    diag::out("ERROR: h264 too small (%lld), skip ffmpeg remux\n", static_cast<long long>(size));
    if (!recovering) platform::sys().removeFile(rawPath.toStdString());
    platform::sys().syncFilesystems();
    return false;
  } else if (remux(rawPath, mp4Path)) {
    appendThumbnail(mp4Fs, jpeg.isEmpty() ? firstFrameJpegOfRawStream(rawFs) : jpeg);
    done = true;
  }
  if (done) {
    platform::sys().removeFile(rawPath.toStdString());
  } else {
    diag::warning(diag::kRecording, "%s stays on the card: no playable MP4 was made from it",
               QFile::encodeName(rawFs).constData());
  }
  platform::sys().syncFilesystems();
  return done;
}

QStringList rawStreamsOnCard() {
  const QDir dir(platform::qpath(QString::fromLatin1(kVideoDir)));
  static const QRegularExpression name(QStringLiteral("^video_(\\d+)\\.h264$"));
  std::vector<std::pair<long long, QString>> found;
  for (const QString& f : dir.entryList({QStringLiteral("video_*.h264")}, QDir::Files)) {
    const auto m = name.match(f);
    if (m.hasMatch()) found.emplace_back(m.captured(1).toLongLong(), f);
  }
  std::sort(found.begin(), found.end());
  QStringList out;
  for (const auto& f : found) out << QString::fromLatin1(kVideoDir) + f.second;
  return out;
}

}  // namespace record
