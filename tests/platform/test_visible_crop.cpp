#include "platform/visible_crop.h"

#include <gtest/gtest.h>

#include <tuple>

// Centred, inside the frame, and of whole chroma blocks.
TEST(VisibleCrop, IsCentredAndCutToMultiplesOfEight) {
  struct Case {
    int scale;
    bool sr;
    int x, y, w, h;
  };
  const Case cases[] = {{10, false, 20, 0, 216, 192},  {20, false, 76, 48, 104, 96},
                        {10, true, 60, 0, 648, 576},   {20, true, 224, 144, 320, 288},
                        {15, false, 56, 32, 144, 128}, {13, false, 48, 24, 160, 144}};
  for (const Case& c : cases) {
    const platform::VisibleCrop got = platform::visibleCrop(c.scale, c.sr);
    EXPECT_EQ(std::make_tuple(got.x, got.y, got.w, got.h), std::make_tuple(c.x, c.y, c.w, c.h))
        << "scale " << c.scale << " sr " << c.sr;
  }
}
