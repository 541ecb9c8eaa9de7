#include "record/photo_capture.h"

#include <QDir>
#include <QFile>
#include <QWidget>
#include <cstring>

#include "platform/card_write.h"
#include "platform/paths.h"
#include "platform/settings_file.h"

namespace {
constexpr const char* kPictureDir = "/mnt/sdcard/picture";
constexpr int kLastNumber = 10000;
}

PhotoCapture::PhotoCapture(QWidget* interfaceRoot, QObject* imageThread, QObject* parent)
    : QObject(parent), root_(interfaceRoot), imageThread_(imageThread) {
  if (imageThread_)
    connect(imageThread_, SIGNAL(photoSaved(QString, bool)), this, SIGNAL(saved(QString, bool)));
}

QImage PhotoCapture::renderInterface() const {
  QImage image(root_->size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  // Hidden and shown again within this call, so the screen never sees it go.
  QList<QWidget*> hidden;
  for (QWidget* w : feedback_)
    if (w && w->isVisible()) {
      w->hide();
      hidden << w;
    }
  root_->render(&image, QPoint(0, 0), QRegion(),
                QWidget::DrawWindowBackground | QWidget::DrawChildren);
  for (QWidget* w : hidden) w->show();
  if (image.size() != QSize(kWidth, kHeight))
    image = image.scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .convertToFormat(QImage::Format_ARGB32);
  return image;
}

int PhotoCapture::takePictureNumber() {
  // After 10000 the numbers start again at 0. A stored counter outside
  // 0..10000 (a hand-edited file) starts again the same way: pic_-4.jpg is no
  // name of ours, and INT_MAX + 1 no number at all.
  const int stored = settings::readPictureFileNum();
  int number = stored >= 0 && stored < 10000 ? stored + 1 : 0;
  // A number whose name is in use (fresh settings with a card full of
  // photos, the next round of numbers) is skipped: a photo never replaces
  // one. Anything at the name counts, a link included.
  for (int tries = 0; tries <= kLastNumber; ++tries) {
    const QByteArray name = QFile::encodeName(platform::qpath(picturePath(number)));
    if (!platform::cardNameInUse(name.constData())) break;
    number = number >= kLastNumber ? 0 : number + 1;
  }
  settings::writePictureFileNum(number);
  return number;
}

QString PhotoCapture::picturePath(int number) {
  return QStringLiteral("%1/pic_%2.jpg").arg(QLatin1String(kPictureDir)).arg(number);
}

bool PhotoCapture::take() {
  if (!imageThread_) return false;
  // Bytes R, G, B, A, not premultiplied: exactly RGBA8888.
  const QImage rgba = renderInterface().convertToFormat(QImage::Format_RGBA8888);
  QByteArray bytes(kWidth * kHeight * 4, Qt::Uninitialized);
  for (int y = 0; y < kHeight; ++y)
    std::memcpy(bytes.data() + y * kWidth * 4, rgba.constScanLine(y), kWidth * 4);
  QDir().mkpath(platform::qpath(QString::fromLatin1(kPictureDir)));
  const QString path = picturePath(takePictureNumber());
  QMetaObject::invokeMethod(imageThread_, "ReceiveSavePhotoWithOsd", Qt::QueuedConnection,
                            Q_ARG(QString, path), Q_ARG(QByteArray, bytes), Q_ARG(int, kWidth),
                            Q_ARG(int, kHeight));
  return true;
}
