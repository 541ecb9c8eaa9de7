#include "app/media_pages.h"

#include "app/page_table.h"
#include "gallery/gallery_page.h"
#include "gallery/media_library.h"
#include "gallery/playback_controller.h"
#include "imaging/image_pro_thread.h"

MediaPages::MediaPages(QWidget* parent, QWidget* screen, double uiScale)
    : QObject(parent),
      photos_(new gallery::GalleryPage(gallery::MediaKind::Photo, parent, uiScale)),
      videos_(new gallery::GalleryPage(gallery::MediaKind::Video, parent, uiScale)),
      library_(new gallery::MediaLibrary(this)),
      playback_(new gallery::PlaybackController(screen, this)) {
  for (gallery::GalleryPage* g : {photos_, videos_}) {
    connect(g, &UiPage::backToMenuRequested, this, &MediaPages::backToMenuRequested);
    connect(library_, &gallery::MediaLibrary::mediaCleared, g,
            &gallery::GalleryPage::onMediaCleared);
  }
  connect(library_, &gallery::MediaLibrary::photoCounterReset, this, [this] {
    if (imageThread_) imageThread_->ResetPictureFileNum();
  });
  connect(videos_, &gallery::GalleryPage::playRequested, playback_,
          &gallery::PlaybackController::start);
  connect(playback_, &gallery::PlaybackController::playbackStarted, this,
          &MediaPages::playbackStarted);
  connect(playback_, &gallery::PlaybackController::playbackFinished, this,
          &MediaPages::playbackFinished);
  // Direct: the pause must be in force before the settle time starts.
  connect(playback_, &gallery::PlaybackController::livePauseRequested, this, [this](bool pause) {
    if (imageThread_) imageThread_->ReceivePause(pause);
  });
}

QWidget* MediaPages::page(int index) const {
  if (index == Pages::kPhotoGalleryPage) return photos_;
  if (index == Pages::kVideoGalleryPage) return videos_;
  return nullptr;
}

void MediaPages::pageChanged(int previous, int current) {
  playback_->requestStop();
  if (previous == current) return;
  if (previous == Pages::kPhotoGalleryPage) photos_->resetSelection();
  if (previous == Pages::kVideoGalleryPage) videos_->resetSelection();
}

void MediaPages::refresh(int current) {
  if (current == Pages::kPhotoGalleryPage) photos_->refresh();
  if (current == Pages::kVideoGalleryPage) videos_->refresh();
}

void MediaPages::deleteAll() { library_->deleteAll(); }

void MediaPages::shutdown(int ms) { playback_->shutdown(ms); }
