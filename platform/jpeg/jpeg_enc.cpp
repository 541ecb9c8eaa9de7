#include "platform/jpeg/jpeg_enc.h"

#include <libyuv/planar_functions.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/diag.h"

namespace {

constexpr int kMaxSide = 16384;

// Frees the encoder's output buffer and handle on every way out.
struct Compressor {
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  ~Compressor() {
    if (out) tjFree(out);
    if (handle) tjDestroy(handle);
  }
};

}  // namespace

extern "C" int jpeg_enc(const void* nv12, const char* path, int width, int height, int quality) {
  if (!nv12 || !path || !*path || width <= 0 || height <= 0 || width > kMaxSide ||
      height > kMaxSide) {
    diag::warning(diag::kJpeg, "jpeg_enc: bad arguments");
    return -1;
  }
  quality = std::clamp(quality, 1, 100);
  const int cw = (width + 1) / 2, ch = (height + 1) / 2;
  const auto* y = static_cast<const unsigned char*>(nv12);
  const unsigned char* uv = y + static_cast<size_t>(width) * height;

  // The JPEG side wants separate chroma planes.
  std::vector<unsigned char> planes(static_cast<size_t>(cw) * ch * 2);
  unsigned char* u = planes.data();
  unsigned char* v = u + static_cast<size_t>(cw) * ch;
  libyuv::SplitUVPlane(uv, cw * 2, u, cw, v, cw, cw, ch);

  Compressor c;
  if (!c.handle) {
    diag::warning(diag::kJpeg, "jpeg_enc: %s", tjGetErrorStr2(nullptr));
    return -1;
  }
  const unsigned char* srcPlanes[3] = {y, u, v};
  const int strides[3] = {width, cw, cw};
  unsigned long size = 0;
  if (tjCompressFromYUVPlanes(c.handle, srcPlanes, width, strides, height, TJSAMP_420, &c.out,
                              &size, quality, 0) != 0) {
    diag::warning(diag::kJpeg, "jpeg_enc: %s", tjGetErrorStr2(c.handle));
    return -1;
  }
  FILE* f = std::fopen(path, "wb");
  if (!f) {
    diag::warning(diag::kJpeg, "jpeg_enc: cannot create %s", path);
    return -1;
  }
  const bool written = std::fwrite(c.out, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) {
    diag::warning(diag::kJpeg, "jpeg_enc: cannot write %s", path);
    std::remove(path);
    return -1;
  }
  return 0;
}
