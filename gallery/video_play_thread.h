#pragma once
// Plays one recorded video full screen on the display plane that normally
// shows the live picture: demuxes and decodes it with the FFmpeg libraries,
// preferring the chip's MPP decoder (pictures straight from their dma-buf),
// else decoding in software and converting to NV12, and hands every picture
// to the display module turned by 90 degrees. No audio, no seeking.
//
// The object lives on the interface thread; only run() executes on the
// playback thread, and the two share the stop flag alone.
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <limits>

#include "platform/run_fence.h"

namespace gallery {

// Monotonic time for the frame schedule; the tests put a clock of their own in.
class PlaybackClock {
 public:
  virtual ~PlaybackClock() = default;
  virtual int64_t nowUs() = 0;
  // Returns at `deadlineUs`, or earlier once `stop` is set.
  virtual void sleepUntilUs(int64_t deadlineUs, const std::atomic<bool>& stop) = 0;
};
// std::chrono::steady_clock, sleeping in slices short enough to notice a stop.
PlaybackClock& steadyPlaybackClock();

// Frame n is due at start + n x interval, so decoding and presenting do not
// add up to a slower film. A late frame is shown at once; after a stall of
// more than a second the schedule starts again rather than racing through the
// backlog.
class FramePacer {
 public:
  static constexpr int64_t kResyncUs = 1'000'000;

  explicit FramePacer(int64_t intervalUs) : intervalUs_(intervalUs) {}
  int64_t intervalUs() const { return intervalUs_; }
  // The first frame goes out now.
  void start(int64_t nowUs) {
    startUs_ = nowUs;
    shown_ = 0;
  }
  // When the frame after the one just shown is due.
  int64_t nextDue(int64_t nowUs) {
    ++shown_;
    const int64_t due = startUs_ + shown_ * intervalUs_;
    if (nowUs - due > kResyncUs) {
      start(nowUs);
      return nowUs;
    }
    return due;
  }

 private:
  int64_t intervalUs_;
  int64_t startUs_ = 0;
  int64_t shown_ = 0;
};

// The frame interval for a stream's average frame rate num/den: 25 frames a
// second when the rate is missing or below one frame a second.
int64_t frameIntervalUs(int num, int den);

// The size of the buffer behind a hardware decoder's DRM PRIME picture: the
// width is the first plane's pitch, the height the second plane's offset over
// that pitch (its rows include the decoder's alignment). Falls back to the
// decoded size when the descriptor gives nothing usable, or a buffer smaller
// than the picture it is said to hold.
struct DrmPrimeSource {
  int width;
  int height;
};
DrmPrimeSource drmPrimeSource(int pitch, int planeCount, int64_t secondPlaneOffset, int decodedWidth,
                              int decodedHeight);

class VideoPlayThread : public QThread {
  Q_OBJECT

 public:
  // A picture on the card larger than this is not one of ours and is not
  // played (the NV12 buffer is allocated from the stream's claims).
  static constexpr int kMaxSide = 4096;

  explicit VideoPlayThread(QObject* parent = nullptr);
  // Asks the playback to stop and waits for it, however long it takes.
  ~VideoPlayThread() override;

  // The file to play. Also clears an earlier stop request, so one made after
  // start() and before run() began is not lost.
  void setPath(const QString& path);
  QString path() const;
  void requestStop() { stopRequested_.store(true); }
  bool stopRequested() const { return stopRequested_.load(); }
  // Not owned; null for the steady clock. Set before start().
  void setClock(PlaybackClock* clock) { clock_ = clock; }
  // Pictures handed to the display in this run.
  int framesShown() const { return framesShown_.load(); }
  // QThread::wait, and on success everything run() did is visible to the
  // caller (also to a thread sanitizer, which cannot see Qt's own ordering).
  bool join(unsigned long ms = std::numeric_limits<unsigned long>::max());

 signals:
  // Once per run, whether the file played to its end, was stopped or failed.
  void playFinished();

 protected:
  void run() override;

 private:
  void play(const QString& path);

  QString path_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<int> framesShown_{0};
  PlaybackClock* clock_ = nullptr;
  platform::RunFence runFence_;
};

}  // namespace gallery
