// The SD card pulled out of the running device, as the bench's card button
// and the script's `card remove` pull it: the recording stops with what it
// wrote, nothing reaches the card's files, and putting it back brings them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStackedWidget>

#include "app/media_pages.h"
#include "gallery/gallery_page.h"
#include "platform/card_write.h"
#include "record/photo_capture.h"
#include "record/recorder.h"
#include "sim/power_controls.h"
#include "tests/e2e/e2e_device.h"

TEST(Card, APulledCardIsGoneUntilItIsBack) {
  e2e::Device d;
  ASSERT_TRUE(d.waitForPicture());
  MainWindow& w = d.window();
  sim::PowerControls bench(d.root().dir(), d.board().accel());
  const QString photo = d.root().file(QStringLiteral("/mnt/sdcard/picture/pic_1.jpg"));
  const QString raw = d.root().file(QStringLiteral("/mnt/sdcard/video/video_1.h264"));

  // A photo on the card, then a recording under way.
  w.onHardwareKey(USER_KEY_SHUTTER);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() == 1; }, 5000));
  w.onHardwareKey(USER_KEY_RECORD);
  ASSERT_TRUE(e2e::waitUntil([&] { return QFileInfo(raw).size() > 20000; }, 8000));

  const qint64 written = QFileInfo(raw).size();
  ASSERT_TRUE(bench.setCardInserted(false));
  // The next write fails: the recording stops as the device stops it.
  ASSERT_TRUE(e2e::waitUntil([&] { return !d.state().recording(); }, 3000));
  EXPECT_EQ(w.toastLabel()->text(), QStringLiteral("Card error, recording stopped"));
  ASSERT_TRUE(e2e::waitUntil([&] { return !w.recorder()->closing(); }, 10000));
  // None of the card's files is where the program looks.
  EXPECT_FALSE(QFileInfo::exists(photo));
  EXPECT_FALSE(QFileInfo::exists(raw));

  // The shutter refuses; a photo already on its way is not written anywhere.
  ASSERT_TRUE(e2e::waitUntil([&] { return !w.sdPresent(); }, 2500));
  w.onHardwareKey(USER_KEY_SHUTTER);
  EXPECT_EQ(w.toastLabel()->text(), QStringLiteral("Insert SD card"));
  w.findChild<PhotoCapture*>()->take();
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() == 2; }, 5000));
  EXPECT_EQ(d.photosFailed(), 1);

  // The gallery finds nothing.
  auto* gallery = static_cast<gallery::GalleryPage*>(w.page(Pages::kPhotoGalleryPage));
  w.stack()->setCurrentWidget(gallery);
  e2e::pump(100);
  EXPECT_EQ(gallery->counterLabel()->text(), QStringLiteral("0 / 0"));
  w.goHome();

  // Back in: the same files, what the recording wrote before the card went
  // among them, and the photo that came too late is nowhere.
  ASSERT_TRUE(bench.setCardInserted(true));
  EXPECT_EQ(platform::cardWrite(-1, "", 0), 0);  // writes go through again
  EXPECT_TRUE(QFileInfo::exists(photo));
  EXPECT_GE(QFileInfo(raw).size(), written);
  EXPECT_EQ(QDir(d.root().file(QStringLiteral("/mnt/sdcard/picture")))
                .entryList({QStringLiteral("pic_*.jpg")}, QDir::Files),
            QStringList{QStringLiteral("pic_1.jpg")});
  w.stack()->setCurrentWidget(gallery);
  e2e::pump(100);
  EXPECT_EQ(gallery->counterLabel()->text(), QStringLiteral("1 / 1"));
  w.goHome();

  // And it takes photos again.
  ASSERT_TRUE(e2e::waitUntil([&] { return w.sdPresent(); }, 2500));
  w.onHardwareKey(USER_KEY_SHUTTER);
  ASSERT_TRUE(e2e::waitUntil([&] { return d.photos().size() == 3; }, 5000));
  EXPECT_EQ(d.photosFailed(), 1);
}
