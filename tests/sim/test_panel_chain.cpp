// The panel on the PC: what the overlay plane scans out is shown beneath the
// simulator's window, turned back to landscape, and never in what renders the
// interface alone.
#include <gtest/gtest.h>
#include <libyuv.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <cstdlib>

#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "tests/sim/kms_client.h"
#include "tests/support/panel_bench.h"

namespace {

constexpr int kPanelW = 320, kPanelH = 360;

// Pixel by pixel, without Qt's pooled image conversions.
double meanAbsDiff(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int r = 0; r < a.height(); ++r)
    for (int c = 0; c < a.width(); ++c)
      sum += std::abs(qGray(a.pixel(c, r)) - qGray(b.pixel(c, r)));
  return sum / (a.width() * a.height());
}

// A portrait picture with structure no turn or mirror reproduces: a ramp
// across and a bright block near one corner; grey chroma.
void paint(simtest::Buffer& b, int shift) {
  for (int y = 0; y < kPanelH; ++y)
    for (int x = 0; x < kPanelW; ++x)
      b.map[y * b.pitch + x] = static_cast<uint8_t>(30 + (x + shift) % kPanelW * 120 / kPanelW +
                                                    (y < 100 && x > 220 ? 100 : 0));
  std::fill(b.map + b.pitch * kPanelH, b.map + b.pitch * kPanelH * 3 / 2, 128);
}

// The landscape view the panel's picture stands for: the portrait luma turned
// back a quarter anticlockwise; full range, so grey levels pass unchanged.
QImage landscape(const simtest::Buffer& b) {
  QImage g(kPanelH, kPanelW, QImage::Format_Grayscale8);
  libyuv::RotatePlane(b.map, static_cast<int>(b.pitch), g.bits(),
                      static_cast<int>(g.bytesPerLine()), kPanelW, kPanelH, libyuv::kRotate270);
  return g;
}

TEST(PanelUnderlay, ShowsTheOverlayTurnedBackBeneathTheWindow) {
  testsupport::PanelBench bench;
  ASSERT_TRUE(bench.ok);
  QMainWindow& window = bench.window;
  sim::PanelUnderlay& panel = *bench.panel;
  QWidget* central = bench.central;
  EXPECT_EQ(panel.picture().pixel(180, 160), qRgb(0, 0, 0));  // dark before the first commit

  const int fd = platform::drm().open("rockchip", nullptr);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(platform::drm().setClientCap(fd, DRM_CLIENT_CAP_ATOMIC, 1), 0);
  simtest::Buffer bufs[2] = {simtest::makeNv12(fd, kPanelW, kPanelH),
                             simtest::makeNv12(fd, kPanelW, kPanelH)};
  auto show = [&](simtest::Buffer& b, int shift) {
    paint(b, shift);
    ASSERT_EQ(simtest::commitPlane(fd, sim::SimKms::kPlaneOverlay, sim::SimKms::kCrtcPanel, b.fb,
                                   kPanelW, kPanelH),
              0);
    // The picture follows the commit on the interface thread.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 500 && (panel.picture().size() != QSize(360, 320) ||
                                 meanAbsDiff(panel.picture(), landscape(b)) > 8.0))
      QApplication::processEvents(QEventLoop::AllEvents, 10);
  };
  show(bufs[0], 0);
  const QImage first = panel.picture();
  ASSERT_EQ(first.size(), QSize(360, 320));

  // Turned back the right way round: close to the landscape view, far from
  // its mirror image.
  const QImage expected = landscape(bufs[0]);
  const double straight = meanAbsDiff(first, expected);
  EXPECT_LT(straight, 8.0) << straight;
  EXPECT_GT(meanAbsDiff(first, expected.mirrored(true, false)), straight + 4.0);
  EXPECT_GT(meanAbsDiff(first, expected.mirrored(false, true)), straight + 4.0);

  // The window's own painting shows it beneath the interface; rendering the
  // central widget (photos, the recording overlay) never includes it.
  EXPECT_LT(meanAbsDiff(window.grab().toImage(), first), 1.0);
  QImage photo(central->size(), QImage::Format_ARGB32);
  photo.fill(Qt::transparent);
  central->render(&photo, QPoint(), QRegion(), QWidget::DrawChildren);
  EXPECT_EQ(qAlpha(photo.pixel(180, 160)), 0);

  // The next commit replaces the picture.
  show(bufs[1], 160);
  EXPECT_LT(meanAbsDiff(panel.picture(), landscape(bufs[1])), 8.0);
  EXPECT_GT(meanAbsDiff(panel.picture(), first), 10.0);

  for (simtest::Buffer& b : bufs) {
    platform::drm().munmap(b.map, b.size);
    b.prime.reset();
  }
  platform::drm().close(fd);
}

}  // namespace
