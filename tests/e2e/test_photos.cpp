// Photos end to end: the shutter key on the board's key device, the real
// main window, the image thread's composite over the frame on the panel, the
// JPEG on the simulated SD card.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <algorithm>
#include <cmath>

#include "sim/board_root.h"
#include "sim/screenshot.h"
#include "tests/e2e/e2e_device.h"

namespace {

using e2e::Device;

// Largest channel difference of two pixels.
int channelDiff(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// True when every interface pixel within `r` of (x, y) has alpha `alpha`:
// far enough from any edge for JPEG's ringing to have died down.
bool uniformAround(const QImage& ui, int x, int y, int r, int alpha) {
  if (x < r || y < r || x >= ui.width() - r || y >= ui.height() - r) return false;
  for (int j = -r; j <= r; ++j)
    for (int i = -r; i <= r; ++i)
      if (qAlpha(ui.pixel(x + i, y + j)) != alpha) return false;
  return true;
}

// Difference of the brightness of two pixels: JPEG keeps brightness at full
// resolution but colour at half, so small coloured glyphs keep their
// brightness better than their hue.
int lumaDiff(QRgb a, QRgb b) {
  auto luma = [](QRgb c) { return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000; };
  return std::abs(luma(a) - luma(b));
}

struct Agreement {
  int pixels = 0;
  double meanDiff = 0;
  double farOff = 0;  // share of pixels off by more than JPEG loss explains
};

// How well `photo` agrees with `expected` where `where(x, y)` holds, by `diff`.
template <typename Where>
Agreement compare(const QImage& photo, const QImage& expected, Where where,
                  int (*diff)(QRgb, QRgb) = channelDiff) {
  Agreement a;
  long long sum = 0;
  int far = 0;
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x) {
      if (!where(x, y)) continue;
      const int d = diff(photo.pixel(x, y), expected.pixel(x, y));
      sum += d;
      if (d > 40) ++far;
      ++a.pixels;
    }
  if (a.pixels) {
    a.meanDiff = static_cast<double>(sum) / a.pixels;
    a.farOff = static_cast<double>(far) / a.pixels;
  }
  return a;
}

void tapShutter(Device& d) {
  d.keys().press(sim::BoardKey::Shutter);
  e2e::pump(60);
  d.keys().release(sim::BoardKey::Shutter);
}

QByteArray contentOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

}  // namespace

// With fresh settings (a new device, a card from another one) the counter
// knows nothing of the photos on the card: a photo never replaces one, nor
// writes through a link that stands at its name.
TEST(Photos, ShutterTapsNumberThePhotosPastThoseOnTheCardAndTheCounterWraps) {
  Device d;
  ASSERT_TRUE(d.waitForPicture());
  const QString dir = QStringLiteral("/mnt/sdcard/picture/");
  for (int n = 1; n <= 3; ++n)
    ASSERT_TRUE(d.root().write(dir + QStringLiteral("pic_%1.jpg").arg(n),
                               QByteArray("photo ") + QByteArray::number(n)));
  ASSERT_TRUE(d.root().write("/etc/secret", "keep"));
  ASSERT_TRUE(QFile::link(d.root().file("/etc/secret"), d.root().file(dir + "pic_5.jpg")));

  tapShutter(d);
  e2e::pump(250);
  tapShutter(d);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() >= 2; }, 5000));
  EXPECT_EQ(d.photos(), (QStringList{dir + "pic_4.jpg", dir + "pic_6.jpg"}));
  EXPECT_EQ(d.photosFailed(), 0);
  for (int n = 1; n <= 3; ++n)
    EXPECT_EQ(contentOf(d.root().file(dir + QStringLiteral("pic_%1.jpg").arg(n))),
              QByteArray("photo ") + QByteArray::number(n));
  EXPECT_EQ(contentOf(d.root().file("/etc/secret")), QByteArray("keep"));
  for (const char* f : {"pic_4.jpg", "pic_6.jpg"}) {
    const QImage photo(d.root().file(dir + QLatin1String(f)));
    EXPECT_EQ(photo.size(), QSize(360, 320)) << f;
  }
  EXPECT_EQ(d.setting("PictureFileNum").toInt(), 6);
  // "Saved" once the file is there.
  EXPECT_TRUE(d.window().toastLabel()->isVisible());
  EXPECT_EQ(d.window().toastLabel()->text(), QStringLiteral("Saved"));

  // After the ten thousandth photo the numbers start again at 0, and in
  // the next round past those still on the card.
  d.setSetting("PictureFileNum", 10000);
  tapShutter(d);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() >= 3; }, 5000));
  EXPECT_EQ(d.photos().last(), dir + "pic_0.jpg");
  EXPECT_TRUE(d.root().exists(dir + "pic_0.jpg"));
  EXPECT_FALSE(d.root().exists(dir + "pic_10001.jpg"));
  EXPECT_EQ(d.setting("PictureFileNum").toInt(), 0);
  d.setSetting("PictureFileNum", 10000);
  tapShutter(d);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() >= 4; }, 5000));
  EXPECT_EQ(d.photos().last(), dir + "pic_7.jpg");
  EXPECT_EQ(d.photosFailed(), 0);
  EXPECT_EQ(contentOf(d.root().file(dir + "pic_1.jpg")), QByteArray("photo 1"));
}

