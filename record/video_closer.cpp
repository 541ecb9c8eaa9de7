#include "record/video_closer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/card_write.h"
#include "platform/diag.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "record/media_probe.h"
#include "record/thumbnail_box.h"
#include "platform/unique_fd.h"

namespace record {
namespace {

constexpr qint64 kMinRawBytes = 64;
constexpr int kRemuxAttempts = 3;
// The remux copies the stream: file input and output only, which even a slow
// card does many times faster than this. A program still running after the
// floor plus this rate has hung, and is killed.
constexpr int64_t kRemuxFloorMs = 60000;
constexpr int64_t kRemuxBytesPerMs = 512;  // 512 kB/s

std::string fsName(const QString& boardPath) {
  return QFile::encodeName(platform::qpath(boardPath)).toStdString();
}

enum class Entry { None, File, Other };

// What is at the name itself, a link not followed.
Entry entryAt(const std::string& fsPath) {
  struct stat st;
  if (::lstat(fsPath.c_str(), &st) != 0) return Entry::None;
  return S_ISREG(st.st_mode) ? Entry::File : Entry::Other;
}

// The name still leads to the file behind `fd`, and to nothing else.
bool sameFile(int fd, const std::string& fsPath) {
  struct stat a, b;
  return ::fstat(fd, &a) == 0 && ::lstat(fsPath.c_str(), &b) == 0 && S_ISREG(b.st_mode) &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void appendThumbnail(const QString& mp4Fs, const QByteArray& jpeg) {
  if (jpeg.isEmpty()) return;
  if (!appendThumbnailBox(mp4Fs, jpeg))
    diag::out("ERROR: append thm box failed: %s\n", QFile::encodeName(mp4Fs).constData());
}

// Remuxes into a file of our own at the temporary name. Returns its
// descriptor once the file there plays, or -1.
platform::UniqueFd remux(const QString& rawPath, const QString& tempPath, qint64 rawBytes) {
  const std::string raw = fsName(rawPath);
  const std::string temp = fsName(tempPath);
  const QString tempFs = platform::qpath(tempPath);
  const int64_t deadlineMs = kRemuxFloorMs + rawBytes / kRemuxBytesPerMs;
  for (int attempt = 1; attempt <= kRemuxAttempts; ++attempt) {
    // What lies at the temporary name is an earlier attempt's; a link there
    // goes, its target untouched. The file the program writes is then ours.
    ::unlink(temp.c_str());
    platform::UniqueFd fd(platform::cardCreate(temp.c_str()));
    if (!fd.valid()) {
      diag::warning(diag::kRecording, "cannot create %s: %s", temp.c_str(), std::strerror(errno));
      return {};
    }
    const std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-framerate", "25",
        "-i",     raw,        "-c:v",         "copy",      "-f",    "mp4", temp};
    diag::out("ffmpeg -y -framerate 25 -i %s -c:v copy -f mp4 %s\n", raw.c_str(), temp.c_str());
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    const int status = platform::sys().runProgram(argv, deadlineMs);
    const bool ok = status == 0 && sameFile(fd.get(), temp) && isPlayableMp4(tempFs);
    diag::warning(diag::kRecording, "remux of %s: exit status %d, %s, %lld ms", raw.c_str(), status,
               ok ? "playable" : "no playable MP4", static_cast<long long>(t.elapsed()));
    if (ok) return fd;
    fd.reset();
    ::unlink(temp.c_str());
    // A program that hung once is not given the card again.
    if (status == platform::kProgramTimedOut) break;
  }
  return {};
}

// Gives the checked video at `tempPath` its finished name. What lies there
// and does not play (a link, the remains of a remux cut short) makes way;
// a playable video is never replaced.
bool placeVideo(const QString& tempPath, const QString& mp4Path) {
  const std::string temp = fsName(tempPath);
  const std::string mp4 = fsName(mp4Path);
  const Entry there = entryAt(mp4);
  if (there == Entry::Other || (there == Entry::File && !isPlayableMp4(platform::qpath(mp4Path))))
    ::unlink(mp4.c_str());
  int rc = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, mp4.c_str(), RENAME_NOREPLACE);
  // A file system that does not know the flag: the name was checked free.
  if (rc != 0 && errno == EINVAL && entryAt(mp4) == Entry::None)
    rc = ::rename(temp.c_str(), mp4.c_str());
  if (rc == 0) return true;
  diag::warning(diag::kRecording, "cannot rename %s to %s: %s", temp.c_str(), mp4.c_str(),
             std::strerror(errno));
  ::unlink(temp.c_str());
  return false;
}

}  // namespace

QString mp4PathFor(const QString& rawPath) { return rawPath.left(rawPath.size() - 4) + "mp4"; }

QString remuxTempPathFor(const QString& mp4Path) { return mp4Path + QStringLiteral(".part"); }

bool finishRawStream(const QString& rawPath, const QByteArray& jpeg, bool recovering) {
  const QString rawFs = platform::qpath(rawPath);
  const QString mp4Path = mp4PathFor(rawPath);
  const QString mp4Fs = platform::qpath(mp4Path);
  const QFileInfo rawInfo(rawFs);
  // A stream that cannot be seen (the card is out) is not known to be small.
  const bool rawSeen = rawInfo.exists();
  const qint64 size = rawInfo.size();
  bool done = false;
  if (recovering && entryAt(fsName(mp4Path)) == Entry::File && isPlayableMp4(mp4Fs)) {
    if (readThumbnailBox(mp4Fs).isEmpty()) appendThumbnail(mp4Fs, firstFrameJpegOfRawStream(rawFs));
    done = true;
  } else if (size < kMinRawBytes) {
    diag::out("ERROR: h264 too small (%lld), skip ffmpeg remux\n", static_cast<long long>(size));
    if (!recovering && rawSeen) platform::sys().removeFile(rawPath.toStdString());
    platform::sys().syncFilesystems();
    return false;
  } else {
    const QString tempPath = remuxTempPathFor(mp4Path);
    platform::UniqueFd fd = remux(rawPath, tempPath, size);
    if (fd.valid()) {
      const QByteArray thumb = jpeg.isEmpty() ? firstFrameJpegOfRawStream(rawFs) : jpeg;
      if (!thumb.isEmpty() && !appendThumbnailBox(fd.get(), thumb))
        diag::out("ERROR: append thm box failed: %s\n", QFile::encodeName(mp4Fs).constData());
      // On the card before it takes the name the gallery shows.
      ::fdatasync(fd.get());
      fd.reset();
      done = placeVideo(tempPath, mp4Path);
    }
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

void removeStaleRemuxes() {
  const QDir dir(platform::qpath(QString::fromLatin1(kVideoDir)));
  // System: a link whose target is gone is listed only with it.
  const QStringList names = dir.entryList({QStringLiteral("video_*.mp4.part")},
                                          QDir::Files | QDir::System | QDir::Hidden);
  for (const QString& name : names) {
    const std::string p = fsName(QString::fromLatin1(kVideoDir) + name);
    if (::unlink(p.c_str()) == 0) diag::info(diag::kRecording, "removed the unfinished %s", p.c_str());
  }
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
