// The whole road of a picture on the simulated board, driven by a short
// client: the camera through the device seam, conversion, a centred crop
// turned by 90 degrees and scaled into a dumb buffer, an atomic commit on the
// overlay plane, and the panel underlay that shows it beneath the window.
#include <gtest/gtest.h>
#include <libyuv.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <cstdlib>
#include <vector>

#include "sim/panel_underlay.h"
#include "sim/sim_board.h"
#include "tests/sim/capture_client.h"
#include "tests/sim/kms_client.h"
#include "tests/support/temp_root.h"

namespace {

constexpr int kW = 256, kH = 192, kCropW = 216;
constexpr int kPanelW = 320, kPanelH = 360;

// The display end of the client: four NV12 scan-out buffers on the overlay.
// A YUYV frame is cropped to its centred 216 x 192, turned 90 degrees
// clockwise, scaled to the panel and committed.
class Presenter {
 public:
  bool init() {
    fd_ = platform::drm().open("rockchip", nullptr);
    if (fd_ < 0 || platform::drm().setClientCap(fd_, DRM_CLIENT_CAP_ATOMIC, 1) != 0) return false;
    for (simtest::Buffer& b : bufs_) b = simtest::makeNv12(fd_, kPanelW, kPanelH);
    return true;
  }
  ~Presenter() {
    for (simtest::Buffer& b : bufs_) {
      if (b.map) platform::drm().munmap(b.map, b.size);
      if (b.prime >= 0) ::close(b.prime);
    }
    if (fd_ >= 0) platform::drm().close(fd_);
  }
  bool show(const uint8_t* yuyv) {
    std::vector<uint8_t> i420(kW * kH * 3 / 2 + kCropW * kH * 3 / 2 + kPanelW * kPanelH * 3 / 2);
    uint8_t *y = i420.data(), *u = y + kW * kH, *v = u + kW * kH / 4;
    libyuv::YUY2ToI420(yuyv, kW * 2, y, kW, u, kW / 2, v, kW / 2, kW, kH);
    uint8_t *ry = v + kW * kH / 4, *ru = ry + kCropW * kH, *rv = ru + kCropW * kH / 4;
    const int off = (kW - kCropW) / 2;
    libyuv::I420Rotate(y + off, kW, u + off / 2, kW / 2, v + off / 2, kW / 2, ry, kH, ru, kH / 2,
                       rv, kH / 2, kCropW, kH, libyuv::kRotate90);
    uint8_t *sy = rv + kCropW * kH / 4, *su = sy + kPanelW * kPanelH,
            *sv = su + kPanelW * kPanelH / 4;
    libyuv::I420Scale(ry, kH, ru, kH / 2, rv, kH / 2, kH, kCropW, sy, kPanelW, su, kPanelW / 2, sv,
                      kPanelW / 2, kPanelW, kPanelH, libyuv::kFilterBilinear);
    simtest::Buffer& b = bufs_[next_];
    next_ = (next_ + 1) % 4;
    libyuv::I420ToNV12(sy, kPanelW, su, kPanelW / 2, sv, kPanelW / 2, b.map, b.pitch,
                       b.map + b.pitch * kPanelH, b.pitch, kPanelW, kPanelH);
    return simtest::commitPlane(fd_, sim::SimKms::kPlaneOverlay, sim::SimKms::kCrtcPanel, b.fb,
                                kPanelW, kPanelH) == 0;
  }

 private:
  int fd_ = -1;
  simtest::Buffer bufs_[4];
  int next_ = 0;
};

// The landscape picture the panel should show for a YUYV frame: the centred
// crop's luma, scaled to 360 x 320: full range, so grey levels pass unchanged.
QImage expectedGray(const std::vector<uint8_t>& yuyv) {
  std::vector<uint8_t> crop(kCropW * kH);
  for (int r = 0; r < kH; ++r)
    for (int c = 0; c < kCropW; ++c) {
      crop[r * kCropW + c] = yuyv[(r * kW + c + (kW - kCropW) / 2) * 2];
    }
  QImage g(360, 320, QImage::Format_Grayscale8);
  libyuv::ScalePlane(crop.data(), kCropW, kCropW, kH, g.bits(), static_cast<int>(g.bytesPerLine()),
                     360, 320, libyuv::kFilterBilinear);
  return g;
}

// Pixel by pixel, without Qt's pooled image conversions.
double meanAbsDiff(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int r = 0; r < a.height(); ++r)
    for (int c = 0; c < a.width(); ++c)
      sum += std::abs(qGray(a.pixel(c, r)) - qGray(b.pixel(c, r)));
  return sum / (a.width() * a.height());
}

void waitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(PanelChain, AMovingSceneReachesThePanelBeneathTheWindow) {
  TempRoot root;
  sim::SimBoard board;
  QString error;
  ASSERT_TRUE(board.create(sim::SimBoardOptions{}, &error)) << error.toStdString();
  board.install();

  QMainWindow window;
  window.setAttribute(Qt::WA_TranslucentBackground);
  window.setFixedSize(360, 320);
  auto* central = new QWidget;
  window.setCentralWidget(central);
  sim::PanelUnderlay panel(&board.kms(), &window);
  window.show();
  EXPECT_EQ(panel.picture().pixel(180, 160), qRgb(0, 0, 0));  // dark before the first commit

  simtest::CaptureClient camera;
  ASSERT_TRUE(camera.open("/dev/video0")) << camera.error();
  ASSERT_TRUE(camera.start()) << camera.error();
  Presenter presenter;
  ASSERT_TRUE(presenter.init());

  std::vector<uint8_t> last(kW * kH * 2);
  auto showOne = [&] {
    return camera.capture(1000, [&](const uint8_t* p, size_t n, const v4l2_buffer&) {
      ASSERT_EQ(n, last.size());
      std::copy(p, p + n, last.begin());
      EXPECT_TRUE(presenter.show(p));
    });
  };
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(showOne()) << camera.error();
  waitFor([&] { return board.kms().commits() == 3 && !panel.picture().isNull(); }, 500);
  QApplication::processEvents();
  const QImage first = panel.picture();
  ASSERT_EQ(first.size(), QSize(360, 320));

  // Turned back to landscape the right way round: close to the crop itself,
  // far from its mirror image.
  const QImage expected = expectedGray(last);
  const double straight = meanAbsDiff(first, expected);
  EXPECT_LT(straight, 8.0) << straight;
  EXPECT_GT(meanAbsDiff(first, expected.mirrored(true, false)), straight + 4.0);

  // The window's own painting shows it beneath the interface; rendering the
  // central widget (photos, the recording overlay) never includes it.
  const QImage grabbed = window.grab().toImage();
  EXPECT_LT(meanAbsDiff(grabbed, first), 1.0);
  QImage photo(central->size(), QImage::Format_ARGB32);
  photo.fill(Qt::transparent);
  central->render(&photo, QPoint(), QRegion(), QWidget::DrawChildren);
  EXPECT_EQ(qAlpha(photo.pixel(180, 160)), 0);

  // A second later the scene has moved.
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 1000) ASSERT_TRUE(showOne()) << camera.error();
  waitFor([] { return false; }, 50);
  EXPECT_GT(meanAbsDiff(panel.picture(), first), 0.5);
  if (const char* shot = std::getenv("HEATLUME_SIM_PANEL_PNG")) window.grab().save(shot);
  ASSERT_TRUE(camera.stop());
}

}  // namespace
