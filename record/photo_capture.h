#pragma once
// A photo as the user sees the screen: the interface rendered to 360 x 320
// RGBA (transparent where the picture shows through), numbered on the card,
// and handed to the image thread, which lays it over the frame on screen and
// writes the JPEG. The result comes back through saved().
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

class QWidget;

class PhotoCapture : public QObject {
  Q_OBJECT
 public:
  static constexpr int kWidth = 360;
  static constexpr int kHeight = 320;

  // `interfaceRoot`: the widget whose tree is the interface. `imageThread`:
  // the object with the slot ReceiveSavePhotoWithOsd(QString, QByteArray,
  // int, int) and the signal photoSaved(QString, bool).
  PhotoCapture(QWidget* interfaceRoot, QObject* imageThread, QObject* parent = nullptr);

  // Widgets that are feedback, not scene (the previous photo's toast and
  // flash): hidden while the interface is rendered.
  void setFeedbackWidgets(const QList<QWidget*>& widgets) { feedback_ = widgets; }

  QImage renderInterface() const;
  // Renders, takes the next number and hands both over; false without an
  // image thread.
  bool take();

  // The next photo number: the stored counter plus one, 0 after 10000,
  // past any number whose name is in use on the card; written back at once.
  static int takePictureNumber();
  static QString picturePath(int number);

 signals:
  void saved(QString path, bool ok);

 private:
  QWidget* root_;
  QObject* imageThread_;
  QList<QWidget*> feedback_;
};
