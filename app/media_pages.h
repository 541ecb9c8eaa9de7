#pragma once
// The photo and video galleries, the media library behind them and video
// playback on the panel. Routed here; the window lends the live picture's
// pause, hides its interface while a film runs and hears of the rest.
#include <QObject>

class ImageProThread;
class QWidget;
namespace gallery {
class GalleryPage;
class MediaLibrary;
class PlaybackController;
}  // namespace gallery

class MediaPages : public QObject {
  Q_OBJECT
 public:
  // Pages are children of `parent`; the playback surface covers `screen`
  // (the window's central widget).
  MediaPages(QWidget* parent, QWidget* screen, double uiScale);

  QWidget* page(int index) const;
  // The live picture pauses (directly, before the settle time starts) while
  // a video plays; the photo counter follows a delete-all.
  void setImageThread(ImageProThread* imageThread) { imageThread_ = imageThread; }

  // The stack moved from page `previous` to `current`: playback ends, a
  // gallery left behind starts from its newest item next time.
  void pageChanged(int previous, int current);
  // Rebuilds the list of the gallery on page `current`, if it is one (the
  // card may have changed); a gallery not on screen is rebuilt when it is.
  void refresh(int current);
  // Every photo and video goes, counters reset.
  void deleteAll();
  // Stops playback and waits at most `ms` for its thread.
  void shutdown(int ms);

  gallery::MediaLibrary* library() const { return library_; }
  gallery::PlaybackController* playback() const { return playback_; }

 signals:
  void backToMenuRequested();
  void playbackStarted();
  void playbackFinished();

 private:
  ImageProThread* imageThread_ = nullptr;
  gallery::GalleryPage* photos_;
  gallery::GalleryPage* videos_;
  gallery::MediaLibrary* library_;
  gallery::PlaybackController* playback_;
};
