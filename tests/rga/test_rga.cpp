#include <gtest/gtest.h>
#include <libyuv/scale.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/rga/rga.h"
#include "platform/rga/rga_ops.h"

namespace {

rga_info_t image(void* p, int fd, int w, int h, int format, int x = 0, int y = 0, int cw = 0,
                 int ch = 0) {
  rga_info_t i;
  std::memset(&i, 0, sizeof i);
  i.fd = fd;
  i.virAddr = p;
  i.mmuFlag = 1;
  rga_set_rect(&i.rect, x, y, cw ? cw : w, ch ? ch : h, w, h, format);
  return i;
}

int blit(rga_info_t s, rga_info_t d, int rotation = 0) {
  s.rotation = rotation;
  return c_RkRgaBlit(&s, &d, nullptr);
}

struct Nv12 {
  int w, h;
  std::vector<uint8_t> bytes;
  Nv12(int w_, int h_, uint8_t y = 0, uint8_t c = 128) : w(w_), h(h_), bytes(w_ * h_ * 3 / 2, c) {
    std::fill(bytes.begin(), bytes.begin() + w * h, y);
  }
  uint8_t& Y(int x, int y) { return bytes[y * w + x]; }
  uint8_t& U(int x, int y) { return bytes[w * h + (y / 2) * w + (x / 2) * 2]; }
  uint8_t& V(int x, int y) { return bytes[w * h + (y / 2) * w + (x / 2) * 2 + 1]; }
  rga_info_t info(int x = 0, int y = 0, int cw = 0, int ch = 0) {
    return image(bytes.data(), -1, w, h, RK_FORMAT_YCbCr_420_SP, x, y, cw, ch);
  }
};

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Full-range BT.601, the matrix the RGB targets use.
void toRgb(int y, int cb, int cr, int rgb[3]) {
  const double r = y + 1.402 * (cr - 128);
  const double g = y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128);
  const double b = y + 1.772 * (cb - 128);
  const double v[3] = {r, g, b};
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<int>(std::min(255.0, std::max(0.0, v[i])) + 0.5);
}

}  // namespace

TEST(RgaBlit, ConvertsYuyvAndNv12IntoEveryTarget) {
  // YUYV -> NV12 keeps every luma sample and averages chroma over two lines.
  const int w = 256, h = 192;
  std::vector<uint8_t> yuyv = randomBytes(w * h * 2, 3);
  Nv12 out(w, h);
  ASSERT_EQ(rga_cvtcolor(yuyv.data(), w, h, out.bytes.data(), w, h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(out.Y(x, y), yuyv[(y * w + x) * 2]) << x << "," << y;
      if (x % 2 == 0 && y % 2 == 0) {
        const int u = (yuyv[(y * w + x) * 2 + 1] + yuyv[((y + 1) * w + x) * 2 + 1] + 1) / 2;
        const int v = (yuyv[(y * w + x) * 2 + 3] + yuyv[((y + 1) * w + x) * 2 + 3] + 1) / 2;
        ASSERT_NEAR(out.U(x, y), u, 1);
        ASSERT_NEAR(out.V(x, y), v, 1);
      }
    }

  // NV12 -> RGB888 and RGBA8888: bytes R, G, B (A), colours within two
  // levels of the full-range matrix.
  const uint8_t colours[][3] = {{16, 128, 128}, {235, 128, 128}, {0, 128, 128},  {255, 128, 128},
                                {81, 90, 240},  {145, 54, 34},   {41, 240, 110}, {170, 166, 16}};
  Nv12 src(16, 2);
  for (int i = 0; i < 8; ++i) {
    src.Y(2 * i, 0) = src.Y(2 * i + 1, 0) = src.Y(2 * i, 1) = src.Y(2 * i + 1, 1) = colours[i][0];
    src.U(2 * i, 0) = colours[i][1];
    src.V(2 * i, 0) = colours[i][2];
  }
  std::vector<uint8_t> rgb(16 * 2 * 3), rgba(16 * 2 * 4);
  ASSERT_EQ(blit(src.info(), image(rgb.data(), -1, 16, 2, RK_FORMAT_RGB_888)), 0);
  ASSERT_EQ(blit(src.info(), image(rgba.data(), -1, 16, 2, RK_FORMAT_RGBA_8888)), 0);
  for (int i = 0; i < 8; ++i) {
    int want[3];
    toRgb(colours[i][0], colours[i][1], colours[i][2], want);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(rgb[(2 * i + 1) * 3 + c], want[c], 2) << "colour " << i << " channel " << c;
      EXPECT_NEAR(rgba[(16 + 2 * i) * 4 + c], want[c], 2) << "colour " << i << " channel " << c;
    }
    EXPECT_EQ(rgba[(2 * i) * 4 + 3], 255);
  }

  // Scaling a smooth picture up and back down returns it within two levels.
  Nv12 smooth(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      smooth.Y(x, y) = static_cast<uint8_t>(40 + x * 2 + y);
      smooth.U(x, y) = static_cast<uint8_t>(100 + x / 2);
      smooth.V(x, y) = static_cast<uint8_t>(150 - y / 2);
    }
  Nv12 big(192, 144), back(64, 48);
  ASSERT_EQ(blit(smooth.info(), big.info()), 0);
  ASSERT_EQ(blit(big.info(), back.info()), 0);
  for (size_t i = 0; i < smooth.bytes.size(); ++i)
    ASSERT_NEAR(back.bytes[i], smooth.bytes[i], 2) << i;

  // A different target size makes the conversion scale too.
  std::vector<uint8_t> grey(w * h * 2);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = i % 2 ? 128 : 90;
  Nv12 half(128, 96, 0, 0);
  ASSERT_EQ(rga_cvtcolor(grey.data(), w, h, half.bytes.data(), 128, 96), 0);
  EXPECT_EQ(half.bytes, Nv12(128, 96, 90, 128).bytes);
}

