#include "record/save_video_thread.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/card_write.h"
#include "platform/diag.h"
#include "platform/media/rk_mpi.h"
#include "platform/paths.h"
#include "platform/settings_file.h"
#include "record/video_closer.h"

namespace {

constexpr int kLastNumber = 3001;  // video_3001 is followed by video_1
// A stopped recording whose feed never says it has stopped (no image thread,
// or one that is stuck) is closed after this long all the same.
constexpr int64_t kFeedStopTimeoutMs = 2000;
// A running recording is flushed to the card this often, so a battery pulled
// mid-recording costs at most about this much of it.
constexpr int64_t kFlushEveryMs = 1000;

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool beginsWithSps(const uint8_t* p, uint32_t len) {
  return len >= 5 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1 && (p[4] & 0x1F) == 7;
}

QString rawPathOf(int n) {
  return QString::fromLatin1(record::kVideoDir) + QStringLiteral("video_%1.h264").arg(n);
}

// Anything at the name counts, a link included (whether or not it leads
// anywhere): the number is not ours to use.
bool nameTaken(int n) {
  const QString raw = rawPathOf(n);
  for (const QString& name : {raw, record::mp4PathFor(raw)})
    if (platform::cardNameInUse(QFile::encodeName(platform::qpath(name)).constData())) return true;
  return false;
}

}  // namespace

SaveVideoThread::SaveVideoThread() : QThread(nullptr) {
  QDir().mkpath(platform::qpath(QString::fromLatin1(record::kVideoDir)));
  videoFileNum_ = settings::readVideoFileNum();
  // A stored counter outside 0..3000 (a hand-edited file) starts again at 0:
  // video_-2.mp4 is no name of ours, and INT_MAX + 1 no number at all.
  if (videoFileNum_ < 0 || videoFileNum_ > 3000) videoFileNum_ = 0;
  // What an earlier run left on the card is finished before anything new;
  // a remux cut short is done again from its raw stream.
  record::removeStaleRemuxes();
  for (const QString& raw : record::rawStreamsOnCard()) {
    CloseJob job;
    job.leftover = raw;
    closeJobs_.push_back(std::move(job));
  }
  closer_ = std::thread([this] { closerLoop(); });
}

SaveVideoThread::~SaveVideoThread() {
  if (closer_.joinable()) Stop();
}

void SaveVideoThread::Stop() {
  requestInterruption();
  quit();
  wait();
  {
    // The loop never ran, or ended early: nothing else will close these.
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_) stopActiveLocked();
    if (draining_) closeDrainingLocked();
  }
  {
    std::lock_guard<std::mutex> lock(closeMutex_);
    closerQuit_ = true;
  }
  closeCv_.notify_all();
  if (closer_.joinable()) closer_.join();
}

void SaveVideoThread::ResetVideoFileNum() {
  std::lock_guard<std::mutex> lock(mutex_);
  videoFileNum_ = 0;
  settings::writeVideoFileNum(0);
}

int SaveVideoThread::videoFileNum() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return videoFileNum_;
}

bool SaveVideoThread::isRecording() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return active_.has_value();
}

bool SaveVideoThread::isClosing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::lock_guard<std::mutex> lock2(closeMutex_);
  if (draining_ || closeBusy_) return true;
  for (const CloseJob& job : closeJobs_)
    if (!job.syncFd.valid()) return true;
  return false;
}

bool SaveVideoThread::waitUntilClosed(int ms) const {
  const int64_t deadline = nowMs() + ms;
  while (isClosing()) {
    if (nowMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// ------------------------------------------------------------------ slots

void SaveVideoThread::ReceiveSaveVideo(bool isSave) {
  if (!isSave) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (active_) stopActiveLocked();
    }
    emit send_to_videoenc(false);
    return;
  }

  bool hadActive = false;
  bool created = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_) {
      // A second start: the open recording is closed like any other.
      stopActiveLocked();
      hadActive = true;
    }
    QDir().mkpath(platform::qpath(QString::fromLatin1(record::kVideoDir)));
    // A number whose raw stream or video is still on the card (a recording
    // to recover, or the earlier round of numbers) is skipped, never reused.
    int n = videoFileNum_;
    for (int tries = 0; tries < kLastNumber; ++tries) {
      n = n + 1 > kLastNumber ? 1 : n + 1;
      if (!nameTaken(n)) break;
    }
    const QString raw = rawPathOf(n);
    const int fd = platform::cardCreate(QFile::encodeName(platform::qpath(raw)).constData());
    if (fd < 0) {
      diag::out("ERROR: Create video file failed!\n");
      diag::warning(diag::kRecording, "%s: %s", QFile::encodeName(raw).constData(), std::strerror(errno));
    } else {
      videoFileNum_ = n > 3000 ? 0 : n;
      settings::writeVideoFileNum(videoFileNum_);
      Recording rec;
      rec.fd.reset(fd);
      rec.rawPath = raw;
      active_ = std::move(rec);
      created = true;
    }
  }
  if (hadActive) emit send_to_videoenc(false);
  if (created) {
    emit send_to_videoenc(true);
  } else {
    // The state on screen says recording; nothing is: the window is told.
    emit recordingWriteFailed();
  }
}

