// The super-resolution scorer: its measures, its handling of a folder of
// pictures, and the claim it exists for, on the held-out pictures.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tools/sreval/sr_eval.h"

namespace {

using sreval::kH;
using sreval::kW;

// Everything scoreFolder prints.
std::string scoreText(sreval::Evaluator& e, const QString& dir, int* count) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  *count = e.scoreFolder(dir, f);
  std::fclose(f);
  std::string out(buf, len);
  std::free(buf);
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    out.push_back(text.substr(at, nl - at));
  return out;
}

// Warm figures on a cool, gently graded background, softened a little.
QImage thermalLike(int w, int h, uint32_t seed) {
  QImage img(w, h, QImage::Format_RGB32);
  QPainter p(&img);
  QLinearGradient sky(0, 0, 0, h);
  sky.setColorAt(0, QColor(20, 20, 20));
  sky.setColorAt(1, QColor(110, 110, 110));
  p.fillRect(img.rect(), sky);
  std::mt19937 rng(seed);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 40; ++i) {
    const int g = 120 + int(rng() % 136);
    p.setBrush(QColor(g, g, g));
    const int x = int(rng() % w), y = int(rng() % h), s = 4 + int(rng() % 40);
    if (i % 2)
      p.drawEllipse(x, y, s, s / 2 + 3);
    else
      p.drawRect(x, y, s / 3 + 2, s);
  }
  return img;
}

}  // namespace

TEST(SrEval, MeasuresAndTheSensorReduction) {
  std::vector<uint8_t> a(size_t(kW) * kH), b;
  std::mt19937 rng(1);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) a[size_t(y) * kW + x] = uint8_t(40 + (x + y) % 170);
  EXPECT_EQ(sreval::psnr(a, a), 99.0);
  b = a;
  for (auto& v : b) ++v;  // off by one everywhere: 20 log10(255)
  EXPECT_NEAR(sreval::psnr(a, b), 48.13, 0.01);
  EXPECT_NEAR(sreval::ssim(a, a, kW, kH), 1.0, 1e-9);
  EXPECT_NEAR(sreval::ssim(a, b, kW, kH), 1.0, 1e-3);  // a level shift keeps the structure
  std::vector<uint8_t> noisy = a;
  for (auto& v : noisy) v = uint8_t(std::clamp(int(v) + int(rng() % 61) - 30, 0, 255));
  const double s = sreval::ssim(a, noisy, kW, kH);
  EXPECT_GT(s, 0.05);
  EXPECT_LT(s, 0.8);

  // Each sensor pixel is the rounded mean of its 3 x 3 block.
  std::vector<uint8_t> fine(size_t(kW) * kH, 0);
  fine[0] = 9 * 10;                                                  // block (0, 0) sums to 90
  for (int i = 0; i < 3; ++i) fine[size_t(3 + i) * kW + 3 + i] = 3;  // block (1, 1): 9 / 9
  fine[size_t(kH - 1) * kW + kW - 1] = 5;  // last block: 5 / 9 rounds to 1
  const std::vector<uint8_t> small = sreval::areaReduce(fine);
  ASSERT_EQ(small.size(), size_t(256) * 192);
  EXPECT_EQ(small[0], 10);
  EXPECT_EQ(small[256 + 1], 1);
  EXPECT_EQ(small.back(), 1);
  EXPECT_EQ(small[1], 0);

  // The centre is cropped and made grey with the BT.601 weights.
  QImage big(800, 600, QImage::Format_RGB32);
  big.fill(QColor(0, 0, 255));
  big.setPixelColor(16, 12, QColor(255, 0, 0));  // (0, 0) of the centre
  big.setPixelColor(15, 12, QColor(0, 255, 0));  // just outside it
  const std::vector<uint8_t> luma = sreval::centreLuma(big);
  ASSERT_EQ(luma.size(), size_t(kW) * kH);
  EXPECT_EQ(luma[0], 76);  // 0.299 * 255
  EXPECT_EQ(luma[1], 29);  // 0.114 * 255
  EXPECT_TRUE(sreval::centreLuma(QImage(767, 600, QImage::Format_RGB32)).empty());
  EXPECT_TRUE(sreval::centreLuma(QImage(800, 575, QImage::Format_RGB32)).empty());
}

