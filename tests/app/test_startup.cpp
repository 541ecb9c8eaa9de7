#include <gtest/gtest.h>

#include "app/startup.h"

TEST(Startup, FontScaleAndUiScaleFollowTheScreensDpi) {
  struct Case {
    double dpi, pointSize, uiScale;
  } cases[] = {
      {96, 8.0, 2.0},   // the reference screen
      {192, 4.0, 1.6},  // 1.0 clamped up to 1.6
      {300, 3.6, 1.6},  // 0.32 raised to 0.45
      {72, 8.0, 2.0},   // 1.33 cut to 1.0
  };
  for (const Case& c : cases) {
    const double s = startup::fontScaleForDpi(c.dpi);
    const QFont f = startup::applicationFont(s);
    EXPECT_NEAR(f.pointSizeF(), c.pointSize, 1e-9) << c.dpi;
    EXPECT_NEAR(startup::uiScaleForPointSize(f.pointSizeF()), c.uiScale, 1e-9) << c.dpi;
  }
  // No screen, or one that reports nonsense, gives the unscaled font.
  EXPECT_EQ(startup::fontScale(nullptr), 1.0);
  EXPECT_EQ(startup::fontScaleForDpi(0.0), 1.0);
  // Large point sizes are capped.
  EXPECT_EQ(startup::uiScaleForPointSize(12.0), 2.2);
}
