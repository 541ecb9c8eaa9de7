// Recordings end to end on the simulated board (image thread, software
// encoder, writer, the ffmpeg program), and the writer's rules for what
// stays on the card when something fails.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QWidget>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/camera.h"
#include "imaging/encoder_channel.h"
#include "imaging/image_pro_thread.h"
#include "platform/card_write.h"
#include "platform/media/rk_mpi.h"
#include "platform/settings_file.h"
#include "platform/system_actions.h"
#include "record/recorder.h"
#include "record/save_video_thread.h"
#include "record/video_closer.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/record/recording_support.h"
#include "tests/support/player_frame.h"

namespace {

using pipetest::Bench;
using testsupport::pump;
using testsupport::waitUntil;

const QString kVideoDir = QStringLiteral("/mnt/sdcard/video/");

QString videoFile(const TempRoot& root, const QString& name) { return root.file(kVideoDir + name); }

QStringList videoDirListing(const TempRoot& root) {
  return QDir(root.file(kVideoDir)).entryList(QDir::Files, QDir::Name);
}

int storedCounter(const TempRoot& root) {
  QSettings s(root.file(QStringLiteral("/etc/settings.ini")), QSettings::IniFormat);
  return s.value(QStringLiteral("VideoFileNum"), -1).toInt();
}

void expectThumbnailAtTheEnd(const QString& mp4) {
  const rectest::LastBox last = rectest::lastTopLevelBox(mp4);
  EXPECT_EQ(last.type, QByteArray("thm "));
  QImage thumb;
  EXPECT_TRUE(thumb.loadFromData(last.payload, "JPEG"));
  EXPECT_EQ(thumb.size(), QSize(360, 320));
}

// The window's recording path: the image thread and a Recorder over a
// see-through interface (tests put their marks on it), with the window's
// answer to a failed write.
struct Rig {
  Bench bench;
  QWidget window;
  QWidget* interface;
  std::unique_ptr<ImageProThread> image;
  std::unique_ptr<Recorder> recorder;
  quint64 lastPts = 0;
  std::vector<quint64> stops;  // lastPts of every stop of the feed
  int writeFailures = 0;
  QObject ctx;

  Rig() : interface(new QWidget(&window)) {
    interface->resize(360, 320);
    interface->setAttribute(Qt::WA_TranslucentBackground);
    interface->setStyleSheet("background: transparent");
  }

  bool up() {
    image = std::make_unique<ImageProThread>();
    QObject::connect(image.get(), &ImageProThread::videoFeedStopped, &ctx,
                     [this](quint64 pts) {
                       lastPts = pts;
                       stops.push_back(pts);
                     });
    recorder = std::make_unique<Recorder>(interface, image.get());
    QObject::connect(recorder.get(), &Recorder::writeFailed, &ctx, [this] {
      ++writeFailures;
      recorder->setRecording(false);
    });
    image->start();
    const uint64_t commits = bench.kms().commits();
    return waitUntil(
        [&] { return image->camera()->IsInited() && bench.kms().commits() >= commits + 3; }, 5000);
  }

  SaveVideoThread* writer() const { return recorder->writer(); }
  // The recorder's calls reach the writer through the event loop.
  bool waitUntilClosed() {
    return waitUntil([&] { return !writer()->isRecording() && !recorder->closing(); }, 15000);
  }

  // Records for `ms`, stops and waits until the recording is closed.
  bool record(int ms) {
    recorder->setRecording(true);
    pump(ms);
    recorder->setRecording(false);
    return waitUntilClosed();
  }

