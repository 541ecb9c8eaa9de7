#pragma once
// The photos and videos on the SD card as the galleries see them: which files
// belong, in which order (newest first), which one is current, their
// thumbnails, and deleting one or all of them.
//
// Everything on the card is untrusted: a name's number that does not fit in
// 64 bits is no number, an image whose header claims more pixels than a
// thumbnail can sensibly come from is not decoded, and deleting all media
// touches only regular files directly in the two folders.
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <limits>

namespace gallery {

enum class MediaKind { Photo, Video };

// Board paths of the two folders.
inline constexpr char kPictureDir[] = "/mnt/sdcard/picture";
inline constexpr char kVideoDir[] = "/mnt/sdcard/video";

// What a file without any number sorts as: after everything else.
inline constexpr qint64 kNoNumber = std::numeric_limits<qint64>::min();

// An image whose header claims more than this is not decoded: no photo of
// ours comes near it, and a forged header must not cost the device its memory.
inline constexpr qint64 kMaxImagePixels = 24'000'000;
inline constexpr int kMaxImageSide = 16384;

// The number of a file name (with or without its folder) by the rules of its
// kind: "video_<n>" for videos, then "pic_<n>", the whole name, its trailing
// digits, any run of digits; kNoNumber when none parses.
qint64 mediaNumber(const QString& fileName, MediaKind kind);

// Newest first: descending number, equal numbers by file name ascending.
void sortMedia(QStringList* paths, MediaKind kind);

// The readable regular files of the kind in `dir` (a path on this machine,
// already mapped), in gallery order. A missing folder gives an empty list.
QStringList listMedia(const QString& dir, MediaKind kind);

// The mapped folder of a kind.
QString mediaDir(MediaKind kind);

// One gallery's list and its current position.
class MediaList {
 public:
  explicit MediaList(MediaKind kind) : kind_(kind) {}

  MediaKind kind() const { return kind_; }
  const QStringList& paths() const { return paths_; }
  int count() const { return paths_.size(); }
  bool isEmpty() const { return paths_.isEmpty(); }
  int index() const { return index_; }
  // The path at `i`, or empty when out of range.
  QString at(int i) const { return i >= 0 && i < paths_.size() ? paths_.at(i) : QString(); }
  QString current() const { return at(index_); }

  // Reads the card again and clamps the index.
  void rebuild();
  void setIndex(int index);

 private:
  void clamp();

  MediaKind kind_;
  QStringList paths_;
  int index_ = 0;
};

// Reads an image scaled to fit `fit` (keeping its aspect ratio); a null image
// for a missing or unreadable file, or one whose header claims an absurd size.
// JPEG files are decoded at reduced scale directly, which also keeps a large
// picture cheap. Without `enlarge`, a picture smaller than `fit` stays as is.
QImage loadFittedImage(const QString& path, const QSize& fit,
                       Qt::TransformationMode mode = Qt::FastTransformation, bool enlarge = true);
QImage loadFittedImage(const QByteArray& data, const QSize& fit,
                       Qt::TransformationMode mode = Qt::FastTransformation);

// Thumbnails for the carousel slots. A photo that does not load gives an
// empty icon; a video without a readable thumbnail box gives the menu's
// video icon.
QIcon photoThumbnail(const QString& path, const QSize& size);
QIcon videoThumbnail(const QString& path, const QSize& size);
QIcon thumbnail(MediaKind kind, const QString& path, const QSize& size);

// Removes every regular, non-hidden file directly in the picture and video
// folders. Links (to files or folders) are left alone and never followed,
// and a folder that is itself a link is not emptied. Returns the number of
// files removed.
int removeAllMediaFiles();

// Deleting all media for the factory reset: the files, then both counters.
// The photo counter is this module's to reset; the video counter belongs to
// the video writer, so the library asks for it by signal.
class MediaLibrary : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 public slots:
  // Removes the files, resets the photo counter in the settings file, asks
  // for the other resets, lets the galleries refresh (mediaCleared), then
  // flushes the card.
  void deleteAll();

 signals:
  // The settings file's photo counter is 0 again; the image thread keeps a
  // copy that must follow (ImageProThread::ResetPictureFileNum).
  void photoCounterReset();
  // The video writer must set its counter to 0 (and store it).
  void videoCounterResetRequested();
  // Every file is gone: the galleries return to their lists and refresh.
  void mediaCleared();
};

}  // namespace gallery
