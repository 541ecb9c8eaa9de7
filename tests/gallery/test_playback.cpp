// Video playback on the simulated board: pictures reach the panel on a fixed
// schedule, damaged files end at once, a stop ends a long film within a
// frame, and the window's side starts one playback at a time and restores
// the live picture afterwards.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <atomic>
#include <algorithm>
#include <chrono>
#include <functional>
#include <tuple>
#include <thread>
#include <vector>

#include "display/display.h"
#include "gallery/playback_controller.h"
#include "gallery/video_play_thread.h"
#include "sim/sim_board.h"
#include "tests/gallery/gallery_test_util.h"
#include "tests/ui/ui_test_util.h"
#include "tests/support/wait.h"

namespace {

using gallery::FramePacer;
using gallery::PlaybackController;
using gallery::VideoPlayThread;

// A simulated board with its display up over a throw-away root.
class Board {
 public:
  Board() {
    QString error;
    ok_ = board_.create({}, &error) && (board_.install(), display_init(320, 360) == 0);
  }
  ~Board() {
    display_deinit();
    board_.uninstall();
  }
  bool ok() const { return ok_; }
  uint64_t commits() { return board_.kms().commits(); }
  // The panel shows a picture with something in it (not one flat colour).
  bool panelShowsPicture() {
    sim::SimKms::PanelFrame f;
    if (!board_.kms().overlayFrame(&f) || f.width != 320 || f.height != 360) return false;
    const auto [lo, hi] = std::minmax_element(f.bytes.begin(), f.bytes.begin() + f.pitch * f.height);
    return *hi - *lo > 100;
  }
  TempRoot& root() { return root_; }

 private:
  TempRoot root_;
  sim::SimBoard board_;
  bool ok_ = false;
};

// Time that passes only when the player sleeps, plus a fixed cost for every
// look at the clock (the decoding and presenting between two sleeps).
class FakeClock : public gallery::PlaybackClock {
 public:
  explicit FakeClock(int64_t costUs = 0) : costUs_(costUs) {}
  int64_t nowUs() override {
    const int64_t t = now_;
    now_ += costUs_;
    return t;
  }
  void sleepUntilUs(int64_t deadline, const std::atomic<bool>& stop) override {
    deadlines.push_back(deadline);
    sleeps.fetch_add(1);
    if (onSleep) onSleep(static_cast<int>(deadlines.size()));
    if (stall) {
      // A film that never ends: the sleep lasts until a stop.
      while (!stop.load()) std::this_thread::yield();
    }
    // A read of a card that no longer answers: deaf to a stop.
    while (hung.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    now_ = std::max(now_, deadline);
  }
  std::vector<int64_t> deadlines;  // read once the player has ended
  std::atomic<int> sleeps{0};       // read while it plays
  std::function<void(int)> onSleep;
  bool stall = false;
  std::atomic<bool> hung{false};

 private:
  int64_t now_ = 5'000'000;
  int64_t costUs_;
};

void play(VideoPlayThread& t, const QString& path, FakeClock* clock) {
  t.setPath(path);
  t.setClock(clock);
  t.start();
  ASSERT_TRUE(t.join(60000));
}

// Counts playFinished on this thread, as the window receives it.
struct FinishCount {
  explicit FinishCount(VideoPlayThread& t) {
    QObject::connect(&t, &VideoPlayThread::playFinished, &context, [this] { ++count; },
                     Qt::QueuedConnection);
  }
  QObject context;
  int count = 0;
};

TEST(PlaybackArithmetic, FrameIntervalSourceSizeAndSchedule) {
  const std::tuple<int, int, int64_t> rates[] = {
      {25, 1, 40000}, {0, 0, 40000}, {25, 0, 40000}, {1, 2, 40000}, {-25, 1, 40000},
      {30000, 1001, 33367}, {1, 1, 1000000}};
  for (const auto& [num, den, us] : rates)
    EXPECT_EQ(gallery::frameIntervalUs(num, den), us) << num << "/" << den;

  struct Drm {
    int pitch, planes;
    int64_t offset;
    int w, h;
  };
  auto size = [](const Drm& d) {
    const auto s = gallery::drmPrimeSource(d.pitch, d.planes, d.offset, d.w, d.h);
    return std::make_pair(s.width, s.height);
  };
  // Two planes, the second at pitch x 336: the rows include the alignment.
  EXPECT_EQ(size({384, 2, 384 * 336, 360, 320}), std::make_pair(384, 336));
  EXPECT_EQ(size({384, 1, 0, 360, 320}), std::make_pair(384, 320));
  EXPECT_EQ(size({0, 2, 384 * 336, 360, 320}), std::make_pair(360, 320));
  EXPECT_EQ(size({384, 2, 0, 360, 320}), std::make_pair(384, 320));
  // A buffer said to be smaller than its picture is not believed.
  EXPECT_EQ(size({256, 2, 256 * 100, 360, 320}), std::make_pair(360, 320));

  FramePacer pacer(40000);
  pacer.start(1000);
  EXPECT_EQ(pacer.nextDue(1000 + 39000), 41000);  // on time
  EXPECT_EQ(pacer.nextDue(81000 + 30000), 81000);  // late: due already
  EXPECT_EQ(pacer.nextDue(121000 + 2000000), 2121000);  // a stall: start again from now
  EXPECT_EQ(pacer.nextDue(2121000), 2161000);
}

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board.ok());
    dir = board.root().file("/mnt/sdcard/video");
    video = gallerytest::makeVideo(dir, 2.0);
    if (video.isEmpty()) GTEST_SKIP() << "no ffmpeg program to make a video with";
  }
  Board board;
  QString dir, video;
};

