#include <gtest/gtest.h>

#include "app/home_gestures.h"

namespace {
using A = HomeGestures::Action;

struct Case {
  const char* name;
  QPoint move;
  int ms;
  A action;
};

}  // namespace

TEST(HomeGestures, MovementsAndDurationsClassify) {
  const Case cases[] = {
      {"left swipe", {-60, 20}, 150, A::NextReticle},
      {"right swipe", {60, 0}, 150, A::PreviousReticle},
      {"up swipe", {-20, -60}, 150, A::NextPalette},
      {"down swipe", {0, 70}, 150, A::PreviousPalette},
      {"too short either way", {40, 40}, 150, A::None},
      {"still 400 ms", {0, 0}, 400, A::None},
      {"still 460 ms", {5, 5}, 460, A::OpenMenu},
      {"slow vertical drag", {0, -60}, 600, A::NextPalette},
      {"slow drag within the dead band", {0, 40}, 600, A::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HomeGestures g;
    g.press({180, 160}, 1000);
    const HomeGestures::Result r = g.release(QPoint(180, 160) + c.move, 1000 + c.ms);
    EXPECT_EQ(r.action, c.action);
    EXPECT_EQ(r.consumed, c.action != A::None);
  }
}

TEST(HomeGestures, DoubleTapNeedsTimeAndPlace) {
  auto secondTap = [](int gapMs, QPoint offset) {
    HomeGestures g;
    g.press({180, 160}, 1000);
    g.release({180, 160}, 1080);
    g.press(QPoint(180, 160) + offset, 1080 + gapMs);
    return g.release(QPoint(180, 160) + offset, 1160 + gapMs).action;
  };
  EXPECT_EQ(secondTap(150, {10, 5}), A::StepZoom);
  EXPECT_EQ(secondTap(150, {60, 0}), A::None);  // too far from the first
  EXPECT_EQ(secondTap(500, {0, 0}), A::None);   // too late
  // A third tap right after a double tap starts afresh.
  HomeGestures g;
  for (qint64 t : {1000, 1200}) {
    g.press({180, 160}, t);
    g.release({180, 160}, t + 50);
  }
  g.press({180, 160}, 1400);
  EXPECT_EQ(g.release({180, 160}, 1450).action, A::None);
}
