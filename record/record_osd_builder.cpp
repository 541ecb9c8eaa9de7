#include "record/record_osd_builder.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPainter>

RecordOsdBuilder::RecordOsdBuilder(QWidget* source, QObject* imageThread, QObject* parent)
    : QObject(parent),
      source_(source),
      imageThread_(imageThread),
      canvas_(kWidth, kHeight, QImage::Format_ARGB32) {
  timer_.setInterval(kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &RecordOsdBuilder::build);
  disableTimer_.setSingleShot(true);
  disableTimer_.setInterval(kDisableDelayMs);
  connect(&disableTimer_, &QTimer::timeout, this, &RecordOsdBuilder::disableRegion);
}

RecordOsdBuilder::~RecordOsdBuilder() {
  if (disableTimer_.isActive()) disableRegion();
}

void RecordOsdBuilder::start() {
  disableTimer_.stop();
  if (imageThread_)
    QMetaObject::invokeMethod(imageThread_, "ReceiveRecordOsdEnable", Qt::QueuedConnection,
                              Q_ARG(bool, true));
  build();
  timer_.start();
}

void RecordOsdBuilder::stop() {
  timer_.stop();
  // Frames sent before the stop may still wait in the encoder; disabling the
  // region now would leave the end of every recording without its overlay.
  disableTimer_.start();
}

void RecordOsdBuilder::disableRegion() {
  disableTimer_.stop();
  if (imageThread_)
    QMetaObject::invokeMethod(imageThread_, "ReceiveRecordOsdEnable", Qt::QueuedConnection,
                              Q_ARG(bool, false));
}

QByteArray RecordOsdBuilder::render() {
  if (!source_) return {};
  const QSize size = source_->size();
  if (size.isEmpty()) return {};
  if (rendered_.size() != size) rendered_ = QImage(size, QImage::Format_ARGB32);
  if (rendered_.isNull()) return {};
  // A label whose text just changed (the clock) is re-laid out only when the
  // event loop gets to it; drawn before that, it shows the new text in the old
  // width, cut off.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  rendered_.fill(Qt::transparent);
  source_->render(&rendered_, QPoint(0, 0), QRegion(QRect(QPoint(0, 0), size)),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);

  canvas_.fill(Qt::transparent);
  {
    QPainter p(&canvas_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    if (size == QSize(360, 320))
      p.drawImage(0, 0, rendered_);
    else
      p.drawImage(QRect(0, 0, kWidth, kHeight), rendered_, rendered_.rect());
  }
  // 0xAARRGGBB words to R, G, B, A bytes, not premultiplied.
  const QImage rgba = canvas_.convertToFormat(QImage::Format_RGBA8888);
  QByteArray bytes(kWidth * kHeight * 4, Qt::Uninitialized);
  for (int y = 0; y < kHeight; ++y)
    memcpy(bytes.data() + y * kWidth * 4, rgba.constScanLine(y), kWidth * 4);
  return bytes;
}

void RecordOsdBuilder::build() {
  if (!imageThread_) return;
  const QByteArray bytes = render();
  if (bytes.isEmpty()) return;
  QMetaObject::invokeMethod(imageThread_, "ReceiveRecordOsdBitmap", Qt::QueuedConnection,
                            Q_ARG(QByteArray, bytes), Q_ARG(int, kWidth), Q_ARG(int, kHeight));
}