TEST_F(PlaybackTest, EveryFrameReachesThePanelOnTheClocksSchedule) {
  VideoPlayThread t;
  FinishCount finished(t);
  // Decoding and presenting cost 7 ms a frame: the schedule still holds.
  FakeClock clock(7000);
  const uint64_t before = board.commits();
  play(t, video, &clock);
  EXPECT_EQ(t.framesShown(), 50);
  EXPECT_EQ(board.commits() - before, 50u);
  EXPECT_TRUE(board.panelShowsPicture());
  EXPECT_TRUE(testsupport::waitUntil([&] { return finished.count == 1; }, 1000));
  ASSERT_EQ(clock.deadlines.size(), 50u);
  const int64_t first = clock.deadlines[0] - 40000;
  for (size_t n = 0; n < clock.deadlines.size(); ++n)
    ASSERT_EQ(clock.deadlines[n], first + int64_t(n + 1) * 40000) << "frame " << n;
}

TEST_F(PlaybackTest, DamagedFilesEndAtOnce) {
  QFile in(video);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  const QByteArray whole = in.readAll();
  QFile fast(gallerytest::makeVideo(dir, 2.0, "fast.mp4", true));
  ASSERT_TRUE(fast.open(QIODevice::ReadOnly));
  const QByteArray indexFirst = fast.readAll();
  QByteArray noise(64 * 1024, 0);
  for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
  // Name, content, and how many pictures may still be shown: a cut-off file
  // with its index first plays what there is, then ends.
  const std::tuple<const char*, QByteArray, int> files[] = {
      {"video_2.mp4", whole.left(whole.size() / 2), 0},
      {"video_3.mp4", noise, 0},
      {"video_4.mp4", QByteArray(), 0},
      {"video_5.mp4", whole.left(40), 0},
      {"video_6.mp4", indexFirst.left(indexFirst.size() / 2), 40}};
  for (const auto& [name, bytes, maxFrames] : files) {
    SCOPED_TRACE(name);
    const QString path = QDir(dir).filePath(name);
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    VideoPlayThread t;
    FinishCount finished(t);
    FakeClock clock;
    play(t, path, &clock);
    EXPECT_LE(t.framesShown(), maxFrames);
    EXPECT_TRUE(testsupport::waitUntil([&] { return finished.count == 1; }, 1000));
  }
  VideoPlayThread t;
  FakeClock clock;
  play(t, QDir(dir).filePath("video_99.mp4"), &clock);  // vanished
  EXPECT_EQ(t.framesShown(), 0);
}

