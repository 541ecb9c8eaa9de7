// Overlay regions: the blend itself (exact values), then the whole way
// through the encoder and a decoder.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/media/media_internal.h"
#include "tests/media/media_helpers.h"

using namespace mediatest;

namespace {

constexpr int kBw = 368;  // the program's overlay is 8 columns wider than the frame
constexpr int kBh = 320;

// Bands of the test overlay, by column: opaque white, half-covering red,
// then fully transparent (its colour must not matter).
std::vector<Rgba> bands() {
  std::vector<Rgba> px(kBw * kBh);
  for (int y = 0; y < kBh; ++y)
    for (int x = 0; x < kBw; ++x)
      px[y * kBw + x] = x < 120   ? Rgba{255, 255, 255, 255}
                        : x < 240 ? Rgba{255, 0, 0, 128}
                                  : Rgba{0, 255, 0, 0};
  return px;
}

// Sample `plane` (0 luma, 1 Cb, 2 Cr) at (x, y), chroma in chroma samples.
int at(const std::vector<uint8_t>& f, int plane, int x, int y) {
  return plane == 0 ? f[y * kW + x] : f[kW * kH + y * kW + 2 * x + plane - 1];
}

class Region : public ::testing::Test {
 protected:
  void TearDown() override { RK_MPI_SYS_Exit(); }
  // The composite of channel 0 for `src`; empty when nothing would change.
  std::vector<uint8_t> composite(const std::vector<uint8_t>& src) {
    std::vector<uint8_t> out(kFrameBytes, 0xee);
    if (!hlmedia::rgnComposite(0, src.data(), kW, kH, out.data(), kW, kH)) return {};
    return out;
  }
};

TEST_F(Region, BlendsByAlphaAndLeavesTransparentPixelsAlone) {
  createRegion(0, kBw, kBh);
  ASSERT_EQ(attach(0), RK_SUCCESS);
  const std::vector<uint8_t> src = pattern(3);
  EXPECT_TRUE(composite(src).empty()) << "no bitmap yet: nothing to blend";
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  const std::vector<uint8_t> out = composite(src);
  ASSERT_FALSE(out.empty());

  // Full range, as the picture beneath: white is (255, 128, 128), red
  // (77, 85, 255); red covers 128 of 255.
  const int white[3] = {255, 128, 128}, red[3] = {77, 85, 255};
  for (int plane = 0; plane < 3; ++plane) {
    const int sub = plane ? 2 : 1;
    for (int y = 0; y < kH / sub; y += 3)
      for (int x = 0; x < kW / sub; x += 3) {
        const int s = at(src, plane, x, y), got = at(out, plane, x, y);
        const int want = x < 120 / sub   ? white[plane]
                         : x < 240 / sub ? (plane ? (s * 508 + 4 * 128 * red[plane] + 510) / 1020
                                                  : (s * 127 + red[0] * 128 + 127) / 255)
                                         : s;
        ASSERT_EQ(got, want) << "plane " << plane << " at " << x << "," << y;
      }
  }

  // Hidden by detaching: frames pass untouched again.
  MPP_CHN_S c{RK_ID_VENC, 0, 0};
  ASSERT_EQ(RK_MPI_RGN_DetachFromChn(0, &c), RK_SUCCESS);
  EXPECT_TRUE(composite(src).empty());
}

TEST_F(Region, PlacesClipsWeighsChromaAndStacksByLayer) {
  // A 100 x 150 opaque blue bitmap at (300, 200): only 60 x 120 of it fits.
  createRegion(3, 100, 150);
  ASSERT_EQ(attach(3, 300, 200, 1), RK_SUCCESS);
  ASSERT_EQ(setBitmap(3, std::vector<Rgba>(100 * 150, Rgba{0, 0, 255, 255}), 100, 150), RK_SUCCESS);
  // Half-transparent black over its corner: a higher layer under a lower handle.
  createRegion(1, 2, 2);
  ASSERT_EQ(attach(1, 358, 318, 2), RK_SUCCESS);
  ASSERT_EQ(setBitmap(1, std::vector<Rgba>(4, Rgba{0, 0, 0, 128}), 2, 2), RK_SUCCESS);
  // Opaque blue hanging off the top-left corner, covering (0..2, 0..2).
  createRegion(2, 4, 4);
  ASSERT_EQ(attach(2, -1, -1, 0), RK_SUCCESS);
  ASSERT_EQ(setBitmap(2, std::vector<Rgba>(16, Rgba{0, 0, 255, 255}), 4, 4), RK_SUCCESS);

  const std::vector<uint8_t> src = flat(100, 128, 128);
  const std::vector<uint8_t> out = composite(src);
  ASSERT_FALSE(out.empty());
  const int blueY = 29, blueCb = 255;  // full-range pure blue
  // Chroma cell (1, 1) serves (2..3, 2..3), of which only (2, 2) is covered.
  const int quarterBlue = (128 * 765 + 255 * blueCb + 510) / 1020;
  const struct {
    int plane, x, y, want;
  } samples[] = {{0, 300, 200, blueY},
                 {0, 357, 317, blueY},
                 {0, 299, 200, 100},
                 {0, 300, 199, 100},
                 {1, 150, 100, blueCb},
                 {1, 149, 100, 128},
                 {0, 359, 319, (blueY * 127 + 0 * 128 + 127) / 255},
                 {0, 2, 2, blueY},
                 {0, 3, 3, 100},
                 {0, 3, 0, 100},
                 {1, 0, 0, blueCb},
                 {1, 1, 1, quarterBlue}};
  for (const auto& s : samples)
    EXPECT_EQ(at(out, s.plane, s.x, s.y), s.want) << s.plane << " at " << s.x << "," << s.y;
  // Untouched elsewhere, byte for byte.
  for (int y = 10; y < 190; ++y)
    for (int x = 10; x < 290; ++x) ASSERT_EQ(at(out, 0, x, y), 100);

  // A region on another channel does not reach channel 0.
  RK_MPI_SYS_Exit();
  createRegion(0, kBw, kBh);
  ASSERT_EQ(attach(0, 0, 0, 0, 1), RK_SUCCESS);
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  EXPECT_TRUE(composite(src).empty());
}

TEST_F(Region, BadCallsAreRefused) {
  auto create = [](RGN_HANDLE h, PIXEL_FORMAT_E fmt, RK_U32 w) {
    RGN_ATTR_S ra{};
    ra.enType = OVERLAY_RGN;
    ra.unAttr.stOverlay.enPixelFmt = fmt;
    ra.unAttr.stOverlay.stSize = {w, 320};
    return RK_MPI_RGN_Create(h, &ra);
  };
  EXPECT_EQ(create(0, RK_FMT_YUV420SP, 368), RK_ERR_RGN_NOT_SUPPORT);
  EXPECT_EQ(create(RGN_HANDLE_MAX, RK_FMT_RGBA8888, 368), RK_ERR_RGN_ILLEGAL_PARAM);
  EXPECT_EQ(create(0, RK_FMT_RGBA8888, 0), RK_ERR_RGN_ILLEGAL_PARAM);
  EXPECT_EQ(RK_MPI_RGN_Create(0, nullptr), RK_ERR_RGN_NULL_PTR);

  std::vector<Rgba> px(kBw * kBh);
  EXPECT_EQ(setBitmap(0, px, kBw, kBh), RK_ERR_RGN_UNEXIST);
  EXPECT_EQ(attach(0), RK_ERR_RGN_UNEXIST);
  createRegion(0, kBw, kBh);
  EXPECT_EQ(create(0, RK_FMT_RGBA8888, 368), RK_ERR_RGN_EXIST);
  // Larger than the region, or another format, or no pixels; smaller is fine.
  EXPECT_EQ(setBitmap(0, std::vector<Rgba>(400 * 320), 400, 320), RK_ERR_RGN_ILLEGAL_PARAM);
  BITMAP_S bmp{RK_FMT_YUV420SP, kBw, kBh, px.data()};
  EXPECT_EQ(RK_MPI_RGN_SetBitMap(0, &bmp), RK_ERR_RGN_NOT_SUPPORT);
  bmp = BITMAP_S{RK_FMT_RGBA8888, kBw, kBh, nullptr};
  EXPECT_EQ(RK_MPI_RGN_SetBitMap(0, &bmp), RK_ERR_RGN_NULL_PTR);
  EXPECT_EQ(setBitmap(0, px, 360, 320), RK_SUCCESS);

  MPP_CHN_S notEncoder{RK_ID_SYS, 0, 0}, other{RK_ID_VENC, 0, 1};
  RGN_CHN_ATTR_S ca{};
  EXPECT_EQ(RK_MPI_RGN_AttachToChn(0, &notEncoder, &ca), RK_ERR_RGN_INVALID_CHNID);
  EXPECT_EQ(attach(0, 1 << 30, 0), RK_ERR_RGN_ILLEGAL_PARAM);
  ASSERT_EQ(attach(0), RK_SUCCESS);
  EXPECT_EQ(attach(0), RK_ERR_RGN_EXIST);
  EXPECT_NE(RK_MPI_RGN_DetachFromChn(0, &other), RK_SUCCESS);

  // Destroying an attached region takes it off the channel.
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  ASSERT_EQ(RK_MPI_RGN_Destroy(0), RK_SUCCESS);
  EXPECT_TRUE(composite(pattern(0)).empty());
  EXPECT_EQ(RK_MPI_RGN_Destroy(0), RK_ERR_RGN_UNEXIST);
}

// Through the encoder: the decoded picture shows the overlay where its alpha
// says and the frame everywhere else, and the overlay set before the channel
// existed (a camera restart while recording) applies.
TEST_F(Region, EncodedFramesCarryTheOverlay) {
  MB_POOL pool = makePool(kFrameBytes, 3);
  ASSERT_NE(pool, MB_INVALID_POOLID);
  createRegion(0, kBw, kBh);
  ASSERT_EQ(attach(0), RK_SUCCESS);
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  startChannel();

  const std::vector<uint8_t> src = flat(100, 110, 150);
  Decoder decoder;
  std::vector<uint8_t> out;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(sendPicture(pool, src, i), RK_SUCCESS);
    Packet p;
    ASSERT_TRUE(takePacket(&p));
    ASSERT_TRUE(decoder.decode(p.bytes, &out));
  }
  // The blend itself is checked exactly above; here it only has to survive coding.
  const std::vector<uint8_t> want = composite(src);
  ASSERT_FALSE(want.empty());
  EXPECT_GT(psnr(want.data(), out.data(), kFrameBytes), 38.0);

  RK_MPI_VENC_DestroyChn(0);
  RK_MPI_MB_DestroyPool(pool);
}

}  // namespace