TEST(RgaBlit, CropAndRotationPutAMarkedPixelWhereItBelongs) {
  // The crop of the display path at zoom x2: (76, 48, 104, 96) of 256 x 192.
  const int cx = 76, cy = 48, cw = 104, ch = 96;
  const int px = 30, py = 10;  // marked pixel, inside the crop
  Nv12 src(256, 192, 20, 128);
  src.Y(cx + px, cy + py) = 250;
  src.U(cx + px, cy + py) = 60;
  src.V(cx + px, cy + py) = 200;
  src.Y(cx - 1, cy) = 250;  // outside the crop: must not appear
  struct Case {
    int code, dw, dh, x, y;
  } cases[] = {
      {0, cw, ch, px, py},
      {HAL_TRANSFORM_ROT_90, ch, cw, ch - 1 - py, px},  // clockwise
      {HAL_TRANSFORM_ROT_180, cw, ch, cw - 1 - px, ch - 1 - py},
      {HAL_TRANSFORM_ROT_270, ch, cw, py, cw - 1 - px},
  };
  for (const Case& c : cases) {
    Nv12 dst(c.dw, c.dh, 0, 0);
    ASSERT_EQ(blit(src.info(cx, cy, cw, ch), dst.info(), c.code), 0) << c.code;
    int marked = 0;
    for (int y = 0; y < c.dh; ++y)
      for (int x = 0; x < c.dw; ++x) marked += dst.Y(x, y) == 250;
    EXPECT_EQ(marked, 1) << "rotation " << c.code;
    EXPECT_EQ(dst.Y(c.x, c.y), 250) << "rotation " << c.code;
    EXPECT_EQ(dst.U(c.x, c.y), 60) << "rotation " << c.code;
    EXPECT_EQ(dst.V(c.x, c.y), 200) << "rotation " << c.code;
  }
}

