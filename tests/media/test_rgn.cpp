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

struct Rgba {
  uint8_t r, g, b, a;
};

void createRegion(RGN_HANDLE h, int w = kBw, int hgt = kBh) {
  RGN_ATTR_S ra;
  std::memset(&ra, 0, sizeof ra);
  ra.enType = OVERLAY_RGN;
  ra.unAttr.stOverlay.enPixelFmt = RK_FMT_RGBA8888;
  ra.unAttr.stOverlay.stSize = {static_cast<RK_U32>(w), static_cast<RK_U32>(hgt)};
  ra.unAttr.stOverlay.u32CanvasNum = 1;
  ASSERT_EQ(RK_MPI_RGN_Create(h, &ra), RK_SUCCESS);
}

RK_S32 attach(RGN_HANDLE h, int x = 0, int y = 0, RK_U32 layer = 0, VENC_CHN chn = 0) {
  MPP_CHN_S c{RK_ID_VENC, 0, chn};
  RGN_CHN_ATTR_S ca;
  std::memset(&ca, 0, sizeof ca);
  ca.bShow = RK_TRUE;
  ca.enType = OVERLAY_RGN;
  ca.unChnAttr.stOverlayChn.stPoint = {x, y};
  ca.unChnAttr.stOverlayChn.u32Layer = layer;
  ca.unChnAttr.stOverlayChn.stQpInfo.bEnable = RK_TRUE;
  return RK_MPI_RGN_AttachToChn(h, &c, &ca);
}

RK_S32 setBitmap(RGN_HANDLE h, const std::vector<Rgba>& px, int w, int hgt) {
  BITMAP_S bmp;
  std::memset(&bmp, 0, sizeof bmp);
  bmp.enPixelFormat = RK_FMT_RGBA8888;
  bmp.u32Width = static_cast<RK_U32>(w);
  bmp.u32Height = static_cast<RK_U32>(hgt);
  bmp.pData = const_cast<Rgba*>(px.data());
  return RK_MPI_RGN_SetBitMap(h, &bmp);
}

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

