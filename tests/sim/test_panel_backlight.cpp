// The simulated panel's backlight: the level the program writes dims, in
// proportion, everything the workbench's screen shows, the picture beneath
// and the interface over it, as the board's backlight lights both planes.
// Pixels (the window itself, screenshots, the bench's saves) keep full level.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <cmath>

#include "devices/power_supply.h"
#include "sim/panel_underlay.h"
#include "sim/screenshot.h"
#include "sim/sim_board.h"
#include "sim/workbench.h"
#include "tests/sim/kms_client.h"
#include "tests/support/panel_bench.h"

namespace {

constexpr int kPanelW = 320, kPanelH = 360;
constexpr int kLuma = 200;

const char kMaxPath[] = "/sys/class/backlight/22120000.dsi.0/max_brightness";

TEST(PanelUnderlay, BacklightLightsTheWholeScreenButNoPixels) {
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

  // A white patch of interface over the picture, and the bench's screen.
  auto* patch = new QLabel(bench.central);
  patch->setGeometry(20, 20, 80, 30);
  patch->setStyleSheet(QStringLiteral("background:#ffffff;"));
  patch->show();
  sim::SimKeypad keypad;
  sim::WorkbenchParts parts;
  parts.device = &window;
  parts.keypad = &keypad;
  parts.panel = &panel;
  sim::Workbench workbench(parts, 1);
  workbench.show();
  QWidget* screen = workbench.findChild<QWidget*>(QStringLiteral("screen"));
  ASSERT_NE(screen, nullptr);
  auto shown = [&] {
    workbench.refreshScreen();
    return screen->grab().toImage();
  };

  // No backlight attribute: full light.
  panel.pollBacklight();
  EXPECT_NEAR(qGray(shown().pixel(180, 160)), kLuma, 4);

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
    const double lit = std::pow(c.factor, 1 / 2.2);
    const QImage onBench = shown();
    EXPECT_NEAR(qGray(onBench.pixel(180, 160)), kLuma * lit, 4);  // the picture
    EXPECT_NEAR(qGray(onBench.pixel(50, 30)), 255 * lit, 4);      // the interface
    // Pixels: the plane, the window's own rendering (screenshots) and what
    // the bench saves stay at full level.
    EXPECT_NEAR(qGray(panel.picture().pixel(180, 160)), kLuma, 4);
    const QImage shot = sim::grabScreen(&window);
    EXPECT_NEAR(qGray(shot.pixel(180, 160)), kLuma, 4);
    EXPECT_EQ(qGray(shot.pixel(50, 30)), 255);
    EXPECT_EQ(workbench.deviceScreen().convertToFormat(QImage::Format_RGB32),
              shot.convertToFormat(QImage::Format_RGB32));
  }

  platform::drm().munmap(b.map, b.size);
  b.prime.reset();
  platform::drm().close(fd);
}

}  // namespace