TEST(RgaBlit, DisplayCropFillsThePanelWithoutDistortion) {
  // The visible 216 x 192 part of a sensor frame, turned and enlarged to the
  // 320 x 360 panel, matches turning first and then scaling bilinearly.
  Nv12 smooth(256, 192);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x) {
      smooth.Y(x, y) = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.11) * std::cos(y * 0.07));
      smooth.U(x, y) = static_cast<uint8_t>(128 + 60 * std::sin(y * 0.09));
      smooth.V(x, y) = static_cast<uint8_t>(128 + 60 * std::cos(x * 0.05));
    }
  Nv12 turned(192, 216), want(320, 360), got(320, 360);
  ASSERT_EQ(blit(smooth.info(20, 0, 216, 192), turned.info(), HAL_TRANSFORM_ROT_90), 0);
  libyuv::NV12Scale(turned.bytes.data(), 192, turned.bytes.data() + 192 * 216, 192, 192, 216,
                    want.bytes.data(), 320, want.bytes.data() + 320 * 360, 320, 320, 360,
                    libyuv::kFilterBilinear);
  ASSERT_EQ(blit(smooth.info(20, 0, 216, 192), got.info(), HAL_TRANSFORM_ROT_90), 0);
  for (int y = 0; y < 360; ++y)
    for (int x = 0; x < 320; ++x) {
      ASSERT_NEAR(got.Y(x, y), want.Y(x, y), 2) << x << "," << y;
      ASSERT_NEAR(got.U(x, y), want.U(x, y), 3) << x << "," << y;
      ASSERT_NEAR(got.V(x, y), want.V(x, y), 3) << x << "," << y;
    }

  // The copy back for recordings and photos: the panel turned to landscape.
  Nv12& panel = got;  // grey, so green follows luma
  std::fill(panel.bytes.begin() + 320 * 360, panel.bytes.end(), 128);
  Nv12 land(360, 320);
  ASSERT_EQ(blit(panel.info(), land.info(), HAL_TRANSFORM_ROT_270), 0);
  std::vector<uint8_t> rgb(360 * 320 * 3);
  ASSERT_EQ(
      blit(panel.info(), image(rgb.data(), -1, 360, 320, RK_FORMAT_RGB_888), HAL_TRANSFORM_ROT_270),
      0);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 360; ++x) {
      ASSERT_EQ(land.Y(x, y), panel.Y(319 - y, x));
      ASSERT_NEAR(rgb[(y * 360 + x) * 3 + 1], land.Y(x, y), 1);
    }
}

TEST(RgaBlit, DmaBufDescriptorsAreMappedForTheBlit) {
  const int w = 64, h = 48;
  const size_t bytes = w * h * 3 / 2;
  const int srcFd = memfd_create("src", 0), dstFd = memfd_create("dst", 0);
  ASSERT_TRUE(srcFd >= 0 && dstFd >= 0 && ftruncate(srcFd, bytes) == 0 &&
              ftruncate(dstFd, bytes) == 0);
  const std::vector<uint8_t> content = randomBytes(bytes, 8);
  ASSERT_EQ(pwrite(srcFd, content.data(), bytes, 0), ssize_t(bytes));

  auto buf = [&](int fd) { return image(nullptr, fd, w, h, RK_FORMAT_YCbCr_420_SP); };
  ASSERT_EQ(blit(buf(srcFd), buf(dstFd)), 0);
  std::vector<uint8_t> back(bytes);
  ASSERT_EQ(pread(dstFd, back.data(), bytes, 0), ssize_t(bytes));
  EXPECT_EQ(back, content);
  Nv12 mem(w, h);
  ASSERT_EQ(blit(buf(srcFd), mem.info()), 0);
  EXPECT_EQ(mem.bytes, content);

  // A buffer too small for the image it is said to hold is refused rather
  // than read past its end.
  ASSERT_EQ(ftruncate(srcFd, bytes / 2), 0);
  EXPECT_EQ(blit(buf(srcFd), mem.info()), -1);
  EXPECT_EQ(blit(mem.info(), buf(srcFd)), -1);

  // A descriptor that is not open fails cleanly.
  EXPECT_EQ(blit(buf(1 << 20), mem.info()), -1);
  close(srcFd);
  close(dstFd);
}

// Runs a call that must be refused: -1 and exactly one line of output.
template <typename F>
void expectRefused(F call, const char* what) {
  testing::internal::CaptureStderr();
  const int r = call();
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r, -1) << what;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << what << ": " << out;
}

