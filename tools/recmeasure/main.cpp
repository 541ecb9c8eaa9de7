// One minute of recording on the simulated board against live view alone; the
// numbers go to standard output as one MEASURE line.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "imaging/camera.h"
#include "imaging/image_pro_thread.h"
#include "record/save_video_thread.h"
#include "tests/pipeline/pipeline_support.h"
#include "tests/record/recording_support.h"

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Share of one core used by the process over `ms` while events are handled.
double loadOver(int ms) {
  QElapsedTimer t;
  t.start();
  const double c0 = cpuSeconds();
  testsupport::pump(ms);
  return (cpuSeconds() - c0) / (t.elapsed() / 1000.0) * 100.0;
}

int measure() {
  pipetest::Bench bench;
  if (!bench.ok()) {
    std::fprintf(stderr, "recmeasure: the simulated board did not start\n");
    return 1;
  }
  ImageProThread image;
  SaveVideoThread writer;
  QObject::connect(&writer, &SaveVideoThread::send_to_videoenc, &image,
                   &ImageProThread::ReceiveVideoEnc, Qt::QueuedConnection);
  QObject::connect(&image, &ImageProThread::firstVideoFrameJpeg, &writer,
                   &SaveVideoThread::ReceiveFirstFrameJpeg, Qt::QueuedConnection);
  QObject::connect(&image, &ImageProThread::videoFeedStopped, &writer,
                   &SaveVideoThread::ReceiveFeedStopped, Qt::DirectConnection);
  quint64 lastPts = 0;
  QObject ctx;
  QObject::connect(&image, &ImageProThread::videoFeedStopped, &ctx,
                   [&](quint64 pts) { lastPts = pts; });
  image.start();
  writer.start();
  int rc = 0;
  if (!testsupport::waitUntil([&] { return image.camera()->IsInited(); }, 5000)) {
    std::fprintf(stderr, "recmeasure: the camera did not start\n");
    rc = 1;
  } else {
    testsupport::pump(2000);
    const double live = loadOver(20000);
    writer.ReceiveSaveVideo(true);
    QElapsedTimer rec;
    rec.start();
    const double recording = loadOver(60000);
    writer.ReceiveSaveVideo(false);
    const qint64 recordedMs = rec.elapsed();
    QElapsedTimer closing;
    closing.start();
    if (!testsupport::waitUntil([&] { return !writer.isClosing(); }, 60000)) {
      std::fprintf(stderr, "recmeasure: the video was not closed within a minute\n");
      rc = 1;
    }
    const qint64 closeMs = closing.elapsed();
    const rectest::VideoInfo info =
        rectest::probeVideo(bench.root().file(QStringLiteral("/mnt/sdcard/video/video_1.mp4")));
    std::printf("MEASURE frames=%d sent=%llu expected=%lld recorded_ms=%lld live_cpu=%.1f%% "
                "recording_cpu=%.1f%% close_ms=%lld\n",
                info.frames, static_cast<unsigned long long>(lastPts / 40000),
                static_cast<long long>(recordedMs / 40), static_cast<long long>(recordedMs), live,
                recording, static_cast<long long>(closeMs));
  }
  writer.Stop();
  image.Stop();
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return measure();
}
