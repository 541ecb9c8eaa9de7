// The image processing thread on the simulated board: its settings, how power
// states switch the camera and the display, and the encoder feed that turns
// the frame on screen into H.264 packets.
#include <gtest/gtest.h>

#include <QImage>
#include <QSettings>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "display/display.h"
#include "imaging/camera.h"
#include "imaging/encoder_channel.h"
#include "imaging/image_pro_thread.h"
#include "platform/settings_file.h"
#include "platform/media/rk_mpi.h"
#include "tests/pipeline/pipeline_support.h"

namespace {

using pipetest::Bench;
using pipetest::waitUntil;

// Starts the thread and waits for its first pictures on the panel.
bool startAndShow(ImageProThread& t, Bench& bench, int frames = 3) {
  t.start();
  const uint64_t commits = bench.kms().commits();
  return waitUntil(
      [&] { return t.camera()->IsInited() && bench.kms().commits() >= commits + frames; }, 3000);
}

QVariant setting(const TempRoot& root, const char* key) {
  QSettings s(root.file(QStringLiteral("/etc/settings.ini")), QSettings::IniFormat);
  return s.value(QLatin1String(key));
}

TEST(ImageProThreadSettings, PoolSizeIsClampedAndWrittenBack) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  struct Case {
    const char* stored;
    int loaded;
  };
  const Case cases[] = {{"0", 2}, {"1", 2}, {"20", 8}, {"5", 5}, {nullptr, 4}, {"many", 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(missing)");
    QByteArray ini = "[General]\n";
    if (c.stored) ini += QByteArray("VideoEncMBCnt=") + c.stored + "\n";
    ASSERT_TRUE(bench.root().write(QStringLiteral("/etc/settings.ini"), ini));
    {
      ImageThreadConfig config;
      config.poolBlockCount = settings::loadVideoEncMBCnt();
      ImageProThread t(config);
      EXPECT_TRUE(t.displayReady());
      EXPECT_TRUE(t.hasPool());
    }
    EXPECT_EQ(setting(bench.root(), "VideoEncMBCnt").toInt(), c.loaded);
    // The picture counter is completed when missing.
    EXPECT_EQ(setting(bench.root(), "PictureFileNum").toInt(), 0);
    EXPECT_TRUE(bench.root().exists(QStringLiteral("/mnt/sdcard/picture")));
    EXPECT_EQ(bench.kms().liveBuffers(), 0u);
  }
}

TEST(ImageProThreadPower, ChargingFreezesThePictureAndIdleSleepReleasesTheDisplay) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ImageProThread t;
  ASSERT_TRUE(t.displayReady());
  ASSERT_TRUE(startAndShow(t, bench));

  sim::SimKms& kms = bench.kms();
  for (int lowPower = 0; lowPower < 2; ++lowPower) {
    SCOPED_TRACE(lowPower ? "low power" : "charging");
    auto set = [&](bool on) { lowPower ? t.ReceiveLowPower(on) : t.ReceiveCharge(on); };
    set(true);
    ASSERT_TRUE(waitUntil([&] { return !t.camera()->IsInited(); }, 2000));
    // Frozen: the display keeps its last picture on the overlay plane and no
    // new commit comes.
    const uint64_t commits = kms.commits();
    const uint32_t fb = kms.planeFb(sim::SimKms::kPlaneOverlay);
    QThread::msleep(300);
    EXPECT_TRUE(t.displayReady() && fb != 0u && !bench.camera().streaming());
    EXPECT_EQ(kms.commits(), commits);
    EXPECT_EQ(kms.planeFb(sim::SimKms::kPlaneOverlay), fb);

    set(false);
    EXPECT_TRUE(
        waitUntil([&] { return t.camera()->IsInited() && kms.commits() >= commits + 3; }, 3000));
  }

  // Idle sleep: camera off, display given back entirely.
  t.ReceiveIdleSleep(true);
  ASSERT_TRUE(waitUntil([&] { return !t.displayReady() && !t.camera()->IsInited(); }, 2000));
  // The flag drops as the release begins.
  EXPECT_TRUE(waitUntil([&] { return kms.liveBuffers() == 0; }, 500));
  EXPECT_FALSE(bench.camera().streaming());
  // A super-resolution switch while asleep waits for the wake.
  t.ReceiveSrEnabled(true);
  QThread::msleep(300);
  EXPECT_FALSE(t.camera()->IsInited() || t.displayReady());
  t.ReceiveSrEnabled(false);