TEST_F(PlaybackTest, AStopEndsPlaybackWithinAFrame) {
  VideoPlayThread t;
  FakeClock clock;
  clock.onSleep = [&t](int sleeps) {
    if (sleeps == 3) t.requestStop();
  };
  play(t, video, &clock);
  EXPECT_EQ(t.framesShown(), 3);
  EXPECT_EQ(clock.deadlines.size(), 3u);

  // A stop asked for between start() and the thread's first step still counts.
  VideoPlayThread early;
  FakeClock idle;
  early.setPath(video);
  early.setClock(&idle);
  early.requestStop();
  early.start();
  ASSERT_TRUE(early.join(60000));
  EXPECT_EQ(early.framesShown(), 0);
}

TEST_F(PlaybackTest, TheWindowPlaysOneVideoAtATimeAndRestoresTheLivePicture) {
  QWidget window;
  window.resize(360, 320);
  window.show();
  PlaybackController playback(&window);
  playback.setSettleMs(0);
  FakeClock clock;
  clock.stall = true;
  playback.setClock(&clock);
  std::vector<QString> events;
  QObject::connect(&playback, &PlaybackController::livePauseRequested,
                   [&](bool p) { events.push_back(p ? "pause" : "resume"); });
  QObject::connect(&playback, &PlaybackController::playbackStarted,
                   [&](const QString&) { events.push_back("started"); });
  QObject::connect(&playback, &PlaybackController::playbackFinished,
                   [&] { events.push_back("finished"); });

  EXPECT_FALSE(playback.start(QDir(dir).filePath("video_9.mp4")));  // no such file
  ASSERT_TRUE(playback.start(video));
  EXPECT_FALSE(playback.start(video));  // one at a time
  ASSERT_TRUE(playback.surface() && playback.surface()->isVisible());
  ASSERT_TRUE(testsupport::waitUntil([&] { return playback.thread()->framesShown() == 1; }, 10000));

  // Presses that are no swipe up do nothing; a swipe up stops the film.
  auto drag = [&](QPoint from, QPoint to) { uitest::drag(playback.surface(), from, to); };
  drag({180, 250}, {180, 210});  // 40 px: too short
  drag({100, 250}, {160, 190});  // diagonal
  drag({180, 160}, {180, 230});  // down
  EXPECT_FALSE(playback.stopPending());
  drag({180, 250}, {190, 190});
  EXPECT_TRUE(playback.stopPending());
  EXPECT_FALSE(playback.start(video));  // nor while a stop is pending

  ASSERT_TRUE(testsupport::waitUntil([&] { return !playback.isPlaying(); }, 10000));
  EXPECT_EQ(events, (std::vector<QString>{"pause", "started", "finished", "resume"}));
  EXPECT_FALSE(playback.surface()->isVisible());
  EXPECT_FALSE(playback.stopPending());
  EXPECT_TRUE(playback.currentPath().isEmpty());

  // Playing again works, and the window closing stops the film.
  ASSERT_TRUE(playback.start(video));
  playback.shutdown();
  EXPECT_FALSE(playback.isPlaying());
}

// The window's destruction waits for playback no longer than its deadline,
// even when the player is stuck where a stop cannot reach it; the stuck
// thread ends and goes away by itself later.
TEST_F(PlaybackTest, AStuckPlayerHoldsUpTheShutdownNoLongerThanItsDeadline) {
  QWidget window;
  window.resize(360, 320);
  PlaybackController playback(&window);
  playback.setSettleMs(0);
  FakeClock clock;
  clock.hung = true;
  playback.setClock(&clock);
  ASSERT_TRUE(playback.start(video));
  ASSERT_TRUE(testsupport::waitUntil([&] { return clock.sleeps.load() > 0; }, 10000));
  QPointer<VideoPlayThread> stuck(playback.thread());

  QElapsedTimer took;
  took.start();
  playback.shutdown(300);
  EXPECT_LT(took.elapsed(), 2000);
  EXPECT_FALSE(playback.isPlaying());

  clock.hung = false;
  ASSERT_TRUE(testsupport::waitUntil(
      [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return stuck.isNull();
      },
      10000));
}

}  // namespace
