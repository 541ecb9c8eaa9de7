// Overlay regions: RGBA bitmaps blended in software into the frames of an
// encoder channel.
//
// A bitmap is converted to Y, Cb, Cr and alpha once, when it is set; each
// frame then costs one multiply-add per covered luma sample and one per
// covered chroma pair. Chroma is blended with the alpha-weighted colour of
// the four luma positions it serves, so transparent pixels never tint their
// neighbours and a fully transparent bitmap changes nothing.
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/media/media_internal.h"
#include "platform/media/rk_mpi.h"

namespace {

constexpr RK_U32 kMaxRegionSide = 4096;
constexpr RK_S32 kMaxOffset = 8192;  // keeps position + size far from overflow

struct Region {
  bool created = false;
  SIZE_S size{};
  bool attached = false;
  int chn = -1;
  RGN_CHN_ATTR_S chnAttr{};
  // The current bitmap as Y, Cb, Cr, A per pixel; room for the region's size.
  std::vector<uint8_t> yuva;
  int width = 0;  // 0: no bitmap yet
  int height = 0;
};

std::mutex g_mutex;
std::array<Region, RGN_HANDLE_MAX> g_regions;

bool validHandle(RGN_HANDLE h) { return h >= 0 && h < RGN_HANDLE_MAX; }

// Full-range BT.601, as the picture beneath is (the photos' JPEG formula) and
// as the recording's stream says it is.
inline uint8_t clamp8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }
inline uint8_t lumaOf(int r, int g, int b) {
  return clamp8((77 * r + 150 * g + 29 * b + 128) >> 8);
}
inline uint8_t cbOf(int r, int g, int b) {
  return clamp8(((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128);
}
inline uint8_t crOf(int r, int g, int b) {
  return clamp8(((128 * r - 107 * g - 21 * b + 128) >> 8) + 128);
}

bool showsOn(const Region& r, int chn) {
  return r.created && r.attached && r.chn == chn && r.chnAttr.bShow && r.width > 0;
}

void blend(const Region& r, uint8_t* luma, uint8_t* chroma, int w, int h) {
  const int x0 = r.chnAttr.unChnAttr.stOverlayChn.stPoint.s32X;
  const int y0 = r.chnAttr.unChnAttr.stOverlayChn.stPoint.s32Y;
  const int fx0 = std::max(0, x0), fy0 = std::max(0, y0);
  const int fx1 = std::min(w, x0 + r.width), fy1 = std::min(h, y0 + r.height);
  if (fx0 >= fx1 || fy0 >= fy1) return;
  const uint8_t* pix = r.yuva.data();
  auto at = [&](int fx, int fy) { return pix + ((fy - y0) * r.width + (fx - x0)) * 4; };

  for (int fy = fy0; fy < fy1; ++fy) {
    uint8_t* row = luma + fy * w;
    const uint8_t* p = at(fx0, fy);
    for (int fx = fx0; fx < fx1; ++fx, p += 4) {
      const int a = p[3];
      if (a == 0) continue;
      row[fx] =
          a == 255 ? p[0] : static_cast<uint8_t>((row[fx] * (255 - a) + p[0] * a + 127) / 255);
    }
  }
  for (int cy = fy0 / 2; cy <= (fy1 - 1) / 2; ++cy) {
    uint8_t* row = chroma + cy * w;
    for (int cx = fx0 / 2; cx <= (fx1 - 1) / 2; ++cx) {
      int sumA = 0, sumU = 0, sumV = 0;
      for (int fy = 2 * cy; fy < 2 * cy + 2; ++fy) {
        if (fy < fy0 || fy >= fy1) continue;
        for (int fx = 2 * cx; fx < 2 * cx + 2; ++fx) {
          if (fx < fx0 || fx >= fx1) continue;
          const uint8_t* p = at(fx, fy);
          sumA += p[3];
          sumU += p[3] * p[1];
          sumV += p[3] * p[2];
        }
      }
      if (sumA == 0) continue;
      // The four positions weigh a quarter each; uncovered ones are transparent.
      const int keep = 4 * 255 - sumA;
      uint8_t* uv = row + 2 * cx;
      uv[0] = static_cast<uint8_t>((uv[0] * keep + sumU + 510) / 1020);
      uv[1] = static_cast<uint8_t>((uv[1] * keep + sumV + 510) / 1020);
    }
  }
}

bool isEncoderChannel(const MPP_CHN_S* c) {
  return c && c->enModId == RK_ID_VENC && c->s32DevId == 0 && c->s32ChnId >= 0 &&
         c->s32ChnId < VENC_MAX_CHN_NUM;
}

}  // namespace

namespace hlmedia {

bool rgnComposite(int chn, const uint8_t* src, int srcStride, int srcRows, uint8_t* dst, int width,
                  int height) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::array<const Region*, RGN_HANDLE_MAX> shown{};
  size_t n = 0;
  for (const Region& r : g_regions)
    if (showsOn(r, chn)) shown[n++] = &r;
  if (n == 0) return false;
  // Lower layers first; equal layers in handle order. An insertion sort: a
  // handful of entries, and nothing allocated per frame.
  auto layer = [](const Region* r) { return r->chnAttr.unChnAttr.stOverlayChn.u32Layer; };
  for (size_t i = 1; i < n; ++i)
    for (size_t j = i; j > 0 && layer(shown[j - 1]) > layer(shown[j]); --j)
      std::swap(shown[j - 1], shown[j]);
  for (int y = 0; y < height; ++y)
    std::memcpy(dst + y * width, src + static_cast<size_t>(y) * srcStride, width);
  const uint8_t* srcChroma = src + static_cast<size_t>(srcStride) * srcRows;
  uint8_t* dstChroma = dst + width * height;
  for (int y = 0; y < height / 2; ++y)
    std::memcpy(dstChroma + y * width, srcChroma + static_cast<size_t>(y) * srcStride, width);
  for (size_t i = 0; i < n; ++i) blend(*shown[i], dst, dstChroma, width, height);
  return true;
}

void rgnDestroyAll() {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (Region& r : g_regions) r = Region{};
}

}  // namespace hlmedia