  // Waking brings the display back at once, the camera with the next passes.
  const uint64_t commits = kms.commits();
  t.ReceiveIdleSleep(false);
  EXPECT_TRUE(t.displayReady());
  EXPECT_GT(kms.liveBuffers(), 0u);
  EXPECT_TRUE(
      waitUntil([&] { return t.camera()->IsInited() && kms.commits() >= commits + 3; }, 3000));

  for (int attempt = 0; attempt < 3; ++attempt) {
    SCOPED_TRACE(testing::Message() << "attempt " << attempt);
    // A wake while the loop is still stopping the camera for the sleep it has
    // just seen keeps the display.
    t.ReceiveIdleSleep(true);
    QThread::msleep(15 + 10 * attempt);
    t.ReceiveIdleSleep(false);
    const uint64_t before = kms.commits();
    EXPECT_TRUE(
        waitUntil([&] { return t.camera()->IsInited() && kms.commits() >= before + 3; }, 3000));
    EXPECT_TRUE(t.displayReady() && kms.liveBuffers() == 4u);
  }

  // Stopping the thread releases camera and display.
  t.Stop();
  EXPECT_FALSE(t.camera()->IsInited() || t.displayReady());
  EXPECT_EQ(kms.liveBuffers(), 0u);
}

// Refuses every open of the camera, and counts them.
class NoCameraIo : public pipetest::ForwardingIo {
 public:
  using ForwardingIo::ForwardingIo;
  std::atomic<int> attempts{0};
  int open(const char* p, int f, mode_t m) override {
    if (std::string(p) != "/dev/video0") return in_.open(p, f, m);
    ++attempts;
    errno = ENOENT;
    return -1;
  }
};

TEST(ImageProThreadPower, ACameraBackingOffStillAnswersSleepAndStop) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  NoCameraIo io(bench.board().io());
  pipetest::IoOverride installed(bench, io);
  ImageProThread t;
  t.start();
  // After five refusals the loop waits 1.6 s before the next attempt.
  ASSERT_TRUE(waitUntil([&] { return io.attempts >= 5; }, 4000));
  t.ReceiveIdleSleep(true);
  EXPECT_TRUE(waitUntil([&] { return !t.displayReady(); }, 800));
  // Woken, it tries at once and then waits the longest: the end of the
  // thread does not wait with it.
  const int before = io.attempts;
  t.ReceiveIdleSleep(false);
  ASSERT_TRUE(waitUntil([&] { return io.attempts > before; }, 1000));
  t.requestInterruption();
  EXPECT_TRUE(waitUntil([&] { return t.isFinished(); }, 800));
  t.Stop();
}

struct Packet {
  std::vector<uint8_t> bytes;
  RK_U64 pts = 0;
};
// Takes one packet from encoder channel 0, waiting up to `ms`.
bool takePacket(Packet* p, int ms = 50) {
  VENC_PACK_S pack{};
  VENC_STREAM_S stream{};
  stream.pstPack = &pack;
  if (RK_MPI_VENC_GetStream(0, &stream, ms) != RK_SUCCESS) return false;
  const auto* base = static_cast<const uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk));
  p->bytes.assign(base + pack.u32Offset, base + pack.u32Offset + pack.u32Len);
  p->pts = pack.u64PTS;
  RK_MPI_VENC_ReleaseStream(0, &stream);
  return true;
}

bool startsWithSps(const std::vector<uint8_t>& b) {
  return b.size() > 5 && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 1 && (b[4] & 0x1F) == 7;
}

TEST(ImageProThreadEncoderFeed, EveryRecordingStartsAtOneFrameTimeWithAnSpsAndOneThumbnail) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ImageProThread t;
  std::vector<QByteArray> thumbnails;
  QObject receiver;
  QObject::connect(&t, &ImageProThread::firstVideoFrameJpeg, &receiver,
                   [&](const QByteArray& jpeg) { thumbnails.push_back(jpeg); });
  ASSERT_TRUE(startAndShow(t, bench));

  for (int recording = 1; recording <= 2; ++recording) {
    SCOPED_TRACE(testing::Message() << "recording " << recording);
    t.ReceiveVideoEnc(true);
    std::vector<Packet> packets;
    Packet p;
    while (packets.size() < 6 && waitUntil([&] { return takePacket(&p); }, 2000))
      packets.push_back(p);
    ASSERT_EQ(packets.size(), 6u);
    EXPECT_TRUE(startsWithSps(packets[0].bytes));
    for (size_t i = 0; i < packets.size(); ++i) EXPECT_EQ(packets[i].pts, 40000u * (i + 1)) << i;

    t.ReceiveVideoEnc(false);
    EXPECT_FALSE(t.encodeEnabled());
    // Whatever was in flight drains; then nothing more comes.
    const int scale = testsupport::timeScale();
    QThread::msleep(150 * scale);
    while (takePacket(&p, 100 * scale)) continue;
    EXPECT_FALSE(takePacket(&p, 200 * scale));

    waitUntil([&] { return thumbnails.size() >= static_cast<size_t>(recording); }, 500);
    ASSERT_EQ(thumbnails.size(), static_cast<size_t>(recording));
    QImage thumb;
    ASSERT_TRUE(thumb.loadFromData(thumbnails.back(), "JPEG"));
    EXPECT_EQ(thumb.size(), QSize(360, 320));
  }
  // No stray thumbnail arrives later.
  waitUntil([] { return false; }, 100);
  EXPECT_EQ(thumbnails.size(), 2u);
}