  ~Rig() {
    recorder.reset();
    if (image) image->Stop();
  }
};

TEST(Recording, OnTheBoardEachRecordingBecomesOnePlayableVideoWithItsThumbnail) {
  HEATLUME_SKIP_WHEN_SLOWED("counts the frames of a 3 s recording at 25 per second");
  Rig rig;
  ASSERT_TRUE(rig.bench.ok());
  settings::writeVideoFileNum(3000);
  ASSERT_TRUE(rig.up());

  ASSERT_TRUE(rig.record(3000));
  const QString first = videoFile(rig.bench.root(), "video_3001.mp4");
  EXPECT_EQ(videoDirListing(rig.bench.root()), QStringList{"video_3001.mp4"});
  EXPECT_EQ(storedCounter(rig.bench.root()), 0);
  const rectest::VideoInfo info = rectest::probeVideo(first);
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.codec, "h264");
  EXPECT_EQ(info.width, 360);
  EXPECT_EQ(info.height, 320);
  EXPECT_DOUBLE_EQ(info.fps, 25.0);
  // Every frame the feed sent is in the file, no more, no fewer.
  EXPECT_EQ(info.frames, static_cast<int>(rig.lastPts / 40000));
  EXPECT_NEAR(info.frames, 75, 5);
  expectThumbnailAtTheEnd(first);

  // After video_3001 the numbers start again at 1.
  ASSERT_TRUE(rig.record(600));
  EXPECT_EQ(videoDirListing(rig.bench.root()), (QStringList{"video_1.mp4", "video_3001.mp4"}));
  EXPECT_EQ(storedCounter(rig.bench.root()), 1);
  EXPECT_EQ(rectest::probeVideo(videoFile(rig.bench.root(), "video_1.mp4")).frames,
            static_cast<int>(rig.lastPts / 40000));

  // Stopped and started again in the same turn of the event loop: each
  // recording gets exactly its own frames, none of the other's.
  rig.stops.clear();
  rig.recorder->setRecording(true);
  pump(800);
  rig.recorder->setRecording(false);
  rig.recorder->setRecording(true);
  pump(800);
  rig.recorder->setRecording(false);
  ASSERT_TRUE(rig.waitUntilClosed());
  ASSERT_TRUE(waitUntil([&] { return rig.stops.size() >= 2; }, 5000));
  ASSERT_EQ(rig.stops.size(), 2u);
  for (int n = 2; n <= 3; ++n) {
    const QString mp4 = videoFile(rig.bench.root(), QStringLiteral("video_%1.mp4").arg(n));
    EXPECT_EQ(rectest::probeVideo(mp4).frames, static_cast<int>(rig.stops[n - 2] / 40000)) << n;
    expectThumbnailAtTheEnd(mp4);
  }

  EXPECT_EQ(rig.writeFailures, 0);
}

TEST(Recording, TheInterfaceIsBurnedIntoTheRecordedPicture) {
  Rig rig;
  ASSERT_TRUE(rig.bench.ok());
  ASSERT_TRUE(rig.up());
  // One opaque mark on the transparent interface, as the overlay's reticle is.
  auto* mark = new QWidget(rig.interface);
  mark->setGeometry(40, 40, 60, 60);
  mark->setStyleSheet("background: #ff0000");
  ASSERT_TRUE(rig.record(1000));

  // From the first frame to the last, the frames still in the encoder at
  // the stop included.
  const QString mp4 = videoFile(rig.bench.root(), "video_1.mp4");
  const int frames = rectest::probeVideo(mp4).frames;
  ASSERT_GT(frames, 5);
  for (int index : {0, frames / 2, frames - 1}) {
    SCOPED_TRACE(index);
    const QImage frame = rectest::decodeFrame(mp4, index);
    ASSERT_FALSE(frame.isNull());
    if (index == frames / 2 && qEnvironmentVariableIsSet("RECORDING_FRAME_PNG"))
      frame.save(qEnvironmentVariable("RECORDING_FRAME_PNG"));
    const QColor in = frame.pixelColor(70, 70);
    EXPECT_GT(in.red(), 200);
    EXPECT_LT(in.green(), 60);
    EXPECT_LT(in.blue(), 60);
    // Just above it the dark sky of the scene shows through untouched.
    EXPECT_LT(frame.pixelColor(70, 20).red(), 150);
    EXPECT_GT(frame.pixelColor(70, 20).blue(), frame.pixelColor(70, 20).green());
  }
}