uint8_t lumaAt(const std::vector<uint8_t>& f, int x, int y) { return f[y * kW + x]; }
uint8_t cbAt(const std::vector<uint8_t>& f, int cx, int cy) {
  return f[kW * kH + cy * kW + 2 * cx];
}
uint8_t crAt(const std::vector<uint8_t>& f, int cx, int cy) {
  return f[kW * kH + cy * kW + 2 * cx + 1];
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
  createRegion(0);
  ASSERT_EQ(attach(0), RK_SUCCESS);
  const std::vector<uint8_t> src = pattern(3);
  EXPECT_TRUE(composite(src).empty()) << "no bitmap yet: nothing to blend";
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  const std::vector<uint8_t> out = composite(src);
  ASSERT_FALSE(out.empty());

  for (int y = 0; y < kH; y += 7)
    for (int x = 0; x < kW; x += 5) {
      const int s = lumaAt(src, x, y);
      if (x < 120) {
        ASSERT_EQ(lumaAt(out, x, y), 235) << x << "," << y;  // white
      } else if (x < 240) {
        // Red's luma is 82; alpha 128 of 255.
        ASSERT_EQ(lumaAt(out, x, y), (s * 127 + 82 * 128 + 127) / 255) << x << "," << y;
      } else {
        ASSERT_EQ(lumaAt(out, x, y), s) << x << "," << y;
      }
    }
  for (int cy = 0; cy < kH / 2; cy += 3)
    for (int cx = 0; cx < kW / 2; cx += 3) {
      const int cb = cbAt(src, cx, cy), cr = crAt(src, cx, cy);
      if (cx < 60) {
        ASSERT_EQ(cbAt(out, cx, cy), 128);
        ASSERT_EQ(crAt(out, cx, cy), 128);
      } else if (cx < 120) {
        ASSERT_EQ(cbAt(out, cx, cy), (cb * 508 + 4 * 128 * 90 + 510) / 1020);
        ASSERT_EQ(crAt(out, cx, cy), (cr * 508 + 4 * 128 * 240 + 510) / 1020);
      } else {
        ASSERT_EQ(cbAt(out, cx, cy), cb);
        ASSERT_EQ(crAt(out, cx, cy), cr);
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
  const int blueY = 41, blueCb = 240;  // limited-range pure blue
  EXPECT_EQ(lumaAt(out, 300, 200), blueY);
  EXPECT_EQ(lumaAt(out, 357, 317), blueY);
  EXPECT_EQ(lumaAt(out, 299, 200), 100);
  EXPECT_EQ(lumaAt(out, 300, 199), 100);
  EXPECT_EQ(cbAt(out, 150, 100), blueCb);
  EXPECT_EQ(cbAt(out, 149, 100), 128);
  EXPECT_EQ(lumaAt(out, 359, 319), (blueY * 127 + 16 * 128 + 127) / 255);

  EXPECT_EQ(lumaAt(out, 2, 2), blueY);
  EXPECT_EQ(lumaAt(out, 3, 3), 100);
  EXPECT_EQ(lumaAt(out, 3, 0), 100);
  EXPECT_EQ(cbAt(out, 0, 0), blueCb);
  // Chroma cell (1, 1) serves (2..3, 2..3), of which only (2, 2) is covered:
  // a quarter of blue.
  EXPECT_EQ(cbAt(out, 1, 1), (128 * 765 + 255 * blueCb + 510) / 1020);
  // Untouched elsewhere, byte for byte.
  for (int y = 10; y < 190; ++y)
    for (int x = 10; x < 290; ++x) ASSERT_EQ(lumaAt(out, x, y), 100);

  // A region on another channel does not reach channel 0.
  RK_MPI_SYS_Exit();
  createRegion(0);
  ASSERT_EQ(attach(0, 0, 0, 0, 1), RK_SUCCESS);
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  EXPECT_TRUE(composite(src).empty());
}

TEST_F(Region, BadCallsAreRefused) {
  RGN_ATTR_S ra;
  std::memset(&ra, 0, sizeof ra);
  ra.enType = OVERLAY_RGN;
  ra.unAttr.stOverlay.enPixelFmt = RK_FMT_YUV420SP;
  ra.unAttr.stOverlay.stSize = {368, 320};
  EXPECT_EQ(RK_MPI_RGN_Create(0, &ra), RK_ERR_RGN_NOT_SUPPORT);
  ra.unAttr.stOverlay.enPixelFmt = RK_FMT_RGBA8888;
  EXPECT_EQ(RK_MPI_RGN_Create(RGN_HANDLE_MAX, &ra), RK_ERR_RGN_ILLEGAL_PARAM);
  EXPECT_EQ(RK_MPI_RGN_Create(0, nullptr), RK_ERR_RGN_NULL_PTR);
  ra.unAttr.stOverlay.stSize = {0, 320};
  EXPECT_EQ(RK_MPI_RGN_Create(0, &ra), RK_ERR_RGN_ILLEGAL_PARAM);

  std::vector<Rgba> px(kBw * kBh);
  EXPECT_EQ(setBitmap(0, px, kBw, kBh), RK_ERR_RGN_UNEXIST);
  EXPECT_EQ(attach(0), RK_ERR_RGN_UNEXIST);
  createRegion(0);
  ra.unAttr.stOverlay.stSize = {368, 320};
  EXPECT_EQ(RK_MPI_RGN_Create(0, &ra), RK_ERR_RGN_EXIST);
  // Larger than the region, or another format, or no pixels.
  std::vector<Rgba> big(400 * 320);
  EXPECT_EQ(setBitmap(0, big, 400, 320), RK_ERR_RGN_ILLEGAL_PARAM);
  BITMAP_S bmp{RK_FMT_YUV420SP, kBw, kBh, px.data()};
  EXPECT_EQ(RK_MPI_RGN_SetBitMap(0, &bmp), RK_ERR_RGN_NOT_SUPPORT);
  bmp = BITMAP_S{RK_FMT_RGBA8888, kBw, kBh, nullptr};
  EXPECT_EQ(RK_MPI_RGN_SetBitMap(0, &bmp), RK_ERR_RGN_NULL_PTR);
  // A smaller bitmap is fine.
  EXPECT_EQ(setBitmap(0, px, 360, 320), RK_SUCCESS);

  MPP_CHN_S notEncoder{RK_ID_SYS, 0, 0};
  RGN_CHN_ATTR_S ca;
  std::memset(&ca, 0, sizeof ca);
  EXPECT_EQ(RK_MPI_RGN_AttachToChn(0, &notEncoder, &ca), RK_ERR_RGN_INVALID_CHNID);
  EXPECT_EQ(attach(0, 1 << 30, 0), RK_ERR_RGN_ILLEGAL_PARAM);
  ASSERT_EQ(attach(0), RK_SUCCESS);
  EXPECT_EQ(attach(0), RK_ERR_RGN_EXIST);
  MPP_CHN_S other{RK_ID_VENC, 0, 1};
  EXPECT_NE(RK_MPI_RGN_DetachFromChn(0, &other), RK_SUCCESS);

  // Destroying an attached region takes it off the channel.
  ASSERT_EQ(setBitmap(0, bands(), kBw, kBh), RK_SUCCESS);
  ASSERT_EQ(RK_MPI_RGN_Destroy(0), RK_SUCCESS);
  std::vector<uint8_t> out(kFrameBytes);
  const std::vector<uint8_t> src = pattern(0);
  EXPECT_FALSE(hlmedia::rgnComposite(0, src.data(), kW, kH, out.data(), kW, kH));
  EXPECT_EQ(RK_MPI_RGN_Destroy(0), RK_ERR_RGN_UNEXIST);
}

// Through the encoder: the decoded picture shows the overlay where its alpha
// says and the frame everywhere else, and the overlay set before the channel
// existed (a camera restart while recording) still applies.
TEST_F(Region, EncodedFramesCarryTheOverlay) {
  MB_POOL_CONFIG_S cfg;
  std::memset(&cfg, 0, sizeof cfg);
  cfg.u64MBSize = kFrameBytes;
  cfg.u32MBCnt = 3;
  MB_POOL pool = RK_MPI_MB_CreatePool(&cfg);
  ASSERT_NE(pool, MB_INVALID_POOLID);
  createRegion(0);
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
  // Means over the inside of each band (coding may blur the edges).
  EXPECT_NEAR(meanOf(out, 0, 8, 8, 112, 312), 235, 2);
  EXPECT_NEAR(meanOf(out, 0, 128, 8, 232, 312), (100 * 127 + 82 * 128) / 255.0, 2);
  EXPECT_NEAR(meanOf(out, 0, 248, 8, 352, 312), 100, 2);
  EXPECT_NEAR(meanOf(out, 1, 4, 4, 56, 156), 128, 2);
  EXPECT_NEAR(meanOf(out, 2, 64, 4, 116, 156), (150 * 127 + 240 * 128) / 255.0, 2);
  EXPECT_NEAR(meanOf(out, 1, 124, 4, 176, 156), 110, 2);
  EXPECT_NEAR(meanOf(out, 2, 124, 4, 176, 156), 150, 2);

  MPP_CHN_S c{RK_ID_VENC, 0, 0};
  ASSERT_EQ(RK_MPI_RGN_DetachFromChn(0, &c), RK_SUCCESS);
  for (int i = 3; i < 6; ++i) {
    ASSERT_EQ(sendPicture(pool, src, i), RK_SUCCESS);
    Packet p;
    ASSERT_TRUE(takePacket(&p));
    ASSERT_TRUE(decoder.decode(p.bytes, &out));
  }
  EXPECT_GT(psnr(src.data(), out.data(), kFrameBytes), 40.0);
  RK_MPI_VENC_DestroyChn(0);
  RK_MPI_MB_DestroyPool(pool);
}

}  // namespace
