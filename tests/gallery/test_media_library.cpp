// Which files the galleries list and in which order, thumbnails of files that
// are not what they claim, and deleting all media.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include "gallery/media_library.h"
#include "platform/settings_file.h"
#include "record/thumbnail_box.h"
#include "tests/gallery/gallery_test_util.h"
#include "ui/pictures.h"

namespace {

using gallery::MediaKind;
using gallerytest::put;

TEST(MediaLibrary, ListsTheKindsFilesNewestFirst) {
  struct Case {
    const char* what;
    MediaKind kind;
    QStringList files;
    QStringList expected;
  };
  const Case cases[] = {
      {"video numbers", MediaKind::Video,
       {"video_2.mp4", "video_10.mp4", "video_9.mp4"},
       {"video_10.mp4", "video_9.mp4", "video_2.mp4"}},
      {"photo rules, no number last", MediaKind::Photo,
       {"pic_3.jpg", "PIC_12.JPG", "holiday.jpeg"},
       {"PIC_12.JPG", "pic_3.jpg", "holiday.jpeg"}},
      {"only video_<n>.mp4, any case; not one being remuxed", MediaKind::Video,
       {"video_5.MP4", "video_5_old.mp4", "clip.mp4", "video_6.h264", "video_7.mp4.part"},
       {"video_5.MP4"}},
      {"equal numbers by name", MediaKind::Photo,
       {"pic_7.jpg", "pic_7.jpeg"},
       {"pic_7.jpeg", "pic_7.jpg"}},
      {"trailing digits; beyond 64 bits is no number", MediaKind::Photo,
       {"pic_99999999999999999999.jpg", "IMG_0042_2.jpg", "pic_1.jpg", "20240101.jpg",
        "a99999999999999999999b7c.jpg"},
       {"20240101.jpg", "a99999999999999999999b7c.jpg", "IMG_0042_2.jpg", "pic_1.jpg",
        "pic_99999999999999999999.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempRoot root;
    const QString dir = c.kind == MediaKind::Photo ? gallery::kPictureDir : gallery::kVideoDir;
    put(root, dir, c.files);
    EXPECT_EQ(gallerytest::names(gallery::listMedia(gallery::mediaDir(c.kind), c.kind)),
              c.expected);
  }
}

TEST(MediaLibrary, ListsOnlyPlainFilesAndCopesWithoutAFolder) {
  TempRoot root;
  gallery::MediaList photos(MediaKind::Photo);
  photos.setIndex(5);
  photos.rebuild();  // no folder at all
  EXPECT_TRUE(photos.isEmpty());
  EXPECT_EQ(photos.index(), 0);

  put(root, gallery::kPictureDir, {"pic_1.jpg", ".pic_9.jpg"});
  QDir().mkpath(root.file("/mnt/sdcard/picture/pic_5.jpg"));  // a folder named like a photo
  root.write("/outside/pic.jpg", "x");
  QFile::link(root.file("/outside/pic.jpg"), root.file("/mnt/sdcard/picture/pic_8.jpg"));
  photos.setIndex(3);
  photos.rebuild();
  EXPECT_EQ(gallerytest::names(photos.paths()), QStringList{"pic_1.jpg"});
  EXPECT_EQ(photos.index(), 0);  // clamped to the last position
}

TEST(MediaLibrary, DeleteAllRemovesOnlyTheCardsOwnFilesAndResetsBothCounters) {
  TempRoot root;
  settings::writePictureFileNum(57);
  put(root, gallery::kPictureDir, {"pic_1.jpg", "pic_2.jpg", "notes.txt", ".hidden"});
  put(root, gallery::kVideoDir, {"video_1.mp4", "video_2.h264"});
  put(root, "/mnt/sdcard/picture/album", {"pic_3.jpg"});
  root.write("/keep/secret.jpg", "do not touch");
  QFile::link(root.file("/keep/secret.jpg"), root.file("/mnt/sdcard/picture/pic_4.jpg"));

  gallery::MediaLibrary library;
  QSignalSpy photoReset(&library, &gallery::MediaLibrary::photoCounterReset);
  QSignalSpy videoReset(&library, &gallery::MediaLibrary::videoCounterResetRequested);
  QSignalSpy cleared(&library, &gallery::MediaLibrary::mediaCleared);
  library.deleteAll();

  for (const char* gone : {"/mnt/sdcard/picture/pic_1.jpg", "/mnt/sdcard/picture/pic_2.jpg",
                           "/mnt/sdcard/picture/notes.txt", "/mnt/sdcard/video/video_1.mp4",
                           "/mnt/sdcard/video/video_2.h264"})
    EXPECT_FALSE(root.exists(gone)) << gone;
  EXPECT_TRUE(root.exists("/mnt/sdcard/picture/.hidden"));
  EXPECT_TRUE(root.exists("/mnt/sdcard/picture/album/pic_3.jpg"));
  EXPECT_EQ(root.read("/keep/secret.jpg"), "do not touch");
  // The next photo is pic_1.jpg; the video writer was asked for its counter.
  EXPECT_EQ(settings::readPictureFileNum() + 1, 1);
  EXPECT_EQ(photoReset.count(), 1);
  EXPECT_EQ(videoReset.count(), 1);
  EXPECT_EQ(cleared.count(), 1);
}

TEST(MediaLibrary, DeleteAllDoesNotEmptyAFolderThatIsALink) {
  TempRoot root;
  put(root, "/elsewhere", {"system.conf", "pic_1.jpg"});
  QDir().mkpath(root.file("/mnt/sdcard"));
  QFile::link(root.file("/elsewhere"), root.file("/mnt/sdcard/picture"));
  EXPECT_EQ(gallery::removeAllMediaFiles(), 0);
  EXPECT_TRUE(root.exists("/elsewhere/system.conf"));
  EXPECT_TRUE(root.exists("/elsewhere/pic_1.jpg"));
}

// A JPEG whose frame header claims another size.
QByteArray withClaimedSize(QByteArray jpeg, int w, int h) {
  const int sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
  if (sof < 0) return {};
  jpeg[sof + 5] = char(h >> 8);
  jpeg[sof + 6] = char(h & 0xFF);
  jpeg[sof + 7] = char(w >> 8);
  jpeg[sof + 8] = char(w & 0xFF);
  return jpeg;
}

TEST(MediaLibrary, ThumbnailsFitTheSlotAndRefuseForgedSizes) {
  TempRoot root;
  const QByteArray red = gallerytest::jpeg(360, 320, Qt::red);
  put(root, gallery::kPictureDir, {"pic_1.jpg"}, red);
  put(root, gallery::kPictureDir, {"pic_2.jpg"}, withClaimedSize(red, 60000, 60000));
  put(root, gallery::kPictureDir, {"pic_3.jpg"}, "not a picture");
  const QString dir = gallery::mediaDir(MediaKind::Photo);

  const QIcon good = gallery::photoThumbnail(dir + "/pic_1.jpg", QSize(120, 120));
  ASSERT_FALSE(good.isNull());
  const QSize fitted = good.availableSizes().value(0);
  EXPECT_EQ(fitted, QSize(120, 106));
  EXPECT_TRUE(gallery::loadFittedImage(dir + "/pic_2.jpg", QSize(120, 120)).isNull());
  EXPECT_TRUE(gallery::photoThumbnail(dir + "/pic_2.jpg", QSize(120, 120)).isNull());
  EXPECT_TRUE(gallery::photoThumbnail(dir + "/pic_3.jpg", QSize(70, 70)).isNull());
  EXPECT_TRUE(gallery::photoThumbnail(dir + "/missing.jpg", QSize(70, 70)).isNull());

  // Videos: the box's JPEG, else the menu's video icon; a forged box JPEG too.
  const QByteArray ftyp("\0\0\0\x10" "ftypisom\0\0\0\0", 16);
  put(root, gallery::kVideoDir, {"video_1.mp4", "video_2.mp4", "video_3.mp4"}, ftyp);
  const QString vdir = gallery::mediaDir(MediaKind::Video);
  ASSERT_TRUE(record::appendThumbnailBox(vdir + "/video_1.mp4", gallerytest::jpeg(360, 320, Qt::blue)));
  ASSERT_TRUE(record::appendThumbnailBox(vdir + "/video_3.mp4", withClaimedSize(red, 60000, 60000)));
  const QImage boxed =
      gallery::videoThumbnail(vdir + "/video_1.mp4", QSize(70, 70)).pixmap(70, 70).toImage();
  EXPECT_EQ(boxed.size(), QSize(70, 62));
  EXPECT_GT(qBlue(boxed.pixel(35, 31)), 200);
  const QImage menuIcon = loadMenuIcon(9, 70, false).pixmap(70, 70).toImage();
  ASSERT_FALSE(menuIcon.isNull());
  for (const char* name : {"/video_2.mp4", "/video_3.mp4"})
    EXPECT_EQ(gallery::videoThumbnail(vdir + name, QSize(70, 70)).pixmap(70, 70).toImage(),
              menuIcon)
        << name;
}

}  // namespace
