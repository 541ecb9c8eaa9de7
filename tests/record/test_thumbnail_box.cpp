#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "record/thumbnail_box.h"

namespace {

QByteArray be32(quint32 v) {
  QByteArray b(4, '\0');
  qToBigEndian<quint32>(v, reinterpret_cast<uchar*>(b.data()));
  return b;
}
QByteArray be64(quint64 v) {
  QByteArray b(8, '\0');
  qToBigEndian<quint64>(v, reinterpret_cast<uchar*>(b.data()));
  return b;
}
QByteArray box(const char* type, const QByteArray& payload) {
  return be32(static_cast<quint32>(8 + payload.size())) + type + payload;
}

}  // namespace

TEST(ThumbnailBox, AppendedBoxIsReadBackBehindOtherBoxes) {
  QTemporaryDir dir;
  const QString path = dir.filePath("video_1.mp4");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(box("ftyp", "isom0000") + box("mdat", QByteArray(100, 'x')));
  f.close();
  const QByteArray jpeg("\xFF\xD8 a picture \xFF\xD9");
  ASSERT_TRUE(record::appendThumbnailBox(path, jpeg));
  EXPECT_EQ(record::readThumbnailBox(path), jpeg);
  EXPECT_FALSE(record::appendThumbnailBox(path, QByteArray()));
  EXPECT_FALSE(record::appendThumbnailBox(dir.filePath("missing/x.mp4"), jpeg));
}

TEST(ThumbnailBox, SizeFormsAndBrokenFiles) {
  QTemporaryDir dir;
  const QByteArray jpeg("JPEGDATA");
  const QByteArray lead = box("ftyp", "isom");
  struct Case {
    const char* name;
    QByteArray bytes;
    QByteArray expected;
  };
  const Case cases[] = {
      {"to end of file", lead + be32(0) + "thm " + jpeg, jpeg},
      {"64-bit size", lead + be32(1) + "thmb" + be64(16 + jpeg.size()) + jpeg, jpeg},
      {"runs past the end", lead + be32(8 + 100) + "thm " + jpeg, {}},
      {"empty payload", lead + be32(8) + "thm ", {}},
      {"size below header", lead + be32(4) + "thm " + jpeg, {}},
      {"64-bit size that wraps", lead + be32(1) + "thm " + be64(~0ull - 4) + jpeg, {}},
      {"no thumbnail", lead + box("mdat", "xx"), {}},
      {"shorter than a header", "abc", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath(QString::fromLatin1(c.name) + ".mp4");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    EXPECT_EQ(record::readThumbnailBox(path), c.expected);
  }
  EXPECT_TRUE(record::readThumbnailBox(dir.filePath("none.mp4")).isEmpty());
}

TEST(ThumbnailBox, AClaimBeyondTheBoundReadsAsNone) {
  QTemporaryDir dir;
  const QString path = dir.filePath("big.mp4");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(box("thm ", QByteArray(2000, 'j')));
  f.close();
  EXPECT_EQ(record::readThumbnailBox(path).size(), 2000);
  EXPECT_TRUE(record::readThumbnailBox(path, 1999).isEmpty());
}
