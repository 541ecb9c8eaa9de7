#pragma once
// The video writer: pulls the encoder's H.264 packets into the raw stream
// file of the running recording and, once it stops, has the file turned into
// the finished MP4 with its thumbnail.
//
// The object lives on the interface thread (its slots run there); run() pulls
// packets on the worker, and a second thread of its own closes recordings
// (drain, remux, thumbnail, sync) so the next recording is never kept waiting
// by the last one's remux. Raw streams found on the card at construction are
// closed there too, in the background.
#include <QByteArray>
#include <QString>
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/unique_fd.h"

class SaveVideoThread : public QThread {
  Q_OBJECT

 public:
  SaveVideoThread();
  ~SaveVideoThread() override;

  // Ends a running recording, closes every recording still being closed and
  // ends both threads. Waits without limit (the closing is bounded by the
  // remux's own attempts).
  void Stop();

  // Under the mutex: the counter back to 0, saved (all media were deleted).
  void ResetVideoFileNum();
  int videoFileNum() const;

  bool isRecording() const;
  // A stopped recording (or one found on the card) is still being drained,
  // remuxed or given its thumbnail.
  bool isClosing() const;
  // Waits up to `ms` for isClosing() to become false; true when it did.
  // Does not handle events: call it only once the image thread's feed is off
  // (see videoFeedStopped), or packets are drained by the time-out alone.
  bool waitUntilClosed(int ms) const;

 signals:
  void send_to_videoenc(bool isEnc);
  // A recording could not go on (the card is full, gone or read-only): it
  // has been stopped as if the user had stopped it, and what was written is
  // being closed. The window clears its recording state and shows the toast.
  void recordingWriteFailed();
  // A recording (or a raw stream found at start-up) is closed: `path` is the
  // MP4 when `playable`, else the raw stream that stays on the card.
  void recordingClosed(QString path, bool playable);

 public slots:
  void ReceiveSaveVideo(bool isSave);
  void ReceiveFirstFrameJpeg(QByteArray jpeg);
  // From the image thread's videoFeedStopped, connected directly.
  void ReceiveFeedStopped(quint64 lastPts);

 protected:
  void run() override;

 private:
  struct Recording {
    platform::UniqueFd fd;
    QString rawPath;  // board path
    bool headerSeen = false;
    uint64_t lastPts = 0;  // of the last packet given to this recording
    int64_t bytes = 0;
    int64_t syncedAtMs = 0;  // when the last flush to the card was asked for
    QByteArray jpeg;
  };
  struct CloseJob {
    std::optional<Recording> rec;  // a recording of this run
    QString leftover;              // or a raw stream found at start-up
    platform::UniqueFd syncFd;     // or a copy of a running recording's descriptor to flush
  };

  // mutex_ held for all of these.
  void stopActiveLocked();
  void closeDrainingLocked();
  void flushSoonLocked(Recording& rec);
  bool drainingCompleteLocked() const;
  bool routePacketLocked(const uint8_t* data, uint32_t len, uint64_t pts, bool* failed);

  void closerLoop();
  void closeRecording(Recording rec);

  mutable std::mutex mutex_;
  std::optional<Recording> active_;
  std::optional<Recording> draining_;  // stopped, its last packets still coming
  bool feedStopped_ = false;           // the feed's stop for draining_ has been seen
  uint64_t feedLastPts_ = 0;
  int64_t drainStartMs_ = 0;
  int videoFileNum_ = 0;

  mutable std::mutex closeMutex_;
  mutable std::condition_variable closeCv_;
  std::deque<CloseJob> closeJobs_;
  bool closeBusy_ = false;    // a close job (not a flush) is being worked on
  bool flushPending_ = false;
  bool closerQuit_ = false;
  std::thread closer_;
};
