#pragma once
// The base of every full-screen page: a transparent widget over the live
// picture, operated by touch and by the hardware keys. A page reports what
// the user wants through signals and never switches pages itself.
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QEvent;

class UiPage : public QWidget {
  Q_OBJECT

 public:
  UiPage(QWidget* parent, double uiScale);

  double uiScale() const { return uiScale_; }
  // The position of the last mouse press on the page (page coordinates).
  QPoint pressPoint() const { return pressPoint_; }

  // Sets every visible text for the language index (0 Chinese, 1 English,
  // 2 Russian) and refreshes the page's values.
  virtual void applyLanguage(int lang) = 0;
  // Positions the children from the page's current size. Runs on every show
  // and resize.
  virtual void relayout();
  // Interprets a completed press/release pair on the page; true = handled.
  virtual bool handleSwipe(const QPoint& press, const QPoint& release);
  // Runs before anything else in the page's event filter; true swallows.
  virtual bool filterPageEvent(QObject* watched, QEvent* event);

  // Gesture rules. The standard thresholds are those of most pages; the menu
  // and the reticle colour page pass their own.
  static constexpr int kSwipeUpMin = 29;
  static constexpr int kSwipeSideMin = 39;
  // |dy| > max(|dx|, minDy) and upwards.
  static bool isSwipeUp(const QPoint& press, const QPoint& release, int minDy = kSwipeUpMin);
  // |dx| > max(|dy|, minDx), either direction.
  static bool isHorizontalSwipe(const QPoint& press, const QPoint& release,
                                int minDx = kSwipeSideMin);

  const QList<QPointer<QAbstractButton>>& tapTargets() const { return tapTargets_; }

 signals:
  void backToMenuRequested();
  void backToHomeRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  // Buttons that a touch presses the moment the finger lands. The button gets
  // touch events, no keyboard focus and this page as its event filter.
  void addTapTarget(QAbstractButton* button);
  // The touch and press handling of the tap targets, for the filterPageEvent
  // of pages with buttons: a touch landing on a visible, enabled target
  // clicks it at once, and a mouse press that began on a target never also
  // ends as a gesture. True swallows the event.
  bool filterTapTargets(QObject* watched, QEvent* event);

 private:
  bool tryTouchOn(QAbstractButton* button, QEvent* event);
  bool tapTargetAt(const QPoint& globalPos) const;

  QPoint pressPoint_;
  double uiScale_;
  QList<QPointer<QAbstractButton>> tapTargets_;
  bool pressOnTarget_ = false;
};
