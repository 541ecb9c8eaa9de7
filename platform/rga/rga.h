#pragma once
// The 2-D raster accelerator's blit entry point, as the program calls it.
//
// On the board the vendor's librga sits behind these names; everywhere else
// this software implementation (libyuv underneath) does the same work on the
// processor. One call is one synchronous job: crop the source rectangle,
// rotate it, scale it into the destination rectangle and convert its format.
//
// Supported images (all tightly packed: a line is wstride pixels, planes
// follow each other directly, hstride lines per plane):
//   source      RK_FORMAT_YUYV_422     packed Y0 U Y1 V, 2 bytes per pixel
//               RK_FORMAT_YCbCr_420_SP NV12: Y plane, then CbCr interleaved
//                                      at half width and half height
//   destination RK_FORMAT_YCbCr_420_SP
//               RK_FORMAT_RGB_888      bytes R, G, B
//               RK_FORMAT_RGBA_8888    bytes R, G, B, A (A = 255)
// YUV to RGB uses the full-range BT.601 matrix: the thermal picture uses
// every luma level, so nothing is clipped at the ends of the scale.
//
// Transforms (source rotation, clockwise): 0, HAL_TRANSFORM_ROT_90,
// HAL_TRANSFORM_ROT_180, HAL_TRANSFORM_ROT_270. Scaling happens after the
// rotation, from the rotated source rectangle to the destination rectangle
// (box filter down, bilinear up; chroma scaled like luma). Rectangle sizes
// must be even, and so must offsets and strides of YUV images; flips,
// blending (a non-null third argument) and a rotation on the destination are
// refused.
//
// An image is given either by dma-buf descriptor (fd >= 0; mapped shared,
// read-write, at offset 0 for the duration of the call, and refused if the
// buffer is smaller than the image) or by virtual address (fd = -1).
// A refused or failed blit returns -1 after one line on standard output and
// touches no memory outside the two rectangles.
//
// The call keeps no shared state: any number of threads may blit at once.
// Rotating while scaling uses a per-thread scratch frame that grows to the
// largest size seen on that thread and is then reused.

#include <cstdint>

enum RgaSurfFormat {
  RK_FORMAT_RGBA_8888 = 0x0000,
  RK_FORMAT_RGB_888 = 0x0200,
  RK_FORMAT_YCbCr_420_SP = 0x0A00,
  RK_FORMAT_YUYV_422 = 0x1C00,
};

enum RgaTransform {
  HAL_TRANSFORM_FLIP_H = 0x01,
  HAL_TRANSFORM_FLIP_V = 0x02,
  HAL_TRANSFORM_ROT_90 = 0x04,
  HAL_TRANSFORM_ROT_180 = 0x03,
  HAL_TRANSFORM_ROT_270 = 0x07,
};

struct rga_rect_t {
  int xoffset;
  int yoffset;
  int width;
  int height;
  int wstride;  // pixels per line of the whole image
  int hstride;  // lines of the whole image (per plane)
  int format;   // RK_FORMAT_*
  int size;
};

// One image of a blit. Fields the program does not use stay zero.
struct rga_info_t {
  int fd;         // dma-buf descriptor, or -1 to use virAddr
  void* virAddr;  // the image's address in this process when fd is -1
  void* phyAddr;  // unused here
  unsigned hnd;   // unused here
  int format;     // unused: the rectangle's format counts
  rga_rect_t rect;
  unsigned blend;  // must be 0
  int bufferSize;
  int rotation;  // source only: 0 or HAL_TRANSFORM_ROT_*
  int color;
  int testLog;
  int mmuFlag;  // 1: the image is in virtual memory
};

// Fills a rectangle; returns 0, or -1 for negative values.
int rga_set_rect(rga_rect_t* rect, int x, int y, int w, int h, int sw, int sh, int format);

// The blit. src1 must be null. Returns 0 on success, -1 on refusal or failure.
int c_RkRgaBlit(rga_info_t* src, rga_info_t* dst, rga_info_t* src1);

// Bytes an image of this format and size occupies, tightly packed; 0 for a
// format the blit does not know.
long rga_image_bytes(int format, int wstride, int hstride);
