#include "platform/rga/rga.h"

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/rotate.h>
#include <libyuv/scale.h>
#include <libyuv/scale_uv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/devio.h"
#include "platform/diag.h"

namespace {

struct Nv12 {
  uint8_t* y;
  int strideY;
  uint8_t* uv;
  int strideUv;
  int w;
  int h;
};

// One side of a blit once validated: where its pixels are and whether we
// mapped them.
struct Side {
  uint8_t* base = nullptr;
  long bytes = 0;
  bool mapped = false;
  int format = 0;
  rga_rect_t r{};
};

bool fail(const char* why) {
  diag::warning(diag::kRga, "c_RkRgaBlit: %s", why);
  return false;
}

int refuse(const char* why) {
  fail(why);
  return -1;
}

bool isYuv(int format) { return format == RK_FORMAT_YCbCr_420_SP || format == RK_FORMAT_YUYV_422; }

bool checkRect(const rga_rect_t& r, bool source) {
  const int f = r.format;
  const bool known =
      source ? (f == RK_FORMAT_YUYV_422 || f == RK_FORMAT_YCbCr_420_SP)
             : (f == RK_FORMAT_YCbCr_420_SP || f == RK_FORMAT_RGB_888 || f == RK_FORMAT_RGBA_8888);
  if (!known) return fail(source ? "unsupported source format" : "unsupported target format");
  if (r.width <= 0 || r.height <= 0 || r.xoffset < 0 || r.yoffset < 0 || r.wstride <= 0 ||
      r.hstride <= 0)
    return fail("bad rectangle");
  if (static_cast<long>(r.xoffset) + r.width > r.wstride ||
      static_cast<long>(r.yoffset) + r.height > r.hstride)
    return fail("rectangle outside the image");
  if (r.wstride > 16384 || r.hstride > 16384) return fail("image too large");
  if (isYuv(f) && ((r.xoffset | r.yoffset | r.width | r.height | r.wstride | r.hstride) & 1))
    return fail("odd offset or size on a subsampled format");
  // Every picture passes through NV12 on its way, which has no half blocks.
  if ((r.width | r.height) & 1) return fail("odd rectangle size");
  return true;
}

bool open(rga_info_t* info, bool source, Side& side) {
  side.r = info->rect;
  side.format = info->rect.format;
  if (!checkRect(side.r, source)) return false;
  side.bytes = rga_image_bytes(side.format, side.r.wstride, side.r.hstride);
  if (info->fd >= 0) {
    // Touching a mapping past the end of the buffer would kill the process,
    // so a buffer too small for its image is refused. Memory files report
    // their size to fstat, dma-bufs to a seek to their end.
    struct stat st;
    off_t size = -1;
    if (fstat(info->fd, &st) == 0 && S_ISREG(st.st_mode))
      size = st.st_size;
    else
      size = lseek(info->fd, 0, SEEK_END);
    if (size >= 0 && size < side.bytes) return fail("dma-buf smaller than its image");
    void* p = platform::dev().mmap(nullptr, static_cast<size_t>(side.bytes), PROT_READ | PROT_WRITE,
                                   MAP_SHARED, info->fd, 0);
    if (p == MAP_FAILED) return fail("cannot map dma-buf");
    side.base = static_cast<uint8_t*>(p);
    side.mapped = true;
  } else {
    side.base = static_cast<uint8_t*>(info->virAddr);
    if (!side.base) return fail("no buffer");
  }
  return true;
}

void close(Side& side) {
  if (side.mapped) platform::dev().munmap(side.base, static_cast<size_t>(side.bytes));
  side.mapped = false;
}

// The rectangle of an NV12 image as plane pointers.
Nv12 nv12Rect(const Side& s) {
  const rga_rect_t& r = s.r;
  uint8_t* uvPlane = s.base + static_cast<long>(r.wstride) * r.hstride;
  return {s.base + static_cast<long>(r.yoffset) * r.wstride + r.xoffset,
          r.wstride,
          uvPlane + static_cast<long>(r.yoffset / 2) * r.wstride + r.xoffset,
          r.wstride,
          r.width,
          r.height};
}

// Per-thread scratch frames, grown on first use of a size and then reused,
// so steady-state blits allocate nothing and threads never share them.
// a: the converted source, b: between rotation and scaling, c: the NV12
// picture before conversion to RGB, c2: a second intermediate frame, planes:
// chroma planes while scaling.
struct Scratch {
  std::vector<uint8_t> a, b, c, c2, planes;
};
thread_local Scratch t_scratch;

Nv12 scratchFrame(std::vector<uint8_t>& v, int w, int h) {
  const size_t need = static_cast<size_t>(w) * h * 3 / 2;
  if (v.size() < need) v.resize(need);
  return {v.data(), w, v.data() + static_cast<size_t>(w) * h, w, w, h};
}

bool copy(const Nv12& s, const Nv12& d) {
  return libyuv::NV12Copy(s.y, s.strideY, s.uv, s.strideUv, d.y, d.strideY, d.uv, d.strideUv, s.w,
                          s.h) == 0;
}

// Chroma upscaling goes through separate planes: libyuv's interleaved
// upscaler (UVScale, used by NV12Scale) biases every sample down by a level or
// two, which would tint the whole picture.
bool scale(const Nv12& s, const Nv12& d, Scratch& scr) {
  libyuv::ScalePlane(s.y, s.strideY, s.w, s.h, d.y, d.strideY, d.w, d.h, libyuv::kFilterBox);
  const int sw = s.w / 2, sh = s.h / 2, dw = d.w / 2, dh = d.h / 2;
  if (dw <= sw && dh <= sh)
    return libyuv::UVScale(s.uv, s.strideUv, sw, sh, d.uv, d.strideUv, dw, dh,
                           libyuv::kFilterBox) == 0;
  const size_t need = static_cast<size_t>(sw) * sh * 2 + static_cast<size_t>(dw) * dh * 2;
  if (scr.planes.size() < need) scr.planes.resize(need);
  uint8_t* su = scr.planes.data();
  uint8_t* sv = su + static_cast<size_t>(sw) * sh;
  uint8_t* du = sv + static_cast<size_t>(sw) * sh;
  uint8_t* dv = du + static_cast<size_t>(dw) * dh;
  libyuv::SplitUVPlane(s.uv, s.strideUv, su, sw, sv, sw, sw, sh);
  libyuv::ScalePlane(su, sw, sw, sh, du, dw, dw, dh, libyuv::kFilterBilinear);
  libyuv::ScalePlane(sv, sw, sw, sh, dv, dw, dw, dh, libyuv::kFilterBilinear);
  libyuv::MergeUVPlane(du, dw, dv, dw, d.uv, d.strideUv, dw, dh);
  return true;
}

// The chroma plane turns as a plane of 16-bit CbCr pairs.
bool rotate(const Nv12& s, const Nv12& d, libyuv::RotationMode mode) {
  if ((reinterpret_cast<uintptr_t>(s.uv) | reinterpret_cast<uintptr_t>(d.uv)) & 1)
    return fail("chroma plane not 2-byte aligned");
  if (libyuv::RotatePlane(s.y, s.strideY, d.y, d.strideY, s.w, s.h, mode) != 0) return false;
  return libyuv::RotatePlane_16(reinterpret_cast<const uint16_t*>(s.uv), s.strideUv / 2,
                                reinterpret_cast<uint16_t*>(d.uv), d.strideUv / 2, s.w / 2, s.h / 2,
                                mode) == 0;
}

// Vertical-only scaling, the fast case of libyuv's scaler: rows are blended,
// never resampled along the line. The interleaved chroma rows blend like any
// other bytes.
bool scaleRows(const Nv12& s, const Nv12& d) {
  libyuv::ScalePlane(s.y, s.strideY, s.w, s.h, d.y, d.strideY, d.w, d.h, libyuv::kFilterBilinear);
  libyuv::ScalePlane(s.uv, s.strideUv, s.w, s.h / 2, d.uv, d.strideUv, d.w, d.h / 2,
                     libyuv::kFilterBilinear);
  return true;
}

// Rotates s by mode and scales the result to d's size.
bool transform(const Nv12& s, const Nv12& d, libyuv::RotationMode mode, Scratch& scr) {
  const bool quarter = mode == libyuv::kRotate90 || mode == libyuv::kRotate270;
  const int rw = quarter ? s.h : s.w;
  const int rh = quarter ? s.w : s.h;
  const bool sameSize = rw == d.w && rh == d.h;
  if (mode == libyuv::kRotate0) return sameSize ? copy(s, d) : scale(s, d, scr);
  if (sameSize) return rotate(s, d, mode);
  if (quarter && d.w >= rw && d.h >= rh) {
    // Enlarging through a quarter turn: the turn swaps the axes, so both
    // directions can be scaled as rows, which libyuv does several times
    // faster than resampling along lines. Bilinear either way.
    const Nv12 tall = scratchFrame(scr.b, s.w, d.w);
    const Nv12 turned = scratchFrame(scr.c2, d.w, s.w);
    return scaleRows(s, tall) && rotate(tall, turned, mode) && scaleRows(turned, d);
  }
  // Otherwise the intermediate frame is whichever of the two orders keeps it
  // smaller.
  if (static_cast<long>(d.w) * d.h < static_cast<long>(s.w) * s.h) {
    const Nv12 mid = scratchFrame(scr.b, quarter ? d.h : d.w, quarter ? d.w : d.h);
    return scale(s, mid, scr) && rotate(mid, d, mode);
  }
  const Nv12 mid = scratchFrame(scr.b, rw, rh);
  return rotate(s, mid, mode) && scale(mid, d, scr);
}

bool toRgb(const Nv12& s, const Side& dst) {
  const rga_rect_t& r = dst.r;
  const int bpp = dst.format == RK_FORMAT_RGB_888 ? 3 : 4;
  uint8_t* p = dst.base + (static_cast<long>(r.yoffset) * r.wstride + r.xoffset) * bpp;
  const int stride = r.wstride * bpp;
  if (bpp == 3)
    return NV12ToRAWMatrix(s.y, s.strideY, s.uv, s.strideUv, p, stride, &libyuv::kYuvJPEGConstants,
                           s.w, s.h) == 0;
  return NV12ToABGRMatrix(s.y, s.strideY, s.uv, s.strideUv, p, stride, &libyuv::kYuvJPEGConstants,
                          s.w, s.h) == 0;
}

bool run(const Side& src, const Side& dst, libyuv::RotationMode mode) {
  Scratch& scr = t_scratch;
  Nv12 in;
  if (src.format == RK_FORMAT_YUYV_422) {
    const rga_rect_t& r = src.r;
    const uint8_t* p = src.base + (static_cast<long>(r.yoffset) * r.wstride + r.xoffset) * 2;
    // The common case, a plain conversion, goes straight into the target.
    if (mode == libyuv::kRotate0 && dst.format == RK_FORMAT_YCbCr_420_SP &&
        r.width == dst.r.width && r.height == dst.r.height) {
      const Nv12 out = nv12Rect(dst);
      return libyuv::YUY2ToNV12(p, r.wstride * 2, out.y, out.strideY, out.uv, out.strideUv, r.width,
                                r.height) == 0;
    }
    in = scratchFrame(scr.a, r.width, r.height);
    if (libyuv::YUY2ToNV12(p, r.wstride * 2, in.y, in.strideY, in.uv, in.strideUv, r.width,
                           r.height) != 0)
      return false;
  } else {
    in = nv12Rect(src);
  }
  if (dst.format == RK_FORMAT_YCbCr_420_SP) return transform(in, nv12Rect(dst), mode, scr);
  const bool quarter = mode == libyuv::kRotate90 || mode == libyuv::kRotate270;
  const int rw = quarter ? in.h : in.w;
  const int rh = quarter ? in.w : in.h;
  if (mode == libyuv::kRotate0 && rw == dst.r.width && rh == dst.r.height) return toRgb(in, dst);
  // RGB targets: transform in NV12 (half the bytes), convert at the end.
  const Nv12 out = scratchFrame(scr.c, dst.r.width, dst.r.height);
  return transform(in, out, mode, scr) && toRgb(out, dst);
}

}  // namespace