TEST(RgaBlit, RefusedBlitsTouchNothing) {
  Nv12 src(64, 48, 99, 77);
  std::vector<uint8_t> dst(64 * 48 * 4 + 64, 0xAB);
  const std::vector<uint8_t> untouched = dst;
  rga_info_t d = image(dst.data(), -1, 64, 48, RK_FORMAT_YCbCr_420_SP);
  rga_info_t s = src.info();
  auto with = [&](int x, int y, int w, int h) {
    rga_info_t i = s;
    i.rect.xoffset = x;
    i.rect.yoffset = y;
    i.rect.width = w;
    i.rect.height = h;
    return i;
  };

  expectRefused([&] { return c_RkRgaBlit(nullptr, &d, nullptr); }, "null source");
  expectRefused([&] { return c_RkRgaBlit(&s, nullptr, nullptr); }, "null target");
  expectRefused([&] { return c_RkRgaBlit(&s, &d, &s); }, "blending");
  for (int rot : {1, 2, 5, 6, 8, 90, -1})
    expectRefused([&] { return blit(s, d, rot); }, "transform");
  rga_info_t r = d;
  r.rotation = HAL_TRANSFORM_ROT_90;
  const struct {
    rga_info_t s, d;
    const char* what;
  } bad[] = {
      {s, r, "target rotation"},
      {s, image(dst.data(), -1, 64, 48, 0x0B00), "target format"},
      {image(src.bytes.data(), -1, 64, 48, RK_FORMAT_RGB_888), d, "source format"},
      {with(8, 8, 64, 40), d, "past the right edge"},
      {with(0, 10, 64, 40), d, "past the bottom"},
      {with(0, 0, 0, 48), d, "empty"},
      {with(-2, 0, 32, 32), d, "negative offset"},
      {with(1, 0, 32, 32), d, "odd offset"},
      {s, image(dst.data(), -1, 63, 48, RK_FORMAT_YCbCr_420_SP), "odd stride"},
      {s, image(dst.data(), -1, 63, 48, RK_FORMAT_RGB_888), "odd RGB size"},
      {s, image(nullptr, -1, 64, 48, RK_FORMAT_YCbCr_420_SP), "no address"},
  };
  for (const auto& c : bad) expectRefused([&] { return blit(c.s, c.d, c.s.rotation); }, c.what);
  EXPECT_EQ(dst, untouched);

  testing::internal::CaptureStdout();
  EXPECT_EQ(rga_cvtcolor(nullptr, 256, 192, dst.data(), 256, 192), -1);
  EXPECT_EQ(rga_cvtcolor(src.bytes.data(), 0, 192, dst.data(), 256, 192), -1);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(dst, untouched);
  EXPECT_EQ(out.substr(out.size() - 23), "rga_cvtcolor: rga fail\n");
}

TEST(RgaBlit, ConcurrentBlitsDoNotDisturbEachOther) {
  Nv12 a(256, 192), b(768, 576);
  a.bytes = randomBytes(a.bytes.size(), 1);
  b.bytes = randomBytes(b.bytes.size(), 2);
  auto run = [](Nv12& src, int cw, int ch, std::vector<uint8_t>* out) {
    Nv12 panel(320, 360);
    for (int i = 0; i < 20; ++i)
      if (blit(src.info((src.w - cw) / 2, (src.h - ch) / 2, cw, ch), panel.info(),
               HAL_TRANSFORM_ROT_90) != 0)
        return;
    *out = panel.bytes;
  };
  std::vector<uint8_t> soloA, soloB, parA, parB;
  run(a, 216, 192, &soloA);
  run(b, 648, 576, &soloB);
  std::thread t1(run, std::ref(a), 216, 192, &parA), t2(run, std::ref(b), 648, 576, &parB);
  t1.join();
  t2.join();
  EXPECT_FALSE(soloA.empty());
  EXPECT_EQ(parA, soloA);
  EXPECT_EQ(parB, soloB);
}
