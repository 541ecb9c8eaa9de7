#include "platform/visible_crop.h"

#include <algorithm>
#include <cmath>

namespace platform {

VisibleCrop visibleCrop(int zoomTenths, bool sr) {
  const double s = std::max(zoomTenths, 10) / 10.0;
  const int frameW = sr ? 768 : 256;
  const int frameH = sr ? 576 : 192;
  auto visible = [](double v) {
    const int r = static_cast<int>(std::lround(v));
    return r - r % 8;
  };
  VisibleCrop c;
  c.w = visible((sr ? 648.0 : 216.0) / s);
  c.h = visible((sr ? 576.0 : 192.0) / s);
  c.x = (frameW - c.w) / 2;
  c.y = (frameH - c.h) / 2;
  return c;
}

}  // namespace platform