// A recording goes on while the writer, stuck on a slow card, takes no
// packets; the user switches super-resolution, which stops the recording
// and restarts the camera in the other mode.
TEST(ImageProThreadEncoderFeed, AStalledWriterHoldsUpNoSlotAndLosesNoEncodedFrame) {
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ImageProThread t;
  uint64_t lastPts = 0;
  QObject::connect(&t, &ImageProThread::videoFeedStopped, [&](quint64 pts) { lastPts = pts; });
  ASSERT_TRUE(startAndShow(t, bench));
  t.ReceiveVideoEnc(true);
  // The encoder's buffers fill, and the feed waits for one to come free.
  ASSERT_TRUE(waitUntil(
      [] {
        VENC_CHN_STATUS_S st;
        return RK_MPI_VENC_QueryStatus(0, &st) == RK_SUCCESS && st.u32LeftStreamFrames == 3;
      },
      3000));
  QThread::msleep(100);

  // The interface thread's slots (run on a helper here, so that one that
  // hangs fails the test instead of hanging it) return at once.
  std::atomic<bool> switched{false};
  std::thread slot([&] {
    t.ReceiveSrEnabled(true);
    switched = true;
  });
  EXPECT_TRUE(waitUntil([&] { return switched.load(); }, 100));
  t.ReceiveVideoEnc(false);
  slot.join();
  EXPECT_TRUE(t.hasPool());

  // The writer comes back later: what the encoder had made is still there,
  // every frame of the recording up to the one the feed was waiting to send.
  QThread::msleep(300);
  std::vector<RK_U64> pts;
  Packet p;
  while (takePacket(&p, 200)) pts.push_back(p.pts);
  ASSERT_EQ(pts.size(), 3u);
  EXPECT_EQ(pts.back() + 40000, lastPts);
  EXPECT_TRUE(waitUntil([&] { return t.camera()->IsInited(); }, 5000));
}

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ImageProThreadEncoderFeed, SurvivesPoolRebuildsAndThrottlesFailuresOfAMissingChannel) {
  HEATLUME_SKIP_WHEN_SLOWED("counts the frames refused in 2 s at the sensor's 25 per second");
  Bench bench;
  ASSERT_TRUE(bench.ok());
  ImageProThread t;
  ASSERT_TRUE(startAndShow(t, bench));
  t.ReceiveVideoEnc(true);

  // The pool is rebuilt under a running feed: packets keep coming, in order.
  Packet p;
  RK_U64 lastPts = 0;
  for (int i = 0; i < 8; ++i) {
    if (i % 2 == 0) t.ReceiveSrEnabled(false);
    ASSERT_TRUE(waitUntil([&] { return takePacket(&p); }, 2000)) << i;
    EXPECT_GT(p.pts, lastPts);
    lastPts = p.pts;
  }
  EXPECT_TRUE(t.hasPool());

  // The channel goes away for a while: failures are counted and logged at
  // the 1st and 31st, and the first success afterwards reports the total.
  const std::string out = pipetest::stdoutOf([&] {
    destroyEncoderChannel();
    QThread::msleep(2000);  // about 50 refused frames at 25 per second
    ASSERT_TRUE(createEncoderChannel());
    EXPECT_TRUE(waitUntil([&] { return takePacket(&p); }, 2000));
  });
  EXPECT_EQ(countOf(out, "VENC send frame failed"), 2u) << out;
  EXPECT_NE(out.find(", total 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find(", total 31\n"), std::string::npos) << out;
  EXPECT_EQ(countOf(out, "VENC send frame recovered, had "), 1u) << out;
  t.ReceiveVideoEnc(false);
  QThread::msleep(100);
  while (takePacket(&p, 100)) continue;
}

}  // namespace
