// The recording overlay: the picture the builder makes of the interface and
// the region that carries it into the encoder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "imaging/record_osd.h"
#include "record/record_osd_builder.h"
#include "tests/pipeline/pipeline_support.h"

namespace {

struct Rgba {
  int r, g, b, a;
};
Rgba pixelAt(const QByteArray& bytes, int x, int y) {
  const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + (y * 368 + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

// A transparent source with one opaque red square, as the window's central
// widget with the overlay's marks on it.
struct Source {
  QWidget window;
  QWidget* central;
  Source(QSize size, QRect square) {
    central = new QWidget(&window);
    central->resize(size);
    central->setAttribute(Qt::WA_TranslucentBackground);
    central->setStyleSheet("background: transparent");
    auto* mark = new QWidget(central);
    mark->setGeometry(square);
    mark->setAutoFillBackground(true);
    mark->setStyleSheet("background: #ff0000");
    window.resize(size);
  }
};

TEST(RecordOsdBuilder, TheInterfaceLandsPixelForPixelOrStretchedOverTheCanvas) {
  {
    Source s(QSize(360, 320), QRect(10, 10, 20, 20));
    RecordOsdBuilder builder(s.central, nullptr);
    // Pixel for pixel (the recorded picture shows it); the 8 extra columns
    // stay transparent.
    const QByteArray bytes = builder.render();
    ASSERT_EQ(bytes.size(), 368 * 320 * 4);
    EXPECT_EQ(pixelAt(bytes, 29, 29).a, 255);
    EXPECT_EQ(pixelAt(bytes, 30, 30).a, 0);
    for (int x = 360; x < 368; ++x) EXPECT_EQ(pixelAt(bytes, x, 15).a, 0) << x;
  }
  {
    // Twice the size: drawn at 368/720 by 1/2.
    Source s(QSize(720, 640), QRect(100, 100, 100, 100));
    RecordOsdBuilder builder(s.central, nullptr);
    const QByteArray bytes = builder.render();
    EXPECT_EQ(pixelAt(bytes, 76, 75).a, 255);
    EXPECT_EQ(pixelAt(bytes, 76, 75).r, 255);
    EXPECT_EQ(pixelAt(bytes, 45, 45).a, 0);
    EXPECT_EQ(pixelAt(bytes, 110, 110).a, 0);
  }
  RecordOsdBuilder orphan(nullptr, nullptr);
  EXPECT_TRUE(orphan.render().isEmpty());
}

// Columns that the picture's opaque pixels span, for a word of text.
std::pair<int, int> inkColumns(const QByteArray& bytes) {
  int first = 368, last = -1;
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 368; ++x)
      if (pixelAt(bytes, x, y).a > 0) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  return {first, last};
}

// A line whose text just grew (the clock's dot and digits change every
// second) is drawn whole, not cut to the width the layout gave the old text.
TEST(RecordOsdBuilder, DrawsTheInterfaceAsLaidOutForItsNewTexts) {
  QWidget window;
  auto* central = new QWidget(&window);
  central->resize(360, 320);
  central->setAttribute(Qt::WA_TranslucentBackground);
  central->setStyleSheet("background: transparent");
  auto* column = new QVBoxLayout(central);
  column->addStretch(1);
  auto* line = new QLabel(QStringLiteral("REC 00:09"), central);
  line->setStyleSheet("color:#ff3b30; font-weight:700; font-size:18px; background:transparent;");
  column->addWidget(line, 0, Qt::AlignHCenter);
  window.resize(360, 320);
  window.show();
  QCoreApplication::processEvents();
  RecordOsdBuilder builder(central, nullptr);

  line->setText(QStringLiteral("\u25CF REC 00:10"));
  const auto drawnAtOnce = inkColumns(builder.render());
  QCoreApplication::processEvents();
  const auto drawnLater = inkColumns(builder.render());
  EXPECT_LT(drawnLater.first, 150);
  EXPECT_EQ(drawnAtOnce, drawnLater);
}

TEST(RecordOsdRegion, StartsOnceTakesOnlyItsOwnSizeAndStopsQuietlyWhenStopped) {
  const QByteArray picture(368 * 320 * 4, '\x7f');
  EXPECT_EQ(record_osd_set_bitmap(picture.constData(), 368, 320), -1);  // not started
  std::string out = pipetest::stdoutOf([&] {
    EXPECT_EQ(record_osd_start(368, 320), 0);
    EXPECT_EQ(record_osd_start(368, 320), 0);  // a second start restarts
  });
  EXPECT_NE(out.find("record_osd: stopped\nrecord_osd: started 368x320 on VENC0"),
            std::string::npos)
      << out;
  EXPECT_EQ(record_osd_set_bitmap(picture.constData(), 360, 320), -1);
  EXPECT_EQ(record_osd_set_bitmap(nullptr, 368, 320), -1);
  EXPECT_EQ(record_osd_set_bitmap(picture.constData(), 368, 320), 0);
  out = pipetest::stdoutOf([] {
    record_osd_stop();
    record_osd_stop();
  });
  EXPECT_EQ(out, "record_osd: stopped\n");
  EXPECT_FALSE(record_osd_started());
}

}  // namespace
