#pragma once
// The window's side of video playback: starting one playback at a time,
// covering the interface with a see-through surface while the film runs on
// the display plane beneath, stopping it on request (a swipe up on the
// surface, a page change, the window closing) and restoring everything when
// it ends. The window connects the signals to what only it owns: the image
// thread's pause, the page stack, the overlays.
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "gallery/video_play_thread.h"

namespace gallery {

// Covers the whole window while a video plays; a swipe up asks to stop.
// Every other press and release on it is swallowed.
class PlaybackSurface : public QWidget {
  Q_OBJECT

 public:
  explicit PlaybackSurface(QWidget* parent);

 signals:
  void stopRequested();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool armed_ = false;
  QPoint press_;
};

class PlaybackController : public QObject {
  Q_OBJECT

 public:
  static constexpr int kSettleMs = 80;
  static constexpr int kShutdownWaitMs = 2000;

  // `surfaceParent`: the widget the surface covers (the central widget or the
  // window); the surface follows its size.
  explicit PlaybackController(QWidget* surfaceParent, QObject* parent = nullptr);
  // Stops a running playback and waits for it (shutdown()).
  ~PlaybackController() override;

  bool isPlaying() const { return thread_ != nullptr; }
  bool stopPending() const { return stopping_; }
  QString currentPath() const { return path_; }
  PlaybackSurface* surface() const { return surface_; }
  VideoPlayThread* thread() const { return thread_; }

  // Time given to the live picture to stop presenting before playback takes
  // the display (the image thread pauses asynchronously).
  void setSettleMs(int ms) { settleMs_ = ms; }
  // For the tests: the clock handed to every new playback thread.
  void setClock(PlaybackClock* clock) { clock_ = clock; }

  // For the window's destructor: disconnects the thread, asks it to stop and
  // waits at most waitMs. A thread that stopped is deleted; one that did not
  // is left to end and delete itself, so the caller never waits longer.
  void shutdown(int waitMs = kShutdownWaitMs);

 public slots:
  // Ignored for an empty or missing file, while one plays or while a stop is
  // pending. True when playback started.
  bool start(const QString& path);
  // Ends a running playback early; it finishes through the usual path.
  void requestStop();

 signals:
  // Before playback: pause the live picture (ImageProThread::ReceivePause,
  // queued) - true before, false after.
  void livePauseRequested(bool pause);
  // The surface is up: hide the page stack, the overlay, the flash and the toast.
  void playbackStarted(const QString& path);
  // The surface is gone: show the page stack and the overlay (raised) and
  // re-apply the current page's state. The live picture resumes right after.
  void playbackFinished();

 private:
  void onFinished();

  QPointer<QWidget> surfaceParent_;
  PlaybackSurface* surface_ = nullptr;
  VideoPlayThread* thread_ = nullptr;
  bool stopping_ = false;
  QString path_;
  int settleMs_ = kSettleMs;
  PlaybackClock* clock_ = nullptr;
};

}  // namespace gallery
