#pragma once
// A recording as the window sees it: one switch. Behind it the video writer
// (its own threads), the overlay picture burned into every frame and the
// clock of the home page's REC line. The window only says when a recording
// runs, shows the clock and reacts to a card that stopped taking the video.
#include <QObject>
#include <QString>
#include <QTimer>

class ImageProThread;
class QWidget;
class RecordOsdBuilder;
class SaveVideoThread;

class Recorder : public QObject {
  Q_OBJECT
 public:
  // `interfaceRoot`: the widget whose picture is burned in. The writer is
  // created, connected to the image thread and started here; raw streams
  // left on the card are recovered by it in the background.
  Recorder(QWidget* interfaceRoot, ImageProThread* imageThread, QObject* parent = nullptr);
  // Finishes what is being recorded or closed (bounded), then ends the writer.
  ~Recorder() override;

  // Starts or stops a recording; nothing when it is already so.
  void setRecording(bool on);
  bool recording() const { return recording_; }
  // A stopped recording is still being written, remuxed or synced.
  bool closing() const;
  bool busy() const { return recording_ || closing(); }
  // Stops a recording at once and waits until every recording is closed on
  // the card, at most `ms`; true when all are.
  bool finish(int ms);
  // All media were deleted: the next video is video_1.
  void resetVideoCounter();

  SaveVideoThread* writer() const { return writer_; }

  // Time the window's destruction and a factory reset give the writer.
  static constexpr int kFinishWaitMs = 30000;

 signals:
  // Once a second while recording: the REC line's dot and clock.
  void clockChanged(bool blinkOn, int minutes, int seconds);
  // The card stopped taking the video; the recording has been stopped and
  // what was written is being closed.
  void writeFailed();
  // A recording is on the card: the MP4 when playable, else its raw stream.
  void closed(QString path, bool playable);

 private:
  ImageProThread* imageThread_;
  SaveVideoThread* writer_;
  RecordOsdBuilder* overlay_;
  QTimer clock_;
  int elapsed_ = 0;
  bool recording_ = false;
};
