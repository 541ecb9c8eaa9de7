#include "imaging/image_pro_thread.h"

#include <time.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTemporaryFile>
#include <QtDebug>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "display/display.h"
#include "imaging/camera.h"
#include "imaging/record_osd.h"
#include "platform/card_write.h"
#include "platform/diag.h"
#include "platform/jpeg/jpeg_enc.h"
#include "platform/paths.h"
#include "platform/rga/rga.h"
#include "platform/system_actions.h"
#include "platform/unique_fd.h"

namespace {

constexpr int kDisplayWidth = 320;
constexpr int kDisplayHeight = 360;
// How long the feed waits for the encoder to give back a frame block.
constexpr int kBlockWaitMs = 200;
// How long a camera stop waits for a recording's last frames to leave the
// encoder (the writer takes a packet within a few milliseconds).
constexpr int kDrainWaitMs = 1000;

// The feed's pace: monotonic, so a clock set on the device moves no frame.
int64_t monotonicMicros() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// Writes the photo as a new file: never over one that is there, never
// through a link. What a failed write left of it goes again.
bool writeNewJpeg(const QImage& image, const QString& fsPath) {
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPEG", 90)) return false;
  const QByteArray name = QFile::encodeName(fsPath);
  platform::UniqueFd fd(platform::cardCreate(name.constData()));
  if (!fd.valid()) {
    diag::warning(diag::kPhoto, "cannot create %s: %s", name.constData(), std::strerror(errno));
    return false;
  }
  bool ok = platform::cardWrite(fd.get(), jpeg.constData(), static_cast<size_t>(jpeg.size())) >= 0;
  if (!ok) diag::warning(diag::kPhoto, "writing %s failed: %s", name.constData(), std::strerror(errno));
  ok = fd.reset() == 0 && ok;
  if (!ok) ::unlink(name.constData());
  return ok;
}

}  // namespace

ImageProThread::ImageProThread(const ImageThreadConfig& config)
    : QThread(nullptr),
      cameraPath_(config.cameraPath),
      poolBlockCount_(config.poolBlockCount) {
  // The camera carries its frame slots (about 3 MB): on the heap for the
  // life of this object.
  camera_ = std::make_unique<IrCamera>();

  QDir().mkpath(platform::qpath(QStringLiteral("/mnt/sdcard/picture/")));

  if (display_init(kDisplayWidth, kDisplayHeight) != 0) {
    qDebug("%s: display_init failed", "ImageProThread");
    return;
  }
  displayReady_ = true;
  if (RK_MPI_SYS_Init() != RK_SUCCESS) {
    diag::out("RK_MPI_SYS_Init failed\n");
    return;
  }
  mediaReady_ = true;
  ReceiveSrEnabled(false);
  diag::out("RK_MPI_SYS_Init success\n");
}

ImageProThread::~ImageProThread() {
  // The loop must be over before the camera and the display go away.
  if (isRunning()) Stop();
  runFence_.observe();
  ReceiveRecordOsdEnable(false);
  camera_.reset();
  if (displayReady_.exchange(false)) display_deinit();
  releasePool();
  if (mediaReady_) RK_MPI_SYS_Exit();
}

void ImageProThread::releasePool() {
  std::lock_guard<std::mutex> lock(poolLock_);
  releasePoolLocked();
}

void ImageProThread::releasePoolLocked() {
  if (keptBlock_ != MB_INVALID_HANDLE) {
    RK_MPI_MB_ReleaseMB(keptBlock_);
    keptBlock_ = MB_INVALID_HANDLE;
    keptAddr_ = nullptr;
  }
  if (pool_ != MB_INVALID_POOLID) {
    RK_MPI_MB_DestroyPool(pool_);
    pool_ = MB_INVALID_POOLID;
  }
}

bool ImageProThread::hasPool() const {
  std::lock_guard<std::mutex> lock(poolLock_);
  return pool_ != MB_INVALID_POOLID;
}

void ImageProThread::ResetPictureFileNum() {
  emit pictureNumberReset();
}

void ImageProThread::Stop() {
  requestInterruption();
  quit();
  wait();
}

// ------------------------------------------------------------------ slots

void ImageProThread::ReceiveScale(int tenths) {
  if (camera_) camera_->SetScale(tenths);
}

void ImageProThread::ReceivePause(bool flag) {
  if (camera_) camera_->SetPause(flag);
}