// Mean colour of a rectangle.
QColor meanColour(const QImage& image, const QRect& r) {
  double sum[3] = {};
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb c = image.pixel(x, y);
      sum[0] += qRed(c);
      sum[1] += qGreen(c);
      sum[2] += qBlue(c);
    }
  const double n = static_cast<double>(r.width()) * r.height();
  return QColor::fromRgbF(sum[0] / n / 255, sum[1] / n / 255, sum[2] / n / 255);
}

// A player shows a recording in the colours of the photo of the same
// moment: the picture beneath and the interface drawn over it, opaque and
// half transparent.
TEST(Recording, APlayerShowsTheColoursOfThePhotoOfTheSameMoment) {
  Rig rig;
  ASSERT_TRUE(rig.bench.ok());
  ASSERT_TRUE(rig.up());
  // Held still, the panel keeps one picture: every recorded frame and the
  // photo are made from it.
  rig.image->ReceivePause(true);
  pump(300);
  QWidget* central = rig.interface;
  const QRect opaque(200, 150, 60, 60), half(40, 150, 60, 60);
  auto* mark = new QWidget(central);
  mark->setGeometry(opaque);
  mark->setStyleSheet("background: #3c78c8");
  auto* veil = new QWidget(central);
  veil->setGeometry(half);
  veil->setStyleSheet("background: rgba(255, 200, 40, 128)");
  ASSERT_TRUE(rig.record(1000));

  // The photo, with the interface as the window hands it over.
  QImage ui(360, 320, QImage::Format_ARGB32);
  ui.fill(Qt::transparent);
  central->render(&ui, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
  const QImage rgba = ui.convertToFormat(QImage::Format_RGBA8888);
  const QByteArray bytes(reinterpret_cast<const char*>(rgba.constBits()), 360 * 320 * 4);
  rig.image->ReceiveSavePhotoWithOsd("/mnt/sdcard/picture/pic_1.jpg", bytes, 360, 320);
  const QImage photo(rig.bench.root().file("/mnt/sdcard/picture/pic_1.jpg"));
  ASSERT_EQ(photo.size(), QSize(360, 320));
  const QString mp4 = videoFile(rig.bench.root(), "video_1.mp4");
  const rectest::VideoInfo info = rectest::probeVideo(mp4);
  EXPECT_EQ(info.range.toStdString(), "pc");
  EXPECT_EQ(info.matrix.toStdString(), "smpte170m");
  const QImage frame = testsupport::playerFrame(mp4, 10);
  ASSERT_EQ(frame.size(), QSize(360, 320));
  if (qEnvironmentVariableIsSet("RECORDING_FRAME_PNG")) {
    frame.save(qEnvironmentVariable("RECORDING_FRAME_PNG"));
    photo.save(qEnvironmentVariable("RECORDING_FRAME_PNG") + ".photo.png");
  }

  // Inside the marks, clear of their edges (where chroma is shared with the
  // picture beside them), and two patches of the picture alone.
  const QRect patches[] = {opaque.adjusted(4, 4, -4, -4), half.adjusted(4, 4, -4, -4),
                           QRect(130, 50, 60, 30), QRect(150, 100, 40, 30)};
  for (const QRect& r : patches) {
    const QColor want = meanColour(photo, r), got = meanColour(frame, r);
    const auto text = [](const QColor& c) {
      return QString::asprintf("%.1f/%.1f/%.1f", c.redF() * 255, c.greenF() * 255, c.blueF() * 255)
          .toStdString();
    };
    SCOPED_TRACE(QString::asprintf("patch %d,%d: photo %s, video %s", r.x(), r.y(),
                                   text(want).c_str(), text(got).c_str())
                     .toStdString());
    EXPECT_NEAR(got.redF() * 255, want.redF() * 255, 3.0);
    EXPECT_NEAR(got.greenF() * 255, want.greenF() * 255, 3.0);
    EXPECT_NEAR(got.blueF() * 255, want.blueF() * 255, 3.0);
  }
}

TEST(Recording, AFullOrPulledCardStopsTheRecordingAndKeepsWhatWasWritten) {
  Rig rig;
  ASSERT_TRUE(rig.bench.ok());
  ASSERT_TRUE(rig.up());
  const int errors[] = {ENOSPC, EIO};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(std::strerror(errors[i]));
    // Room for a few frames at 10 Mbit/s.
    platform::setCardWriteFault(300000, errors[i]);
    rig.recorder->setRecording(true);
    EXPECT_TRUE(waitUntil([&] { return rig.writeFailures == i + 1; }, 5000));
    EXPECT_FALSE(rig.writer()->isRecording());
    EXPECT_TRUE(waitUntil([&] { return !rig.image->encodeEnabled(); }, 1000));
    platform::setCardWriteFault(-1, 0);
    ASSERT_TRUE(rig.waitUntilClosed());
    const QString mp4 = videoFile(rig.bench.root(), QStringLiteral("video_%1.mp4").arg(i + 1));
    const rectest::VideoInfo info = rectest::probeVideo(mp4);
    EXPECT_TRUE(info.opened);
    EXPECT_GE(info.frames, 2);
    // Every frame decodes, the last one too: the packet the card had no
    // room for is not in the video in part.
    EXPECT_EQ(rectest::decodeErrors(mp4), QString());
    EXPECT_FALSE(QFile::exists(videoFile(rig.bench.root(), QStringLiteral("video_%1.h264").arg(i + 1))));
  }
}