void SaveVideoThread::ReceiveFirstFrameJpeg(QByteArray jpeg) {
  if (jpeg.isEmpty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // A recording stopped before its first frame's JPEG came in still gets it,
  // unless its feed is known to have sent nothing: then it is the next one's.
  if (draining_ && draining_->jpeg.isEmpty() && (!feedStopped_ || feedLastPts_ > 0))
    draining_->jpeg = jpeg;
  else if (active_ && active_->jpeg.isEmpty())
    active_->jpeg = jpeg;
}

void SaveVideoThread::ReceiveFeedStopped(quint64 lastPts) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!draining_ || feedStopped_) return;
  feedStopped_ = true;
  feedLastPts_ = lastPts;
}

// ------------------------------------------------------------------ state (mutex_ held)

void SaveVideoThread::stopActiveLocked() {
  if (draining_) closeDrainingLocked();  // the one before has had its time
  draining_ = std::move(active_);
  active_.reset();
  feedStopped_ = false;
  feedLastPts_ = 0;
  drainStartMs_ = nowMs();
}

void SaveVideoThread::closeDrainingLocked() {
  if (!draining_) return;
  CloseJob job;
  job.rec = std::move(draining_);
  draining_.reset();
  {
    std::lock_guard<std::mutex> lock(closeMutex_);
    closeJobs_.push_back(std::move(job));
  }
  closeCv_.notify_all();
}

// The flush runs on the closing thread: a slow card must not hold up the
// packets. It works on a copy of the descriptor, which the writer may close
// meanwhile without the number going to another file.
void SaveVideoThread::flushSoonLocked(Recording& rec) {
  const int64_t now = nowMs();
  if (rec.syncedAtMs == 0) rec.syncedAtMs = now;
  if (now - rec.syncedAtMs < kFlushEveryMs) return;
  std::lock_guard<std::mutex> lock(closeMutex_);
  if (flushPending_) return;
  platform::UniqueFd fd(::fcntl(rec.fd.get(), F_DUPFD_CLOEXEC, 0));
  if (!fd.valid()) return;
  rec.syncedAtMs = now;
  flushPending_ = true;
  CloseJob job;
  job.syncFd = std::move(fd);
  closeJobs_.push_back(std::move(job));
  closeCv_.notify_all();
}

bool SaveVideoThread::drainingCompleteLocked() const {
  if (!draining_) return false;
  if (feedStopped_) return draining_->lastPts >= feedLastPts_;
  return nowMs() - drainStartMs_ > kFeedStopTimeoutMs;
}

// Gives one packet to the recording it belongs to. Within a recording the
// time stamps rise; the feed starts every recording again from one frame
// time. So while a stopped recording drains, a packet that does not rise
// above its last one, or lies beyond the last frame its feed sent, is the
// first of the next recording, and the stopped one is complete.
bool SaveVideoThread::routePacketLocked(const uint8_t* data, uint32_t len, uint64_t pts,
                                        bool* failed) {
  Recording* to = nullptr;
  if (draining_) {
    const bool next = (draining_->lastPts != 0 && pts <= draining_->lastPts) ||
                      (feedStopped_ && pts > feedLastPts_);
    if (next)
      closeDrainingLocked();
    else
      to = &*draining_;
  }
  if (!to && active_) to = &*active_;
  if (!to) return false;
  const bool toDraining = draining_ && to == &*draining_;
  to->lastPts = pts;
  bool written = false;
  if (to->fd.valid()) {
    if (!to->headerSeen && beginsWithSps(data, len)) to->headerSeen = true;
    if (to->headerSeen) {
      if (platform::cardWrite(to->fd.get(), data, len) < 0) {
        const int e = errno;
        diag::warning(diag::kRecording, "writing %s failed: %s; the recording stops",
                   QFile::encodeName(to->rawPath).constData(), std::strerror(e));
        // The whole packets in the file stay; the part of this one that went
        // in is cut off again, or the video's last frame would not decode.
        // Nothing more is written to it.
        if (::ftruncate(to->fd.get(), static_cast<off_t>(to->bytes)) != 0)
          diag::warning(diag::kRecording, "cannot cut %s back to its last whole packet: %s",
                     QFile::encodeName(to->rawPath).constData(), std::strerror(errno));
        ::fdatasync(to->fd.get());
        to->fd.reset();
        if (!toDraining) {
          stopActiveLocked();
          *failed = true;
        }
      } else {
        to->bytes += len;
        written = true;
        if (!toDraining) flushSoonLocked(*to);
      }
    }
  }
  if (draining_ && feedStopped_ && draining_->lastPts >= feedLastPts_) closeDrainingLocked();
  return written;
}

