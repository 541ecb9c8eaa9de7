#include "gallery/media_library.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

#include "platform/paths.h"
#include "platform/settings_file.h"
#include "platform/system_actions.h"
#include "record/thumbnail_box.h"
#include "ui/pictures.h"

namespace gallery {

namespace {

constexpr int kVideoMenuItem = 9;

// The toolkit's decimal parse; a value beyond 64 bits is a failed parse, not
// a wrapped number.
bool parseDecimal(const QString& text, qint64* out) {
  bool ok = false;
  const qint64 v = text.toLongLong(&ok, 10);
  if (ok) *out = v;
  return ok;
}

qint64 photoNumber(const QString& base) {
  qint64 n = 0;
  if (base.startsWith(QLatin1String("pic_"), Qt::CaseInsensitive) && parseDecimal(base.mid(4), &n))
    return n;
  if (parseDecimal(base, &n)) return n;
  int end = base.size();
  int start = end;
  while (start > 0 && base.at(start - 1).isDigit()) --start;
  if (start < end && parseDecimal(base.mid(start, end - start), &n)) return n;
  for (int i = 0; i < base.size();) {
    if (!base.at(i).isDigit()) {
      ++i;
      continue;
    }
    int j = i;
    while (j < base.size() && base.at(j).isDigit()) ++j;
    if (parseDecimal(base.mid(i, j - i), &n)) return n;
    i = j;
  }
  return kNoNumber;
}

QImage readFitted(QImageReader& reader, const QSize& fit, Qt::TransformationMode mode,
                  bool enlarge = true) {
  const QSize full = reader.size();
  if (!full.isValid() || full.isEmpty()) return {};
  if (full.width() > kMaxImageSide || full.height() > kMaxImageSide ||
      qint64(full.width()) * full.height() > kMaxImagePixels)
    return {};
  const bool fits = full.width() <= fit.width() && full.height() <= fit.height();
  if (fit.isValid() && !fit.isEmpty() && (enlarge || !fits)) {
    const QSize target = full.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (target != full) reader.setScaledSize(target);
  }
  // The JPEG reader picks its final scaling by this.
  reader.setQuality(mode == Qt::SmoothTransformation ? 75 : 25);
  return reader.read();
}

}  // namespace

qint64 mediaNumber(const QString& fileName, MediaKind kind) {
  const QString base = QFileInfo(fileName).completeBaseName();
  if (kind == MediaKind::Video && base.startsWith(QLatin1String("video_"), Qt::CaseInsensitive)) {
    qint64 n = 0;
    if (parseDecimal(base.mid(6), &n)) return n;
  }
  return photoNumber(base);
}

void sortMedia(QStringList* paths, MediaKind kind) {
  struct Key {
    qint64 number;
    QString name;
    QString path;
  };
  std::vector<Key> keys;
  keys.reserve(static_cast<size_t>(paths->size()));
  for (const QString& p : *paths) {
    const QString name = QFileInfo(p).fileName();
    keys.push_back({mediaNumber(name, kind), name, p});
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.number != b.number) return a.number > b.number;
    // The whole path last, so the order is total and a refresh never
    // shuffles items that compare equal otherwise.
    const int byName = QString::compare(a.name, b.name);
    return byName != 0 ? byName < 0 : a.path < b.path;
  });
  paths->clear();
  for (Key& k : keys) paths->append(std::move(k.path));
}

QString mediaDir(MediaKind kind) {
  return platform::qpath(QLatin1String(kind == MediaKind::Photo ? kPictureDir : kVideoDir));
}

QStringList listMedia(const QString& dirPath, MediaKind kind) {
  QDir dir(dirPath);
  if (!dir.exists()) return {};
  const QStringList filters =
      kind == MediaKind::Photo
          ? QStringList{QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.JPG"),
                        QStringLiteral("*.JPEG")}
          : QStringList{QStringLiteral("*.mp4")};
  // Links are not ours: the device writes plain files only.
  const QStringList names = dir.entryList(
      filters, QDir::Files | QDir::Readable | QDir::NoSymLinks | QDir::NoDotAndDotDot,
      QDir::Unsorted);
  static const QRegularExpression videoName(QStringLiteral("^video_\\d+\\.mp4$"),
                                            QRegularExpression::CaseInsensitiveOption);
  QStringList paths;
  paths.reserve(names.size());
  const QString prefix = dir.absolutePath() + QLatin1Char('/');
  for (const QString& name : names) {
    if (kind == MediaKind::Video && !videoName.match(name).hasMatch()) continue;
    paths.append(prefix + name);
  }
  sortMedia(&paths, kind);
  return paths;
}

void MediaList::rebuild() {
  paths_ = listMedia(mediaDir(kind_), kind_);
  clamp();
}

void MediaList::setIndex(int index) {
  index_ = index;
  clamp();
}

void MediaList::clamp() {
  if (paths_.isEmpty())
    index_ = 0;
  else
    index_ = std::clamp(index_, 0, paths_.size() - 1);
}

QImage loadFittedImage(const QString& path, const QSize& fit, Qt::TransformationMode mode,
                       bool enlarge) {
  if (path.isEmpty()) return {};
  QImageReader reader(path);
  return readFitted(reader, fit, mode, enlarge);
}

QImage loadFittedImage(const QByteArray& data, const QSize& fit, Qt::TransformationMode mode) {
  if (data.isEmpty()) return {};
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "jpeg");
  return readFitted(reader, fit, mode);
}

QIcon photoThumbnail(const QString& path, const QSize& size) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return {};
  const QImage img = loadFittedImage(path, size, Qt::FastTransformation);
  if (img.isNull()) return {};
  return QIcon(QPixmap::fromImage(img));
}

QIcon videoThumbnail(const QString& path, const QSize& size) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return {};
  const QImage img =
      loadFittedImage(record::readThumbnailBox(path), size, Qt::SmoothTransformation);
  if (img.isNull()) return loadMenuIcon(kVideoMenuItem, size.width(), false);
  return QIcon(QPixmap::fromImage(img));
}

QIcon thumbnail(MediaKind kind, const QString& path, const QSize& size) {
  return kind == MediaKind::Photo ? photoThumbnail(path, size) : videoThumbnail(path, size);
}

int removeAllMediaFiles() {
  int removed = 0;
  for (const char* system : {kPictureDir, kVideoDir}) {
    const QString dirPath = platform::qpath(QLatin1String(system));
    const QFileInfo dirInfo(dirPath);
    // A card whose folder is a link could point anywhere, the system included.
    if (dirInfo.isSymLink() || !dirInfo.isDir()) continue;
    const QFileInfoList entries =
        QDir(dirPath).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo& f : entries) {
      if (f.isSymLink() || !f.isFile()) continue;
      // unlink: a name replaced by a link meanwhile loses the link, not its target.
      if (QFile::remove(f.absoluteFilePath())) ++removed;
    }
  }
  return removed;
}

void MediaLibrary::deleteAll() {
  removeAllMediaFiles();
  settings::writePictureFileNum(0);
  emit photoCounterReset();
  emit videoCounterResetRequested();
  emit mediaCleared();
  platform::sys().syncFilesystems();
}

}  // namespace gallery