QByteArray contentOf(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

TEST(Recording, NothingOnTheCardIsWrittenThroughALink) {
  Rig rig;
  ASSERT_TRUE(rig.bench.ok());
  ASSERT_TRUE(rig.up());
  const TempRoot& root = rig.bench.root();
  ASSERT_TRUE(root.write("/etc/secret", "keep"));
  const QString secret = root.file("/etc/secret");

  // A photo given a name that is taken, by a photo or by a link, is not
  // written; what is there stays as it was.
  ASSERT_TRUE(root.write("/mnt/sdcard/picture/pic_8.jpg", "photo 8"));
  ASSERT_TRUE(QFile::link(secret, root.file("/mnt/sdcard/picture/pic_9.jpg")));
  std::vector<bool> saved;
  QObject::connect(rig.image.get(), &ImageProThread::photoSaved, &rig.ctx,
                   [&](const QString&, bool ok) { saved.push_back(ok); });
  const QByteArray clear(360 * 320 * 4, '\0');
  for (const char* name : {"pic_8.jpg", "pic_9.jpg"})
    rig.image->ReceiveSavePhotoWithOsd(QStringLiteral("/mnt/sdcard/picture/") + name, clear, 360,
                                       320);
  EXPECT_EQ(saved, (std::vector<bool>{false, false}));
  EXPECT_EQ(contentOf(root.file("/mnt/sdcard/picture/pic_8.jpg")), QByteArray("photo 8"));
  EXPECT_EQ(contentOf(secret), QByteArray("keep"));

  // A link at a video's name, leading nowhere: its number is skipped.
  const QString outside = root.file("/etc/made.mp4");
  ASSERT_TRUE(QFile::link(outside, videoFile(root, "video_1.mp4")));
  // Links put at the finished and the temporary name of the next video
  // while it records: the remux writes through neither.
  rig.recorder->setRecording(true);
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(videoFile(root, "video_2.h264")); }, 2000));
  ASSERT_TRUE(QFile::link(outside, videoFile(root, "video_2.mp4")));
  ASSERT_TRUE(QFile::link(secret, videoFile(root, "video_2.mp4.part")));
  pump(600);
  rig.recorder->setRecording(false);
  ASSERT_TRUE(rig.waitUntilClosed());
  EXPECT_FALSE(QFile::exists(outside));
  EXPECT_EQ(contentOf(secret), QByteArray("keep"));
  EXPECT_FALSE(QFileInfo(videoFile(root, "video_2.mp4")).isSymLink());
  EXPECT_TRUE(rectest::probeVideo(videoFile(root, "video_2.mp4")).opened);
  EXPECT_FALSE(QFileInfo::exists(videoFile(root, "video_2.mp4.part")));
  EXPECT_FALSE(QFileInfo::exists(videoFile(root, "video_2.h264")));
}