void ImageProThread::ReceiveSrEnabled(bool enable) {
  std::lock_guard<std::mutex> lock(poolLock_);
  releasePoolLocked();
  diag::out("Create Pool start (disp enc %dx%d)!\n", kEncWidth, kEncHeight);
  MB_POOL_CONFIG_S cfg;
  std::memset(&cfg, 0, sizeof cfg);
  cfg.u64MBSize = kEncFrameBytes;
  cfg.u32MBCnt = static_cast<RK_U32>(poolBlockCount_);
  pool_ = RK_MPI_MB_CreatePool(&cfg);
  MB_BLK block = pool_ != MB_INVALID_POOLID ? RK_MPI_MB_GetMB(pool_, kEncFrameBytes, RK_TRUE)
                                            : MB_INVALID_HANDLE;
  if (block == MB_INVALID_HANDLE) {
    RK_LOGE("RK_MPI_MB_GetMB fail %x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(block)));
    return;
  }
  keptBlock_ = block;
  keptAddr_ = RK_MPI_MB_Handle2VirAddr(block);
  std::memset(&frameTemplate_, 0, sizeof frameTemplate_);
  frameTemplate_.stVFrame.pMbBlk = block;
  frameTemplate_.stVFrame.u32Width = kEncWidth;
  frameTemplate_.stVFrame.u32Height = kEncHeight;
  frameTemplate_.stVFrame.u32VirWidth = kEncWidth;
  frameTemplate_.stVFrame.u32VirHeight = kEncHeight;
  srEnabled_.store(enable);
}

void ImageProThread::ReceiveCharge(bool charge) { charging_.store(charge); }

void ImageProThread::ReceiveLowPower(bool isLowPower) { lowPower_.store(isLowPower); }

void ImageProThread::ReceiveIdleSleep(bool sleeping) {
  // Held against the loop releasing the display for a sleep it has already
  // seen: a wake in that window would otherwise find the display still up,
  // skip its bring-up, and be followed by the release.
  std::lock_guard<std::mutex> lock(displayLock_);
  if (!sleeping && !displayReady_.load()) {
    if (display_init(kDisplayWidth, kDisplayHeight) == 0)
      displayReady_.store(true);
    else
      qWarning("ImageProThread::ReceiveIdleSleep: display_init failed on wake");
  }
  idleSleeping_.store(sleeping);
}

void ImageProThread::ReceiveImageMode(int mode) {
  if (camera_) camera_->SetImageMode(mode);
}

void ImageProThread::ReceiveVideoEnc(bool isEnc) {
  uint64_t lastPts = 0;
  {
    encodeEnabled_.store(isEnc, std::memory_order_release);
    // A frame joins a recording under the lock (sendVideoFrame): the one on
    // its way to the encoder, if any, is counted in lastPts, and every later
    // one belongs to the next recording, the first of which is the JPEG's.
    std::lock_guard<std::mutex> lock(poolLock_);
    lastPts = static_cast<uint64_t>(frameIntervalUs_) * vencTimeRef_;
    vencFailures_.reset();
    vencTimeRef_ = 0;
    firstFrameJpegPending_.store(isEnc, std::memory_order_release);
  }
  if (isEnc) {
    const RK_S32 ret = RK_MPI_VENC_RequestIDR(0, RK_TRUE);
    diag::out("VENC RequestIDR ret=%d\n", ret);
  } else {
    emit videoFeedStopped(lastPts);
  }
}

void ImageProThread::ReceiveRecordOsdEnable(bool enable) {
  if (enable)
    record_osd_start(kOsdWidth, kOsdHeight);
  else
    record_osd_stop();
}

void ImageProThread::ReceiveRecordOsdBitmap(QByteArray argb, int width, int height) {
  if (argb.isEmpty() || width <= 0 || height <= 0) return;
  // A picture shorter than its stated size is refused, not read past its end.
  if (argb.size() / 4 / width < height) return;
  record_osd_set_bitmap(argb.constData(), width, height);
}

void ImageProThread::ReceiveSavePhotoWithOsd(QString path, QByteArray rgba, int width, int height) {
  if (path.isEmpty() || width != kEncWidth || height != kEncHeight) return;
  QImage base(kEncWidth, kEncHeight, QImage::Format_RGB888);
  if (base.bytesPerLine() != kEncWidth * 3 ||
      display_rga_copy_last_to(base.bits(), kEncWidth, kEncHeight, 270, RK_FORMAT_RGB_888) != 0) {
    diag::out("ReceiveSavePhotoWithOsd: rga copy RGB failed\n");
    emit photoSaved(path, false);
    return;
  }
  if (rgba.size() >= kEncWidth * kEncHeight * 4) {
    const QImage overlay(reinterpret_cast<const uchar*>(rgba.constData()), kEncWidth, kEncHeight,
                         kEncWidth * 4, QImage::Format_RGBA8888);
    QPainter p(&base);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(0, 0, overlay);
  }
  const bool ok = writeNewJpeg(base, platform::qpath(path));
  if (ok) {
    platform::sys().syncFilesystems();
    diag::out("ReceiveSavePhotoWithOsd: saved %s\n", QFile::encodeName(path).constData());
  } else {
    diag::out("ReceiveSavePhotoWithOsd: save failed %s\n", QFile::encodeName(path).constData());
  }
  emit photoSaved(path, ok);
}

// ------------------------------------------------------------------ loop

void ImageProThread::run() {
  platform::RunFence::Scope fence(runFence_);
  bool currentSr = srEnabled_.load();
  int retryMs = 100;

  auto stopCamera = [this] {
    if (!camera_ || !camera_->IsInited()) return;
    // The camera's stop takes the encoder channel with it, and with it the
    // frames of a recording not yet taken by the writer. Every reason to
    // stop the camera stops a recording first; its switch-off is on its way
    // and its last frames are let out before the channel goes.
    for (int waited = 0; waited < kDrainWaitMs && !isInterruptionRequested(); waited += 5) {
      VENC_CHN_STATUS_S st;
      if (!encodeEnabled_.load() && (RK_MPI_VENC_QueryStatus(0, &st) != RK_SUCCESS ||
                                     (st.u32LeftPics == 0 && st.u32LeftStreamFrames == 0)))
        break;
      msleep(5);
    }
    camera_->Stop();
  };
  constexpr int kNapMs = 100;
  auto somethingChanged = [this](bool sr) {
    return isInterruptionRequested() || idleSleeping_.load() || charging_.load() ||
           lowPower_.load() || srEnabled_.load() != sr;
  };

  while (!isInterruptionRequested()) {
    if (idleSleeping_.load()) {
      stopCamera();
      {
        std::lock_guard<std::mutex> lock(displayLock_);
        if (idleSleeping_.load() && displayReady_.exchange(false)) display_deinit();
      }
      msleep(200);
      continue;
    }
    if (charging_.load() || lowPower_.load()) {
      stopCamera();
      msleep(200);
      continue;
    }
    const bool wantSr = srEnabled_.load();
    if (wantSr != currentSr) {
      stopCamera();
      currentSr = wantSr;
    }
    if (camera_ && !camera_->IsInited()) {
      // A camera that will not come up is retried, backing off to 2 s so a
      // missing core does not cost a bring-up ten times a second. The wait
      // is cut into short naps: sleep, charging, low power, a mode switch or
      // the end of the thread must not wait for the next attempt.
      if (camera_->Init(QFile::encodeName(cameraPath_).constData(), currentSr)) {
        retryMs = 100;
      } else {
        for (int waited = 0; waited < retryMs && !somethingChanged(currentSr); waited += kNapMs)
          msleep(static_cast<unsigned long>(std::min(kNapMs, retryMs - waited)));
        retryMs = std::min(retryMs * 2, 2000);
      }
      continue;
    }
    if (encodeEnabled_.load()) {
      sendVideoFrame();
      continue;
    }
    msleep(10);
  }
  stopCamera();
  if (displayReady_.exchange(false)) display_deinit();
}

bool ImageProThread::sendVideoFrame() {
  const int64_t start = monotonicMicros();
  // The lock covers the pool and the feed's counters, never a wait on
  // another thread (the encoder, the writer that frees its buffers, the
  // display): a slot that takes it is never held up by a stalled writer. A
  // block taken from the pool stays valid while it is held, even across a
  // rebuild, as it does while the encoder holds it.
  std::unique_lock<std::mutex> lock(poolLock_);
  frameIntervalUs_ = 40000;
  MB_BLK block = MB_INVALID_HANDLE;
  // The encoder gives a block back as soon as it has encoded the frame in
  // it; the wait for one is taken in short naps outside the lock.
  for (int waitedMs = 0;; ++waitedMs) {
    // Switched off while this pass waited.
    if (!encodeEnabled_.load()) return false;
    if (pool_ == MB_INVALID_POOLID) {
      lock.unlock();
      usleep(5000);
      return false;
    }
    block = RK_MPI_MB_GetMB(pool_, kEncFrameBytes, RK_FALSE);
    if (block != MB_INVALID_HANDLE) break;
    if (waitedMs >= kBlockWaitMs || isInterruptionRequested()) {
      uint32_t n = 0;
      if (vencFailures_.next(&n)) RK_LOGE("VENC get MB failed, total %u", n);
      lock.unlock();
      usleep(5000);
      return false;
    }
    lock.unlock();
    usleep(1000);
    lock.lock();
  }
  lock.unlock();

  void* addr = RK_MPI_MB_Handle2VirAddr(block);
  if (!addr) {
    RK_MPI_MB_ReleaseMB(block);
    usleep(5000);
    return false;
  }
  if (display_rga_copy_last_to(addr, kEncWidth, kEncHeight, 270, RK_FORMAT_YCbCr_420_SP) != 0) {
    RK_MPI_MB_ReleaseMB(block);
    uint32_t n = 0;
    if (vencFailures_.next(&n)) RK_LOGE("VENC: display_rga_copy_last_to fail, total %u", n);
    usleep(5000);
    return false;
  }
  RK_MPI_SYS_MmzFlushCache(block, RK_FALSE);

  // The frame joins the recording here, all at once: a switch of the feed
  // sees it either wholly before (it is counted in the recording's last
  // time stamp) or wholly after (it is not sent).
  lock.lock();
  if (!encodeEnabled_.load()) {
    lock.unlock();
    RK_MPI_MB_ReleaseMB(block);
    return false;
  }
  const bool makeJpeg = firstFrameJpegPending_.exchange(false);
  const bool firstOfRecording = vencTimeRef_ == 0;
  VIDEO_FRAME_INFO_S frame = frameTemplate_;
  frame.stVFrame.pMbBlk = block;
  frame.stVFrame.u32TimeRef = vencTimeRef_;
  ++vencTimeRef_;
  frame.stVFrame.u64PTS = static_cast<RK_U64>(frameIntervalUs_) * vencTimeRef_;
  frame.stVFrame.u32Width = kEncWidth;
  frame.stVFrame.u32Height = kEncHeight;
  frame.stVFrame.u32VirWidth = kEncWidth;
  frame.stVFrame.u32VirHeight = kEncHeight;
  const uint32_t timeRef = vencTimeRef_;
  const int interval = frameIntervalUs_;
  lock.unlock();

  if (makeJpeg) {
    QTemporaryFile tmp(QDir::tempPath() + QStringLiteral("/ts_thm_XXXXXX.jpg"));
    if (tmp.open()) {
      jpeg_enc(addr, QFile::encodeName(tmp.fileName()).constData(), kEncWidth, kEncHeight, 75);
      tmp.seek(0);
      const QByteArray bytes = tmp.readAll();
      if (!bytes.isEmpty()) emit firstVideoFrameJpeg(bytes);
    }
  }

  if (firstOfRecording) {
    // Frames of the recording before may still wait in the encoder; the IDR
    // asked for at the switch would go to one of them. Let them through and
    // ask again, so this recording opens with its own parameter sets.
    VENC_CHN_STATUS_S status;
    for (int i = 0; i < 50; ++i) {
      if (RK_MPI_VENC_QueryStatus(0, &status) != RK_SUCCESS || status.u32LeftPics == 0) break;
      usleep(2000);
    }
    RK_MPI_VENC_RequestIDR(0, RK_TRUE);
  }

  // Wait for the encoder as long as recording goes on, but not past its end:
  // once the writer stops taking packets the stream buffers never free up,
  // and an unlimited wait would hang this thread for good.
  RK_S32 ret;
  do {
    ret = RK_MPI_VENC_SendFrame(0, &frame, 200);
  } while (ret == RK_ERR_VENC_BUF_FULL && encodeEnabled_.load() && !isInterruptionRequested());
  // The encoder holds its own reference while it needs the frame.
  RK_MPI_MB_ReleaseMB(block);
  const bool ok = ret == RK_SUCCESS;
  lock.lock();
  uint32_t n = 0;
  if (!ok) {
    if (vencFailures_.next(&n)) diag::out("VENC send frame failed %d, total %u\n", ret, n);
  } else {
    if (vencFailures_.count() != 0) {
      diag::out("VENC send frame recovered, had %u fails\n", vencFailures_.count());
      vencFailures_.reset();
    }
    if (timeRef % 50 == 1)
      diag::out("VENC send ok, ref=%u size=%dx%d\n", timeRef, kEncWidth, kEncHeight);
  }
  lock.unlock();

  // The rest of the interval is slept after the send: the encoder gets the
  // frame as fresh as it was copied. Frames keep to a fixed grid of
  // intervals rather than one interval after each start, or the small
  // overshoot of every sleep on a busy system would add up to a frame lost
  // every second or so. A feed that is more than an interval off the grid
  // (the first frame, a stall) starts a new one instead of sending a burst.
  const int64_t now = monotonicMicros();
  int64_t next = nextFrameUs_ + interval;
  if (firstOfRecording || nextFrameUs_ == 0 || next < now - interval || next > now + interval)
    next = start + interval;
  nextFrameUs_ = next;
  if (next > now) usleep(static_cast<useconds_t>(next - now));
  return ok;
}