int rga_set_rect(rga_rect_t* rect, int x, int y, int w, int h, int sw, int sh, int format) {
  if (!rect || x < 0 || y < 0 || w < 0 || h < 0 || sw < 0 || sh < 0) return -1;
  *rect = rga_rect_t{x, y, w, h, sw, sh, format, 0};
  return 0;
}

long rga_image_bytes(int format, int wstride, int hstride) {
  const long px = static_cast<long>(wstride) * hstride;
  switch (format) {
    case RK_FORMAT_YCbCr_420_SP:
      return px * 3 / 2;
    case RK_FORMAT_YUYV_422:
      return px * 2;
    case RK_FORMAT_RGB_888:
      return px * 3;
    case RK_FORMAT_RGBA_8888:
      return px * 4;
    default:
      return 0;
  }
}

int c_RkRgaBlit(rga_info_t* src, rga_info_t* dst, rga_info_t* src1) {
  if (!src || !dst) return refuse("null image");
  if (src1) return refuse("blending is not supported");
  if (dst->rotation != 0) return refuse("rotation on the target is not supported");
  libyuv::RotationMode mode;
  switch (src->rotation) {
    case 0:
      mode = libyuv::kRotate0;
      break;
    case HAL_TRANSFORM_ROT_90:
      mode = libyuv::kRotate90;
      break;
    case HAL_TRANSFORM_ROT_180:
      mode = libyuv::kRotate180;
      break;
    case HAL_TRANSFORM_ROT_270:
      mode = libyuv::kRotate270;
      break;
    default:
      return refuse("unsupported transform");
  }
  Side s, d;
  if (!open(src, true, s)) return -1;
  if (!open(dst, false, d)) {
    close(s);
    return -1;
  }
  const bool ok = run(s, d, mode);
  close(s);
  close(d);
  if (!ok) {
    diag::warning(diag::kRga, "c_RkRgaBlit: conversion failed");
    return -1;
  }
  return 0;
}