// The photo is what the user sees: the thermal picture where the interface
// is see-through, the interface where it is opaque, and the same as a
// screenshot of the window taken at that moment.
TEST(Photos, PhotoIsThePictureWithTheInterfaceOverIt) {
  e2e::DeviceOptions o;
  o.frameIntervalUs = 250000;  // few commits, so one rarely falls inside a photo
  Device d(o);
  ASSERT_TRUE(d.waitForPicture());
  QImage panel, ui, screen;
  bool still = false;
  for (int attempt = 0; attempt < 6 && !still; ++attempt) {
    // The feedback of the last attempt (flash, toast) must be gone first.
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
          return !d.window().flashOverlay()->isVisible() && !d.window().toastLabel()->isVisible();
        },
        3000));
    const int before = d.photos().size();
    // A commit counts from its start, but the panel shows its picture only
    // from the next vertical blank: one in flight spoils this attempt too.
    const uint64_t commit = d.board().kms().commits();
    const bool settled = d.shownCommit() == commit;
    panel = d.panelPicture();
    ui = d.interfacePicture();
    screen = sim::grabScreen(&d.window()).convertToFormat(QImage::Format_RGB32);
    d.window().onHardwareKey(USER_KEY_SHUTTER);
    ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() > before; }, 5000));
    still = settled && d.board().kms().commits() == commit;
  }
  ASSERT_TRUE(still) << "the picture changed during every photo";
  ASSERT_EQ(d.photosFailed(), 0);
  const QImage photo =
      QImage(d.root().file(d.photos().last())).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(photo.size(), QSize(360, 320));
  ASSERT_EQ(ui.size(), QSize(360, 320));
  ASSERT_EQ(screen.size(), QSize(360, 320));

  // The comparison means something only if the picture has structure that a
  // turned or mirrored copy would not match.
  const QImage turned = panel.mirrored(true, true);
  const Agreement self = compare(panel, turned, [](int, int) { return true; });
  ASSERT_GT(self.meanDiff, 12.0);

  const Agreement clear =
      compare(photo, panel, [&](int x, int y) { return uniformAround(ui, x, y, 3, 0); });
  EXPECT_GT(clear.pixels, 360 * 320 / 2);
  EXPECT_LT(clear.meanDiff, 4.0);
  EXPECT_LT(clear.farOff, 0.002);

  // The status band's icons and texts, where they cover the picture.
  const Agreement opaque = compare(
      photo, ui.convertToFormat(QImage::Format_RGB32),
      [&](int x, int y) { return uniformAround(ui, x, y, 1, 255); }, lumaDiff);
  EXPECT_GT(opaque.pixels, 100);
  EXPECT_LT(opaque.meanDiff, 4.0);
  EXPECT_LT(opaque.farOff, 0.01);

  // Translucent parts too: everywhere, the photo is the screenshot.
  const Agreement all = compare(photo, screen, [](int, int) { return true; });
  EXPECT_LT(all.meanDiff, 4.0);
  EXPECT_LT(all.farOff, 0.01);
}

TEST(Photos, WithoutTheCardNothingIsWrittenAndTheUserIsTold) {
  e2e::DeviceOptions noCard;
  noCard.sdCard = false;
  Device d(noCard);
  ASSERT_TRUE(d.waitForPicture());
  const QVariant counter = d.setting("PictureFileNum");
  tapShutter(d);
  QLabel* toast = d.window().toastLabel();
  ASSERT_TRUE(e2e::waitUntil([&] { return toast->isVisible(); }, 3000));
  EXPECT_EQ(toast->text(), QStringLiteral("Insert SD card"));
  e2e::pump(300);
  EXPECT_TRUE(d.photos().isEmpty());
  EXPECT_TRUE(QDir(d.root().file("/mnt/sdcard/picture"))
                  .entryList(QDir::Files | QDir::NoDotAndDotDot)
                  .isEmpty());
  EXPECT_EQ(d.setting("PictureFileNum"), counter);  // no number used

  // The card is looked for once a second: inserted, the next press takes a photo.
  ASSERT_TRUE(sim::setSdCardInserted(d.root().dir(), true));
  ASSERT_TRUE(e2e::waitUntil([&] { return d.window().sdPresent(); }, 2500));
  tapShutter(d);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() == 1; }, 5000));
  EXPECT_TRUE(d.root().exists("/mnt/sdcard/picture/pic_1.jpg"));
}
