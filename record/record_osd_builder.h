#pragma once
// The recording overlay's picture: while a recording runs, the interface as
// it stands (reticle, status icons, clock) is rendered five times a second
// into a transparent 368 x 320 RGBA picture and handed to the image thread,
// which lays it over every encoded frame. Without it a recording would show
// the bare thermal picture, since the encoder sees only the display plane.
#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class RecordOsdBuilder : public QObject {
  Q_OBJECT

 public:
  static constexpr int kWidth = 368;
  static constexpr int kHeight = 320;
  static constexpr int kIntervalMs = 200;
  // Far longer than the encoder takes for the few frames it may still hold.
  static constexpr int kDisableDelayMs = 1000;

  // `source`: the widget whose picture is recorded (the window's central
  // widget). `imageThread`: the object with the slots ReceiveRecordOsdEnable
  // (bool) and ReceiveRecordOsdBitmap(QByteArray, int, int), invoked queued.
  // Either may be null or go away; the builder then does nothing.
  RecordOsdBuilder(QWidget* source, QObject* imageThread, QObject* parent = nullptr);
  ~RecordOsdBuilder() override;

  // Enables the region, sends the first picture at once (after the enable),
  // and every 200 ms from then on.
  void start();
  // Stops the pictures; the region is disabled a moment later, once the
  // frames still inside the encoder have been blended with the last picture
  // (a start before then keeps it).
  void stop();
  bool running() const { return timer_.isActive(); }

  // The picture as sent: R, G, B, A bytes, rows of 368 pixels, top row
  // first. A source of exactly 360 x 320 lands pixel for pixel with the 8
  // right-most columns transparent; any other size is stretched over all of
  // it. Empty without a source.
  QByteArray render();

 public slots:
  // Renders and sends one picture.
  void build();

 private slots:
  void disableRegion();

 private:
  QPointer<QWidget> source_;
  QPointer<QObject> imageThread_;
  QTimer timer_;
  QTimer disableTimer_;
  QImage rendered_;  // kept between pictures: no allocation while the size holds
  QImage canvas_;
};
