#include "platform/rga/rga_ops.h"

#include <cstring>

#include "platform/diag.h"
#include "platform/rga/rga.h"

int rga_cvtcolor(void* src, int srcWidth, int srcHeight, void* dst, int dstWidth, int dstHeight) {
  rga_info_t s;
  rga_info_t d;
  std::memset(&s, 0, sizeof s);
  std::memset(&d, 0, sizeof d);
  s.fd = -1;
  s.virAddr = src;
  s.mmuFlag = 1;
  d.fd = -1;
  d.virAddr = dst;
  d.mmuFlag = 1;
  rga_set_rect(&s.rect, 0, 0, srcWidth, srcHeight, srcWidth, srcHeight, RK_FORMAT_YUYV_422);
  rga_set_rect(&d.rect, 0, 0, dstWidth, dstHeight, dstWidth, dstHeight, RK_FORMAT_YCbCr_420_SP);
  if (c_RkRgaBlit(&s, &d, nullptr) != 0) {
    // Once per frame while the accelerator refuses.
    static diag::Throttle failures;
    if (failures.next()) diag::out("%s: rga fail\n", "rga_cvtcolor");
    return -1;
  }
  return 0;
}