TEST(Recording, AStoredCounterOutOfRangeStartsAgainAtOne) {
  for (int stored : {-3, INT_MAX}) {
    SCOPED_TRACE(stored);
    TempRoot root;
    settings::writeVideoFileNum(stored);
    SaveVideoThread writer;
    writer.start();
    writer.ReceiveSaveVideo(true);
    EXPECT_TRUE(QFile::exists(videoFile(root, "video_1.h264")));
    EXPECT_EQ(storedCounter(root), 1);
    writer.ReceiveSaveVideo(false);
    writer.ReceiveFeedStopped(0);
    EXPECT_TRUE(writer.waitUntilClosed(5000));
    writer.Stop();
  }
}

// Replaces the ffmpeg program by a shell line that leaves junk at the MP4's
// path and exits with `status`.
class BrokenRemuxer : public platform::LinuxSystemActions {
 public:
  explicit BrokenRemuxer(int status) : LinuxSystemActions(false), status_(status) {}
  int runProgram(const std::vector<std::string>& argv, int64_t timeoutMs) override {
    if (argv.empty() || argv[0] != "ffmpeg") return LinuxSystemActions::runProgram(argv, timeoutMs);
    ++runs;
    return LinuxSystemActions::runProgram(
        {"sh", "-c", "printf junk > \"$1\"; exit " + std::to_string(status_), "sh", argv.back()});
  }
  int runs = 0;

 private:
  int status_;
};

// An ffmpeg that never ends, run under a short deadline of its own.
class HungRemuxer : public platform::LinuxSystemActions {
 public:
  HungRemuxer() : LinuxSystemActions(false) {}
  int runProgram(const std::vector<std::string>& argv, int64_t timeoutMs) override {
    if (argv.empty() || argv[0] != "ffmpeg") return LinuxSystemActions::runProgram(argv, timeoutMs);
    ++runs;
    deadlineMs = timeoutMs;
    finishedNameSeen = finishedNameSeen || QString::fromStdString(argv.back()).endsWith(".mp4");
    return LinuxSystemActions::runProgram({"sleep", "30"}, 300);
  }
  int runs = 0;
  int64_t deadlineMs = 0;
  bool finishedNameSeen = false;
};

struct FramePool {
  MB_POOL pool = MB_INVALID_POOLID;
  FramePool() {
    MB_POOL_CONFIG_S cfg{};
    cfg.u64MBSize = 172800;
    cfg.u32MBCnt = 3;
    pool = RK_MPI_MB_CreatePool(&cfg);
  }
  ~FramePool() { RK_MPI_MB_DestroyPool(pool); }
  // One frame of a moving gradient with the given time stamp.
  bool send(uint64_t pts) {
    MB_BLK blk = RK_MPI_MB_GetMB(pool, 172800, RK_TRUE);
    auto* p = static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(blk));
    if (!p) return false;
    const int shift = static_cast<int>(pts / 40000);
    for (int y = 0; y < 320; ++y)
      for (int x = 0; x < 360; ++x) p[y * 360 + x] = static_cast<uint8_t>(x + y + 3 * shift);
    std::memset(p + 360 * 320, 128, 360 * 160);
    VIDEO_FRAME_INFO_S f{};
    f.stVFrame.pMbBlk = blk;
    f.stVFrame.u32Width = f.stVFrame.u32VirWidth = 360;
    f.stVFrame.u32Height = f.stVFrame.u32VirHeight = 320;
    f.stVFrame.u64PTS = pts;
    const bool ok = RK_MPI_VENC_SendFrame(0, &f, -1) == RK_SUCCESS;
    RK_MPI_MB_ReleaseMB(blk);
    return ok;
  }
};

