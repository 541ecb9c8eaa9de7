// A video on the card played from the video gallery: its picture takes the
// panel's place while the interface steps aside, and the live picture comes
// back when it ends. A broken file and a swipe up end playback at once.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStackedWidget>

#include "app/media_pages.h"
#include "gallery/playback_controller.h"
#include "platform/system_actions.h"
#include "tests/e2e/e2e_device.h"

namespace {

// A plain pure-blue film: the live thermal picture never looks like it.
// Made as the program runs its helpers (posix_spawn): QProcess's fork with a
// process descriptor is refused by user-mode emulators.
bool makeBlueVideo(const QString& file, double seconds) {
  platform::LinuxSystemActions system(false);
  return system.runProgram({"ffmpeg", "-y", "-loglevel", "error", "-f", "lavfi", "-i",
                            "color=c=0x0000ff:size=360x320:rate=25", "-t",
                            QString::number(seconds).toStdString(), "-c:v", "libx264",
                            "-pix_fmt", "yuv420p", file.toStdString()}) == 0;
}

bool panelIsBlue(e2e::Device& d) {
  const QColor c = d.panelPicture().pixelColor(180, 160);
  return c.blue() > 180 && c.red() < 80 && c.green() < 80;
}

}  // namespace

TEST(Playback, AVideoPlaysOnThePanelAndTheLivePictureReturns) {
  e2e::Device d;
  ASSERT_TRUE(d.waitForPicture());
  const QString video = d.root().file("/mnt/sdcard/video/video_1.mp4");
  QDir().mkpath(QFileInfo(video).path());
  ASSERT_TRUE(makeBlueVideo(video, 1.5));
  MainWindow& w = d.window();
  gallery::PlaybackController* playback = w.mediaPages()->playback();

  w.stack()->setCurrentIndex(MainWindow::kVideoGalleryPage);
  ASSERT_TRUE(playback->start(video));
  EXPECT_FALSE(w.stack()->isVisible());
  EXPECT_TRUE(e2e::waitUntil([&] { return panelIsBlue(d); }, 3000));
  ASSERT_TRUE(e2e::waitUntil([&] { return !playback->isPlaying(); }, 5000));
  EXPECT_TRUE(w.stack()->isVisible());
  EXPECT_EQ(w.stack()->currentIndex(), MainWindow::kVideoGalleryPage);
  EXPECT_TRUE(e2e::waitUntil([&] { return !panelIsBlue(d); }, 3000));  // live again

  // Random bytes under a video's name: back at once.
  QFile junk(d.root().file("/mnt/sdcard/video/video_2.mp4"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(4096, '\x5a'));
  junk.close();
  QElapsedTimer t;
  t.start();
  if (playback->start(junk.fileName())) {
    EXPECT_TRUE(e2e::waitUntil([&] { return !playback->isPlaying(); }, 1000));
  }
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_TRUE(w.stack()->isVisible());

  // A page change (as a swipe up does) stops a long one; the end of the last
  // one left nothing pending that would refuse it.
  ASSERT_TRUE(makeBlueVideo(video, 20));
  ASSERT_TRUE(playback->start(video));
  e2e::pump(500);
  t.restart();
  w.openMenu();
  EXPECT_TRUE(e2e::waitUntil([&] { return !playback->isPlaying(); }, 1000));
  EXPECT_LT(t.elapsed(), 500);
}
