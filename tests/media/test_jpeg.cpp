// The JPEG writer: the file it leaves decodes to the picture it was given.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "platform/jpeg/jpeg_enc.h"
#include "tests/media/media_helpers.h"

using namespace mediatest;

namespace {

struct Decoded {
  int width = 0, height = 0, subsamp = -1;
  std::vector<unsigned char> y;
  size_t bytes = 0;
};

// Reads `path` and decodes its luma (a greyscale decode of a YCbCr JPEG).
bool decodeLuma(const QString& path, Decoded* d) {
  QFile f(path);
  const QByteArray jpeg = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  d->bytes = static_cast<size_t>(jpeg.size());
  tjhandle h = tjInitDecompress();
  auto* buf = reinterpret_cast<const unsigned char*>(jpeg.constData());
  int colorspace = 0;
  bool ok = tjDecompressHeader3(h, buf, jpeg.size(), &d->width, &d->height, &d->subsamp,
                                &colorspace) == 0;
  if (ok) {
    d->y.resize(static_cast<size_t>(d->width) * d->height);
    ok = tjDecompress2(h, buf, jpeg.size(), d->y.data(), d->width, 0, d->height, TJPF_GRAY, 0) == 0;
  }
  tjDestroy(h);
  return ok;
}

TEST(JpegEnc, WritesTheFrameAsA420JpegOfTheGivenQuality) {
  QTemporaryDir dir;
  const QString path = dir.filePath("thumb.jpg"), low = dir.filePath("low.jpg");
  const std::vector<uint8_t> frame = pattern(5);
  ASSERT_EQ(jpeg_enc(frame.data(), path.toLocal8Bit().constData(), kW, kH, 75), 0);
  Decoded d, dl, again;
  ASSERT_TRUE(decodeLuma(path, &d));
  EXPECT_EQ(d.width, kW);
  EXPECT_EQ(d.height, kH);
  EXPECT_EQ(d.subsamp, TJSAMP_420);
  EXPECT_GT(psnr(frame.data(), d.y.data(), kW * kH), 32.0);

  // A low quality gives a smaller file; rewriting an existing file replaces it.
  ASSERT_EQ(jpeg_enc(frame.data(), low.toLocal8Bit().constData(), kW, kH, 5), 0);
  ASSERT_TRUE(decodeLuma(low, &dl));
  EXPECT_LT(dl.bytes, d.bytes);
  ASSERT_EQ(jpeg_enc(frame.data(), low.toLocal8Bit().constData(), kW, kH, 75), 0);
  ASSERT_TRUE(decodeLuma(low, &again));
  EXPECT_EQ(again.bytes, d.bytes);
  EXPECT_EQ(again.y, d.y);
}

TEST(JpegEnc, OddSizesAndBadArguments) {
  QTemporaryDir dir;
  // 33 x 17: chroma rows of 17 pairs, 9 rows.
  std::vector<uint8_t> odd(33 * 17 + 34 * 9, 128);
  for (int i = 0; i < 33 * 17; ++i) odd[i] = static_cast<uint8_t>(i % 200);
  const QByteArray path = dir.filePath("odd.jpg").toLocal8Bit();
  ASSERT_EQ(jpeg_enc(odd.data(), path.constData(), 33, 17, 90), 0);
  Decoded d;
  ASSERT_TRUE(decodeLuma(QString::fromLocal8Bit(path), &d));
  EXPECT_EQ(d.width, 33);
  EXPECT_EQ(d.height, 17);

  EXPECT_EQ(jpeg_enc(nullptr, path.constData(), 33, 17, 90), -1);
  EXPECT_EQ(jpeg_enc(odd.data(), nullptr, 33, 17, 90), -1);
  EXPECT_EQ(jpeg_enc(odd.data(), path.constData(), 0, 17, 90), -1);
  EXPECT_EQ(jpeg_enc(odd.data(), path.constData(), 33, -1, 90), -1);
  const QByteArray missing = dir.filePath("no/such/dir/x.jpg").toLocal8Bit();
  EXPECT_EQ(jpeg_enc(odd.data(), missing.constData(), 33, 17, 90), -1);
  EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(missing)));
}

}  // namespace
