#include "record/recorder.h"

#include "imaging/image_pro_thread.h"
#include "record/record_osd_builder.h"
#include "record/save_video_thread.h"

Recorder::Recorder(QWidget* interfaceRoot, ImageProThread* imageThread, QObject* parent)
    : QObject(parent),
      imageThread_(imageThread),
      writer_(new SaveVideoThread()),
      overlay_(new RecordOsdBuilder(interfaceRoot, imageThread, this)) {
  if (imageThread_) {
    connect(writer_, &SaveVideoThread::send_to_videoenc, imageThread_,
            &ImageProThread::ReceiveVideoEnc, Qt::QueuedConnection);
    connect(imageThread_, &ImageProThread::firstVideoFrameJpeg, writer_,
            &SaveVideoThread::ReceiveFirstFrameJpeg, Qt::QueuedConnection);
    // Direct: the stop report must reach the writer before the next
    // recording's first frame can.
    connect(imageThread_, &ImageProThread::videoFeedStopped, writer_,
            &SaveVideoThread::ReceiveFeedStopped, Qt::DirectConnection);
  }
  connect(writer_, &SaveVideoThread::recordingWriteFailed, this, &Recorder::writeFailed);
  connect(writer_, &SaveVideoThread::recordingClosed, this, &Recorder::closed);
  clock_.setInterval(1000);
  connect(&clock_, &QTimer::timeout, this, [this] {
    ++elapsed_;
    emit clockChanged(elapsed_ % 2 == 0, elapsed_ / 60, elapsed_ % 60);
  });
  writer_->start(QThread::InheritPriority);
}

Recorder::~Recorder() {
  finish(kFinishWaitMs);
  writer_->Stop();
  delete writer_;
}

void Recorder::setRecording(bool on) {
  if (on == recording_) return;
  recording_ = on;
  QMetaObject::invokeMethod(writer_, "ReceiveSaveVideo", Qt::QueuedConnection, Q_ARG(bool, on));
  if (on) {
    elapsed_ = 0;
    clock_.start();
    emit clockChanged(true, 0, 0);
    overlay_->start();
  } else {
    clock_.stop();
    overlay_->stop();
  }
}

bool Recorder::closing() const { return writer_->isClosing(); }

bool Recorder::finish(int ms) {
  if (recording_) {
    recording_ = false;
    clock_.stop();
    overlay_->stop();
  }
  // Direct calls: the feed goes off now and its stop report reaches the
  // writer, which can then drain and close without the event loop.
  writer_->ReceiveSaveVideo(false);
  if (imageThread_) imageThread_->ReceiveVideoEnc(false);
  return writer_->waitUntilClosed(ms);
}

void Recorder::resetVideoCounter() { writer_->ResetVideoFileNum(); }
