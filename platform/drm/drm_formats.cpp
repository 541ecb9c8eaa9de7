#include "platform/drm/drm_formats.h"

#include <drm_fourcc.h>

namespace platform {
namespace {

constexpr DrmFormat yuv(uint32_t fourcc, bool chromaBelow, uint8_t planes, uint8_t hsub,
                        uint8_t vsub) {
  return planes == 2 ? DrmFormat{fourcc, 8, chromaBelow, 2, {1, 2, 0}, hsub, vsub}
                     : DrmFormat{fourcc, 8, chromaBelow, 3, {1, 1, 1}, hsub, vsub};
}
// Packed: one plane, whole bytes per pixel (10-bit channels pack into 32).
constexpr DrmFormat packed(uint32_t fourcc, uint8_t bpp) {
  return DrmFormat{fourcc, bpp, false, 1, {static_cast<uint8_t>(bpp / 8), 0, 0}, 1, 1};
}

constexpr DrmFormat kFormats[] = {
    // NV12 is the scan-out format; only it gets its chroma in the same dumb
    // buffer. The other YUV layouts get one plane of the frame's size.
    yuv(DRM_FORMAT_NV12, true, 2, 2, 2),
    yuv(DRM_FORMAT_NV21, false, 2, 2, 2),
    yuv(DRM_FORMAT_YUV420, false, 3, 2, 2),
    yuv(DRM_FORMAT_YUV422, false, 3, 2, 1),
    yuv(DRM_FORMAT_YUV444, false, 3, 1, 1),
    packed(DRM_FORMAT_C8, 8),
    packed(DRM_FORMAT_R8, 8),
    packed(DRM_FORMAT_RGB332, 8),
    packed(DRM_FORMAT_BGR233, 8),
    packed(DRM_FORMAT_XRGB4444, 16),
    packed(DRM_FORMAT_XBGR4444, 16),
    packed(DRM_FORMAT_RGBX4444, 16),
    packed(DRM_FORMAT_BGRX4444, 16),
    packed(DRM_FORMAT_ARGB4444, 16),
    packed(DRM_FORMAT_ABGR4444, 16),
    packed(DRM_FORMAT_RGBA4444, 16),
    packed(DRM_FORMAT_BGRA4444, 16),
    packed(DRM_FORMAT_XRGB1555, 16),
    packed(DRM_FORMAT_XBGR1555, 16),
    packed(DRM_FORMAT_RGBX5551, 16),
    packed(DRM_FORMAT_BGRX5551, 16),
    packed(DRM_FORMAT_ARGB1555, 16),
    packed(DRM_FORMAT_ABGR1555, 16),
    packed(DRM_FORMAT_RGBA5551, 16),
    packed(DRM_FORMAT_BGRA5551, 16),
    packed(DRM_FORMAT_RGB565, 16),
    packed(DRM_FORMAT_BGR565, 16),
    packed(DRM_FORMAT_GR88, 16),
    packed(DRM_FORMAT_YUYV, 16),
    packed(DRM_FORMAT_YVYU, 16),
    packed(DRM_FORMAT_UYVY, 16),
    packed(DRM_FORMAT_VYUY, 16),
    packed(DRM_FORMAT_RGB888, 24),
    packed(DRM_FORMAT_BGR888, 24),
    packed(DRM_FORMAT_XRGB8888, 32),
    packed(DRM_FORMAT_XBGR8888, 32),
    packed(DRM_FORMAT_RGBX8888, 32),
    packed(DRM_FORMAT_BGRX8888, 32),
    packed(DRM_FORMAT_ARGB8888, 32),
    packed(DRM_FORMAT_ABGR8888, 32),
    packed(DRM_FORMAT_RGBA8888, 32),
    packed(DRM_FORMAT_BGRA8888, 32),
    packed(DRM_FORMAT_XRGB2101010, 32),
    packed(DRM_FORMAT_XBGR2101010, 32),
    packed(DRM_FORMAT_RGBX1010102, 32),
    packed(DRM_FORMAT_BGRX1010102, 32),
    packed(DRM_FORMAT_ARGB2101010, 32),
    packed(DRM_FORMAT_ABGR2101010, 32),
    packed(DRM_FORMAT_RGBA1010102, 32),
    packed(DRM_FORMAT_BGRA1010102, 32),
};

}  // namespace

const DrmFormat* drmFormat(uint32_t fourcc) {
  for (const DrmFormat& f : kFormats)
    if (f.fourcc == fourcc) return &f;
  return nullptr;
}

}  // namespace platform
