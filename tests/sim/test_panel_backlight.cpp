// The simulated panel's backlight: the level the program writes dims the
// picture beneath the window in proportion, as the board's panel does.
#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>

#include "devices/power_supply.h"
#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "tests/sim/kms_client.h"
#include "tests/support/panel_bench.h"

namespace {

constexpr int kPanelW = 320, kPanelH = 360;
constexpr int kLuma = 200;

const char kMaxPath[] = "/sys/class/backlight/22120000.dsi.0/max_brightness";

int shownGrey(QMainWindow& window) { return qGray(window.grab().toImage().pixel(180, 160)); }

TEST(PanelUnderlay, BacklightDimsThePictureInProportion) {
  testsupport::PanelBench bench;
  ASSERT_TRUE(bench.ok);
  TempRoot& root = bench.root;
  QMainWindow& window = bench.window;
  sim::PanelUnderlay& panel = *bench.panel;

  // A flat grey picture on the overlay plane.
  const int fd = platform::drm().open("rockchip", nullptr);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(platform::drm().setClientCap(fd, DRM_CLIENT_CAP_ATOMIC, 1), 0);
  simtest::Buffer b = simtest::makeNv12(fd, kPanelW, kPanelH);
  std::fill(b.map, b.map + b.pitch * kPanelH, kLuma);
  std::fill(b.map + b.pitch * kPanelH, b.map + b.pitch * kPanelH * 3 / 2, 128);
  ASSERT_EQ(simtest::commitPlane(fd, sim::SimKms::kPlaneOverlay, sim::SimKms::kCrtcPanel, b.fb,
                                 kPanelW, kPanelH),
            0);
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 1000 && qGray(panel.picture().pixel(180, 160)) < kLuma - 4)
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_NEAR(qGray(panel.picture().pixel(180, 160)), kLuma, 4);

  // No backlight attribute: full brightness.
  panel.pollBacklight();
  EXPECT_NEAR(shownGrey(window), kLuma, 4);

  const struct {
    const char* level;
    const char* max;  // nullptr: no max_brightness, 255 assumed
    double factor;
  } cases[] = {
      {"255", nullptr, 1.0}, {"0", nullptr, 0.0}, {"128", nullptr, 128 / 255.0},
      {"50", "100", 0.5},    {"300", "255", 1.0}, {"junk", "255", 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.level) + " of " + (c.max ? c.max : "(255)"));
    root.write(power_supply::kBacklightPath, c.level);
    if (c.max)
      root.write(kMaxPath, c.max);
    else
      QFile::remove(root.file(kMaxPath));
    panel.pollBacklight();
    EXPECT_NEAR(panel.backlightFactor(), c.factor, 1e-9);
    EXPECT_NEAR(shownGrey(window), kLuma * std::pow(c.factor, 1 / 2.2), 4);
    // What the plane holds is untouched: photos never see the backlight.
    EXPECT_NEAR(qGray(panel.picture().pixel(180, 160)), kLuma, 4);
  }

  // Comparing with photos: the backlight can be left out.
  root.write(power_supply::kBacklightPath, "0");
  panel.pollBacklight();
  panel.setFollowsBacklight(false);
  EXPECT_NEAR(shownGrey(window), kLuma, 4);

  platform::drm().munmap(b.map, b.size);
  b.prime.reset();
  platform::drm().close(fd);
}

}  // namespace
