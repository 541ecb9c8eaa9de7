// What the user sees when idle sleep releases the display: the panel goes
// dark rather than keeping the last picture, and lights up again with the
// next picture after waking.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <vector>

#include "display/display.h"
#include "platform/rga/rga.h"
#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "tests/support/panel_bench.h"
#include "tests/support/wait.h"

namespace {

// Mid-grey luma and neutral chroma: bright enough to tell from a dark panel.
void showGrey(std::vector<uint8_t>& frame) {
  display_show(frame.data(), -1, RK_FORMAT_YCbCr_420_SP, 256, 192, 20, 0, 216, 192, 90);
}

int centreGrey(const sim::PanelUnderlay& panel) { return qGray(panel.picture().pixel(180, 160)); }

TEST(SleepPanel, ReleasingTheDisplayDarkensThePanelAndWakingLightsIt) {
  testsupport::PanelBench bench;
  ASSERT_TRUE(bench.ok);
  QMainWindow& window = bench.window;
  sim::PanelUnderlay& panel = *bench.panel;

  std::vector<uint8_t> frame(256 * 192 * 3 / 2, 128);
  std::fill(frame.begin(), frame.begin() + 256 * 192, 180);
  ASSERT_EQ(display_init(320, 360), 0);
  showGrey(frame);
  ASSERT_TRUE(testsupport::waitUntil([&] { return centreGrey(panel) > 120; }, 2000));

  // Idle sleep: the image thread releases the display.
  display_deinit();
  EXPECT_TRUE(testsupport::waitUntil([&] { return centreGrey(panel) == 0; }, 2000))
      << "the panel still shows " << centreGrey(panel);
  EXPECT_EQ(qGray(window.grab().toImage().pixel(180, 160)), 0);

  // Waking: brought up again, the next picture shows.
  ASSERT_EQ(display_init(320, 360), 0);
  showGrey(frame);
  EXPECT_TRUE(testsupport::waitUntil([&] { return centreGrey(panel) > 120; }, 2000));
  display_deinit();
}

}  // namespace