TEST(SrEval, EveryPngOfAFolderIsScoredOrSaidToBeSkipped) {
  sreval::Evaluator e;
  ASSERT_TRUE(e.ok());
  QTemporaryDir dir;
  ASSERT_TRUE(thermalLike(900, 700, 1).save(dir.filePath("b_colour.png")));
  ASSERT_TRUE(thermalLike(768, 576, 2)
                  .convertToFormat(QImage::Format_Grayscale8)
                  .save(dir.filePath("a_grey.png")));
  ASSERT_TRUE(thermalLike(640, 480, 3).save(dir.filePath("c_small.png")));
  ASSERT_TRUE(thermalLike(900, 700, 4).save(dir.filePath("d_not_png.jpg")));
  QFile junk(dir.filePath("e_junk.png"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a picture");
  junk.close();

  int n = 0;
  const std::vector<std::string> out = lines(scoreText(e, dir.path(), &n));
  EXPECT_EQ(n, 2);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[0].rfind("a_grey.png: psnr net ", 0), 0u) << out[0];
  EXPECT_EQ(out[1].rfind("b_colour.png: psnr net ", 0), 0u) << out[1];
  EXPECT_EQ(out[2], "c_small.png: skipped (smaller than 768 x 576)");
  EXPECT_EQ(out[3], "e_junk.png: skipped (not a readable PNG)");
  double net, lanczos, bicubic;
  ASSERT_EQ(std::sscanf(out[4].c_str(), "mean psnr: net %lf lanczos %lf bicubic %lf", &net,
                        &lanczos, &bicubic),
            3)
      << out[4];
  EXPECT_GT(net, 20);
  EXPECT_GT(bicubic, 20);
  ASSERT_EQ(std::sscanf(out[5].c_str(), "mean ssim: net %lf lanczos %lf bicubic %lf", &net,
                        &lanczos, &bicubic),
            3)
      << out[5];
  EXPECT_GT(net, 0.5);
  EXPECT_LE(net, 1.0);

  QTemporaryDir empty;
  EXPECT_EQ(scoreText(e, empty.path(), &n), "");
  EXPECT_EQ(n, 0);
  scoreText(e, empty.filePath("missing"), &n);
  EXPECT_EQ(n, -1);
}

// The network is there to beat interpolation on thermal pictures it never
// saw: the held-out scenes kept beside the scorer.
TEST(SrEval, NetworkBeatsLanczosOnTheHeldOutScenes) {
  sreval::Evaluator e;
  ASSERT_TRUE(e.ok());
  int n = 0;
  const std::vector<std::string> out =
      lines(scoreText(e, QStringLiteral(HL_SOURCE_DIR "/tools/sreval/heldout"), &n));
  ASSERT_GE(n, 4);
  ASSERT_GE(out.size(), 2u);
  double p[3], s[3];
  ASSERT_EQ(std::sscanf(out[out.size() - 2].c_str(), "mean psnr: net %lf lanczos %lf bicubic %lf",
                        &p[0], &p[1], &p[2]),
            3);
  ASSERT_EQ(std::sscanf(out.back().c_str(), "mean ssim: net %lf lanczos %lf bicubic %lf", &s[0],
                        &s[1], &s[2]),
            3);
  EXPECT_GE(p[0], p[1] + 0.5) << out[out.size() - 2];
  EXPECT_GT(p[0], p[2]);
  // Trained with the sensor's noise, the network smooths some of the faint
  // texture the noise-free pictures keep: its structure stays within a
  // thousandth or so of the interpolators'.
  EXPECT_GT(s[0], s[1] - 0.002) << out.back();
  EXPECT_GT(s[0], s[2] - 0.002);
}