TEST(Recording, ARawStreamStaysUntilAPlayableVideoIsMadeFromIt) {
  TempRoot root;
  ASSERT_TRUE(createEncoderChannel());
  FramePool frames;
  // The stream runs before the recording starts: its first packets are the
  // middle of a group of pictures, the next parameter sets come at frame 51.
  ASSERT_TRUE(frames.send(40000));
  VENC_PACK_S pack{};
  VENC_STREAM_S stream{};
  stream.pstPack = &pack;
  ASSERT_EQ(RK_MPI_VENC_GetStream(0, &stream, 1000), RK_SUCCESS);
  RK_MPI_VENC_ReleaseStream(0, &stream);

  const QString raw = root.file(kVideoDir + "video_1.h264");
  const QString mp4 = root.file(kVideoDir + "video_1.mp4");
  {
    BrokenRemuxer failing(1);
    platform::setSystemActions(&failing);
    SaveVideoThread writer;
    writer.start();
    writer.ReceiveSaveVideo(true);
    for (int i = 2; i <= 56; ++i) ASSERT_TRUE(frames.send(40000ull * i));
    writer.ReceiveSaveVideo(false);
    writer.ReceiveFeedStopped(40000ull * 56);
    EXPECT_TRUE(writer.waitUntilClosed(15000));
    writer.Stop();
    platform::setSystemActions(nullptr);
    EXPECT_EQ(failing.runs, 3);
  }
  destroyEncoderChannel();

  // The failed remux kept the stream, which starts at the parameter sets.
  EXPECT_FALSE(QFile::exists(mp4));
  QFile f(raw);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.read(5), QByteArray("\0\0\0\1\x67", 5));
  f.close();
  EXPECT_EQ(rectest::probeVideo(raw).frames, 6);

  // A program that says it succeeded but leaves no playable MP4 is not believed.
  {
    BrokenRemuxer lying(0);
    platform::setSystemActions(&lying);
    EXPECT_FALSE(record::finishRawStream(kVideoDir + "video_1.h264", QByteArray(), false));
    platform::setSystemActions(nullptr);
  }
  EXPECT_TRUE(QFile::exists(raw));
  EXPECT_FALSE(QFile::exists(mp4));

  // A remux that hangs is killed at its deadline (here cut short; the real
  // one grows with the stream's size from a floor of a minute) and not tried
  // again; the stream stays. The unfinished file is never at the video's name.
  {
    HungRemuxer hung;
    platform::setSystemActions(&hung);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(record::finishRawStream(kVideoDir + "video_1.h264", QByteArray(), false));
    platform::setSystemActions(nullptr);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(hung.runs, 1);
    EXPECT_GE(hung.deadlineMs, 60000);
    EXPECT_FALSE(hung.finishedNameSeen);
  }
  EXPECT_TRUE(QFile::exists(raw));
  EXPECT_FALSE(QFileInfo::exists(mp4));

  // The next start recovers it in the background, thumbnail and all; the
  // counter is not touched and the next recording gets a number of its own.
  // What a remux cut short by a power loss left at the temporary name goes.
  ASSERT_TRUE(root.write(kVideoDir + "video_1.mp4.part", "half a video"));
  ASSERT_TRUE(root.write(kVideoDir + "video_7.mp4.part", "half of one long gone"));
  {
    SaveVideoThread writer;
    EXPECT_TRUE(writer.waitUntilClosed(15000));
    EXPECT_EQ(writer.videoFileNum(), 1);
  }
  EXPECT_FALSE(QFile::exists(raw));
  EXPECT_EQ(videoDirListing(root), QStringList{"video_1.mp4"});
  EXPECT_EQ(rectest::probeVideo(mp4).frames, 6);
  expectThumbnailAtTheEnd(mp4);
  EXPECT_EQ(storedCounter(root), 1);
}

}  // namespace
