#include "gallery/playback_controller.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <cstdlib>

#include "platform/diag.h"

namespace gallery {

namespace {
constexpr int kSwipeMin = 50;
constexpr int kSwipeDominance = 16;
}  // namespace

PlaybackSurface::PlaybackSurface(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setStyleSheet(QStringLiteral("background:transparent;"));
  if (parent) {
    setGeometry(parent->rect());
    parent->installEventFilter(this);
  }
  hide();
}

bool PlaybackSurface::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
    setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

bool PlaybackSurface::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() == Qt::LeftButton) {
        armed_ = true;
        press_ = me->globalPos();
      }
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() != Qt::LeftButton || !armed_) return true;
      armed_ = false;
      const int dx = me->globalPos().x() - press_.x();
      const int dy = me->globalPos().y() - press_.y();
      if (dy < 0 && std::abs(dy) >= kSwipeMin && std::abs(dy) - std::abs(dx) >= kSwipeDominance)
        emit stopRequested();
      return true;
    }
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return true;
    default:
      return QWidget::event(event);
  }
}

PlaybackController::PlaybackController(QWidget* surfaceParent, QObject* parent)
    : QObject(parent), surfaceParent_(surfaceParent) {}

PlaybackController::~PlaybackController() { shutdown(); }

bool PlaybackController::start(const QString& path) {
  if (path.isEmpty() || !QFileInfo::exists(path) || thread_ || stopping_) return false;
  emit livePauseRequested(true);
  if (settleMs_ > 0) QThread::msleep(static_cast<unsigned long>(settleMs_));

  thread_ = new VideoPlayThread(this);
  thread_->setPath(path);
  thread_->setClock(clock_);
  connect(thread_, &VideoPlayThread::playFinished, this, &PlaybackController::onFinished,
          Qt::QueuedConnection);

  if (!surface_ && surfaceParent_) {
    surface_ = new PlaybackSurface(surfaceParent_);
    connect(surface_, &PlaybackSurface::stopRequested, this, &PlaybackController::requestStop);
  }
  path_ = path;
  emit playbackStarted(path);
  if (surface_) {
    surface_->setGeometry(surfaceParent_->rect());
    surface_->raise();
    surface_->show();
  }
  thread_->start(QThread::InheritPriority);
  return true;
}

void PlaybackController::requestStop() {
  if (!thread_ || stopping_) return;
  stopping_ = true;
  thread_->requestStop();
}

void PlaybackController::onFinished() {
  // The thread is gone before anyone hears of the end: a listener that asks
  // for a stop (a page change) must find nothing left to stop, or the stop
  // would stay pending and refuse every later start.
  if (thread_) {
    thread_->join();
    thread_->deleteLater();
    thread_ = nullptr;
  }
  stopping_ = false;
  path_.clear();
  if (surface_) surface_->hide();
  emit playbackFinished();
  emit livePauseRequested(false);
}

void PlaybackController::shutdown(int waitMs) {
  if (!thread_) return;
  thread_->disconnect(this);
  thread_->requestStop();
  if (thread_->join(static_cast<unsigned long>(waitMs))) {
    delete thread_;
  } else {
    // Stuck where a stop cannot reach it (a read of a card that no longer
    // answers): waiting on would hold up the whole shutdown. The thread ends
    // and deletes itself when the read returns. Only a stuck thread gets the
    // connection: a finished() with a receiver is still running Qt's code on
    // the thread when wait() has already returned.
    diag::warning(diag::kPlayback, "%s did not stop within %d ms; left to end by itself",
                  QFile::encodeName(path_).constData(), waitMs);
    thread_->setParent(nullptr);
    // Queued, so it is dropped if the thread is deleted here instead.
    connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
    // It may have ended before the connection could hear it.
    if (thread_->join(0)) delete thread_;
  }
  thread_ = nullptr;
  stopping_ = false;
  path_.clear();
}

}  // namespace gallery