// ------------------------------------------------------------------ threads

void SaveVideoThread::run() {
  // One packet record for the life of the loop.
  std::unique_ptr<VENC_PACK_S> pack(new VENC_PACK_S{});
  VENC_STREAM_S stream;
  std::memset(&stream, 0, sizeof stream);
  stream.pstPack = pack.get();

  for (;;) {
    const bool interrupted = isInterruptionRequested();
    bool pull = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (interrupted && active_) stopActiveLocked();
      if (drainingCompleteLocked()) closeDrainingLocked();
      pull = active_ || draining_;
    }
    if (!pull) {
      if (interrupted) break;
      msleep(3);
      continue;
    }

    if (RK_MPI_VENC_GetStream(0, &stream, 200) != RK_SUCCESS) {
      // Nothing came: once its feed has stopped and the encoder holds
      // nothing more, a stopped recording is complete.
      std::lock_guard<std::mutex> lock(mutex_);
      if (draining_ && feedStopped_) {
        VENC_CHN_STATUS_S st;
        if (RK_MPI_VENC_QueryStatus(0, &st) != RK_SUCCESS ||
            (st.u32LeftPics == 0 && st.u32LeftStreamFrames == 0))
          closeDrainingLocked();
      }
      msleep(3);
      continue;
    }
    bool failed = false;
    if (auto* base = static_cast<const uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack->pMbBlk))) {
      std::lock_guard<std::mutex> lock(mutex_);
      routePacketLocked(base + pack->u32Offset, pack->u32Len, pack->u64PTS, &failed);
    }
    RK_MPI_VENC_ReleaseStream(0, &stream);
    if (failed) {
      emit send_to_videoenc(false);
      emit recordingWriteFailed();
    }
  }
}

void SaveVideoThread::closerLoop() {
  for (;;) {
    CloseJob job;
    {
      std::unique_lock<std::mutex> lock(closeMutex_);
      closeCv_.wait(lock, [this] { return closerQuit_ || !closeJobs_.empty(); });
      if (closeJobs_.empty()) return;
      job = std::move(closeJobs_.front());
      closeJobs_.pop_front();
      closeBusy_ = !job.syncFd.valid();
    }
    if (job.syncFd.valid()) {
      ::fdatasync(job.syncFd.get());
      job.syncFd.reset();
      std::lock_guard<std::mutex> lock(closeMutex_);
      flushPending_ = false;
      continue;
    }
    if (job.rec) {
      closeRecording(std::move(*job.rec));
    } else {
      const bool ok = record::finishRawStream(job.leftover, QByteArray(), true);
      emit recordingClosed(ok ? record::mp4PathFor(job.leftover) : job.leftover, ok);
    }
    {
      std::lock_guard<std::mutex> lock(closeMutex_);
      closeBusy_ = false;
    }
    closeCv_.notify_all();
  }
}

void SaveVideoThread::closeRecording(Recording rec) {
  if (rec.fd.valid()) {
    // On the card before the remux reads it: a power cut from here on leaves
    // a raw stream that the next start recovers.
    if (::fdatasync(rec.fd.get()) != 0)
      diag::warning(diag::kRecording, "fdatasync %s: %s", QFile::encodeName(rec.rawPath).constData(),
                 std::strerror(errno));
    rec.fd.reset();
  }
  diag::out("save video: closed %s, bytes=%ld\n", QFile::encodeName(rec.rawPath).constData(),
              static_cast<long>(rec.bytes));
  const bool ok = record::finishRawStream(rec.rawPath, rec.jpeg, false);
  emit recordingClosed(ok ? record::mp4PathFor(rec.rawPath) : rec.rawPath, ok);
}
