#pragma once
// The controller of the imaging pipeline: owns the camera, brings up the
// display and the media platform, decides from the power and interface state
// when the camera runs, and feeds the encoder while recording. The object
// lives on the interface thread (its slots run there); only run() executes on
// the worker, and the two meet through atomics and two locks: the encoder
// pool's and the display bring-up's.
#include <QByteArray>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/diag.h"
#include "platform/media/rk_mpi.h"
#include "platform/run_fence.h"

class IrCamera;

// What the thread needs from the settings and the board, handed in by its
// owner so that this folder never reads the settings file itself.
struct ImageThreadConfig {
  QString cameraPath = QStringLiteral("/dev/video0");
  int poolBlockCount = 4;  // encoder frame pool, already clamped to [2, 8]
};

class ImageProThread : public QThread {
  Q_OBJECT

 public:
  static constexpr int kEncWidth = 360;
  static constexpr int kEncHeight = 320;
  static constexpr int kEncFrameBytes = kEncWidth * kEncHeight * 3 / 2;  // 172,800
  // The recording overlay: 8 columns wider than the frame, clipped by the encoder.
  static constexpr int kOsdWidth = 368;
  static constexpr int kOsdHeight = 320;

  ImageProThread() : ImageProThread(ImageThreadConfig{}) {}
  explicit ImageProThread(const ImageThreadConfig& config);
  ~ImageProThread() override;

  void ResetPictureFileNum();
  void Stop();

  // For the main window, tests and measurements.
  bool displayReady() const { return displayReady_.load(); }
  bool srEnabled() const { return srEnabled_.load(); }
  bool charging() const { return charging_.load(); }
  bool lowPower() const { return lowPower_.load(); }
  int poolBlockCount() const { return poolBlockCount_; }
  IrCamera* camera() const { return camera_.get(); }
  bool encodeEnabled() const { return encodeEnabled_.load(); }
  bool hasPool() const;

 signals:
  void firstVideoFrameJpeg(QByteArray jpeg);
  // ReceiveVideoEnc(false) has returned: no frame beyond `lastPts` goes to
  // the encoder for this recording, `lastPts` being the time stamp of its
  // last frame (0 when it had none); that frame may still be on its way.
  // Emitted on the interface thread; connect it directly to the video
  // writer so it arrives before any frame of a following recording.
  void videoFeedStopped(quint64 lastPts);
  // The photo counter went back to 0; the owner persists it.
  void pictureNumberReset();
  // A photo handed to ReceiveSavePhotoWithOsd was written (or not).
  void photoSaved(QString path, bool ok);

 public slots:
  void ReceiveScale(int tenths);
  void ReceivePause(bool flag);
  void ReceiveSrEnabled(bool enable);
  void ReceiveCharge(bool charge);
  void ReceiveLowPower(bool isLowPower);
  void ReceiveIdleSleep(bool sleeping);
  void ReceiveImageMode(int mode);
  void ReceiveVideoEnc(bool isEnc);
  void ReceiveRecordOsdEnable(bool enable);
  void ReceiveRecordOsdBitmap(QByteArray argb, int width, int height);
  void ReceiveSavePhotoWithOsd(QString path, QByteArray rgba, int width, int height);

 protected:
  void run() override;

 private:
  bool sendVideoFrame();
  void releasePool();
  void releasePoolLocked();  // poolLock_ held

  std::unique_ptr<IrCamera> camera_;
  std::atomic<bool> displayReady_{false};
  std::atomic<bool> charging_{false};
  std::atomic<bool> lowPower_{false};
  std::atomic<bool> srEnabled_{false};
  std::atomic<bool> encodeEnabled_{false};
  std::atomic<bool> idleSleeping_{false};
  std::atomic<bool> firstFrameJpegPending_{false};
  bool mediaReady_ = false;
  platform::RunFence runFence_;
  QString cameraPath_;
  int poolBlockCount_ = 4;
  int frameIntervalUs_ = 40000;
  int64_t nextFrameUs_ = 0;  // the feed's next send time on its grid (worker only)

  // The pool, its kept block and the frame template are rebuilt on the
  // interface thread while the worker may be feeding: one lock covers the
  // rebuild, the feed's taking of a block, its joining a recording and the
  // feed counters. It is never held across a wait on another thread.
  // std::mutex rather than QMutex: the sanitizer builds see its ordering,
  // which they cannot for Qt's uninstrumented contended path.
  mutable std::mutex poolLock_;
  // Orders the wake's display bring-up against the loop's release for sleep.
  std::mutex displayLock_;
  MB_POOL pool_ = MB_INVALID_POOLID;
  MB_BLK keptBlock_ = MB_INVALID_HANDLE;
  void* keptAddr_ = nullptr;
  VIDEO_FRAME_INFO_S frameTemplate_{};
  // The feed's failures since the last frame that went through.
  diag::Throttle vencFailures_;
  uint32_t vencTimeRef_ = 0;
};