extern "C" {

RK_S32 RK_MPI_RGN_Create(RGN_HANDLE h, const RGN_ATTR_S* attr) {
  if (!validHandle(h)) return RK_ERR_RGN_ILLEGAL_PARAM;
  if (!attr) return RK_ERR_RGN_NULL_PTR;
  if (attr->enType != OVERLAY_RGN || attr->unAttr.stOverlay.enPixelFmt != RK_FMT_RGBA8888)
    return RK_ERR_RGN_NOT_SUPPORT;
  const SIZE_S size = attr->unAttr.stOverlay.stSize;
  if (size.u32Width < 2 || size.u32Height < 2 || size.u32Width > kMaxRegionSide ||
      size.u32Height > kMaxRegionSide)
    return RK_ERR_RGN_ILLEGAL_PARAM;
  std::vector<uint8_t> store(static_cast<size_t>(size.u32Width) * size.u32Height * 4);
  std::lock_guard<std::mutex> lock(g_mutex);
  Region& r = g_regions[h];
  if (r.created) return RK_ERR_RGN_EXIST;
  r = Region{};
  r.created = true;
  r.size = size;
  r.yuva = std::move(store);
  return RK_SUCCESS;
}

RK_S32 RK_MPI_RGN_Destroy(RGN_HANDLE h) {
  if (!validHandle(h)) return RK_ERR_RGN_ILLEGAL_PARAM;
  std::vector<uint8_t> store;  // freed outside the lock
  std::lock_guard<std::mutex> lock(g_mutex);
  Region& r = g_regions[h];
  if (!r.created) return RK_ERR_RGN_UNEXIST;
  store.swap(r.yuva);
  r = Region{};
  return RK_SUCCESS;
}

RK_S32 RK_MPI_RGN_AttachToChn(RGN_HANDLE h, const MPP_CHN_S* chn, const RGN_CHN_ATTR_S* attr) {
  if (!validHandle(h)) return RK_ERR_RGN_ILLEGAL_PARAM;
  if (!chn || !attr) return RK_ERR_RGN_NULL_PTR;
  if (!isEncoderChannel(chn)) return RK_ERR_RGN_INVALID_CHNID;
  if (attr->enType != OVERLAY_RGN) return RK_ERR_RGN_NOT_SUPPORT;
  const POINT_S at = attr->unChnAttr.stOverlayChn.stPoint;
  if (at.s32X < -kMaxOffset || at.s32X > kMaxOffset || at.s32Y < -kMaxOffset ||
      at.s32Y > kMaxOffset)
    return RK_ERR_RGN_ILLEGAL_PARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  Region& r = g_regions[h];
  if (!r.created) return RK_ERR_RGN_UNEXIST;
  if (r.attached) return RK_ERR_RGN_EXIST;
  r.attached = true;
  r.chn = chn->s32ChnId;
  r.chnAttr = *attr;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_RGN_DetachFromChn(RGN_HANDLE h, const MPP_CHN_S* chn) {
  if (!validHandle(h)) return RK_ERR_RGN_ILLEGAL_PARAM;
  if (!chn) return RK_ERR_RGN_NULL_PTR;
  if (!isEncoderChannel(chn)) return RK_ERR_RGN_INVALID_CHNID;
  std::lock_guard<std::mutex> lock(g_mutex);
  Region& r = g_regions[h];
  if (!r.created) return RK_ERR_RGN_UNEXIST;
  if (!r.attached || r.chn != chn->s32ChnId) return RK_ERR_RGN_NOT_PERM;
  r.attached = false;
  r.chn = -1;
  return RK_SUCCESS;
}

RK_S32 RK_MPI_RGN_SetBitMap(RGN_HANDLE h, const BITMAP_S* bmp) {
  if (!validHandle(h)) return RK_ERR_RGN_ILLEGAL_PARAM;
  if (!bmp || !bmp->pData) return RK_ERR_RGN_NULL_PTR;
  if (bmp->enPixelFormat != RK_FMT_RGBA8888) return RK_ERR_RGN_NOT_SUPPORT;
  std::lock_guard<std::mutex> lock(g_mutex);
  Region& r = g_regions[h];
  if (!r.created) return RK_ERR_RGN_UNEXIST;
  if (bmp->u32Width == 0 || bmp->u32Height == 0 || bmp->u32Width > r.size.u32Width ||
      bmp->u32Height > r.size.u32Height)
    return RK_ERR_RGN_ILLEGAL_PARAM;
  const size_t count = static_cast<size_t>(bmp->u32Width) * bmp->u32Height;
  const uint8_t* in = static_cast<const uint8_t*>(bmp->pData);
  uint8_t* out = r.yuva.data();
  for (size_t i = 0; i < count; ++i, in += 4, out += 4) {
    const int red = in[0], green = in[1], blue = in[2];
    out[0] = lumaOf(red, green, blue);
    out[1] = cbOf(red, green, blue);
    out[2] = crOf(red, green, blue);
    out[3] = in[3];
  }
  r.width = static_cast<int>(bmp->u32Width);
  r.height = static_cast<int>(bmp->u32Height);
  return RK_SUCCESS;
}

}  // extern "C"
