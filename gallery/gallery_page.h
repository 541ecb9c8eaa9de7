#pragma once
// The photo gallery and the video gallery: the card's media as a three-slot
// carousel (the current item large in the middle, its neighbours small on
// either side), a position counter, the file name and a delete button; for
// photos also a full-screen viewer. The page keeps its own list and reports
// what only the window can do (play a video, open the menu) by signal.
//
// Gestures on the page and every widget in it: a horizontal swipe steps the
// carousel (or the viewer), a swipe up opens the menu (or leaves the viewer),
// a tap on the viewer leaves it.
#include <QIcon>
#include <QImage>
#include <QHash>
#include <QRect>
#include <functional>

#include "gallery/media_library.h"
#include "ui/uipage.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVariantAnimation;

namespace gallery {

class GalleryPage : public UiPage {
  Q_OBJECT

 public:
  // Carousel geometry inside its fixed 340 x 128 frame.
  static constexpr int kFrameWidth = 340;
  static constexpr int kFrameHeight = 128;
  static constexpr QRect kPrevRect{10, 29, 70, 70};
  static constexpr QRect kCurrentRect{110, 4, 120, 120};
  static constexpr QRect kNextRect{260, 29, 70, 70};
  static constexpr int kSideThumb = 70;
  static constexpr int kCurrentThumb = 120;
  static constexpr int kStepMs = 220;
  // Gesture thresholds of the galleries (pixels, milliseconds).
  static constexpr int kSwipeMin = 50;
  static constexpr int kSwipeDominance = 16;
  static constexpr int kTapMaxMove = 18;
  static constexpr int kTapMaxMs = 380;

  GalleryPage(MediaKind kind, QWidget* parent, double uiScale);

  MediaKind kind() const { return kind_; }
  const MediaList& media() const { return media_; }

  void applyLanguage(int lang) override;
  void relayout() override;

  // Reads the card again and updates the carousel.
  void refresh();
  // One position towards the older (+1) or newer (-1) items, animated. Ignored
  // while a step runs, at the ends and on an empty list.
  void step(int delta);
  bool stepAnimating() const { return animating_; }
  // Ends a running step at once, as if its time had run out.
  void finishStep();

  // Photos: the full-screen viewer on `path` (a file of the list or not).
  void openViewer(const QString& path);
  void backToList();
  bool viewerShown() const;
  QString viewedPath() const { return viewedPath_; }

  // Asks, then deletes the current item / the photo in the viewer.
  void deleteCurrent();
  void deleteViewed();

  // Leaving the page: no step running, back on the list, newest item first.
  void resetSelection();

  // The question asked before deleting; the default is the modal dialog
  // centred on the window.
  void setConfirmer(std::function<bool(MediaKind)> confirmer);
  // Milliseconds of a monotonic clock, for telling taps from long presses.
  void setClock(std::function<qint64()> clock);

  // The widgets, for the window's screenshots and the tests.
  QPushButton* slotButton(int i) const { return slots_[i]; }  // 0 prev, 1 current, 2 next
  QLabel* counterLabel() const { return counter_; }
  QLabel* nameLabel() const { return name_; }
  QPushButton* deleteButton() const { return delete_; }
  QLabel* viewerPicture() const { return picture_; }
  QPushButton* viewerBackButton() const { return back_; }
  QPushButton* viewerDeleteButton() const { return viewerDelete_; }

 public slots:
  // All media were deleted: back to the list, read again.
  void onMediaCleared();

 signals:
  // Videos: the middle item was touched.
  void playRequested(const QString& path);

 protected:
  bool filterPageEvent(QObject* watched, QEvent* event) override;

 private:
  void build();
  void updateWidgets();
  void activateCurrent();
  void viewerStep(int delta);
  void layoutViewerPicture();
  void showViewerCaption();
  QIcon iconFor(int index, int size, QHash<QString, QIcon>* keep);
  void onStepValue(double t);
  void onStepFinished();
  bool handleRelease(QObject* watched, const QPoint& global);

  MediaKind kind_;
  MediaList media_;
  int lang_ = 1;

  QLabel* title_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QWidget* listPage_ = nullptr;
  QWidget* frame_ = nullptr;
  QPushButton* slots_[3] = {nullptr, nullptr, nullptr};
  QLabel* counter_ = nullptr;
  QLabel* name_ = nullptr;
  QPushButton* delete_ = nullptr;

  QWidget* viewerPage_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* picture_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* viewerDelete_ = nullptr;
  QString viewedPath_;
  QImage viewedImage_;
  bool viewerFailed_ = false;

  QVariantAnimation* animation_ = nullptr;
  QPushButton* incoming_ = nullptr;
  int stepDelta_ = 0;
  bool animating_ = false;
  QRect from_[4];
  QRect to_[4];

  // Thumbnails on show, by path, size and the file's time and length, so a
  // step decodes only the item that comes into view.
  QHash<QString, QIcon> icons_;

  std::function<bool(MediaKind)> confirmer_;
  std::function<qint64()> clock_;
  bool armed_ = false;
  QPoint pressGlobal_;
  qint64 pressMs_ = 0;
};

}  // namespace gallery
