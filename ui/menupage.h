#pragma once
// The main menu: a three-slot carousel of large icons (previous, current,
// next) over which the user swipes or taps to pick one of ten items, each
// leading to a page. The menu only reports the choice; the main window
// shows the page.
#include <QList>
#include <QPoint>
#include <QPointer>

#include "ui/uipage.h"

class QLabel;
class QPushButton;
class QVariantAnimation;

class MenuPage : public UiPage {
  Q_OBJECT

 public:
  MenuPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  // The target pages in item order (at most ten are kept). The current index
  // is clamped into the new list.
  void setItems(const QList<QWidget*>& pages);
  // The page of the current item, or null for an empty list.
  QWidget* currentTarget() const;
  // One step back (-1) or forward (+1), animated. Ignored with no items or
  // while a step is running.
  void moveSelection(int step);

  int currentIndex() const { return current_; }
  int itemCount() const { return items_.size(); }
  bool isAnimating() const { return animating_; }
  int language() const { return lang_; }

  static constexpr int kStepMs = 220;
  // Swipe thresholds of the menu, wider than those of other pages.
  static constexpr int kSideSwipeMin = 49;
  static constexpr int kUpSwipeMin = 59;
  // A release this far from its press is a drag, never a click.
  static constexpr int kDragSlop = 12;

  QPushButton* leftButton() const { return left_; }
  QPushButton* centreButton() const { return centre_; }
  QPushButton* rightButton() const { return right_; }
  QWidget* carousel() const { return container_; }
  QLabel* titleLabel() const { return title_; }
  QLabel* nameLabel() const { return name_; }

 signals:
  void enterItemRequested();

 private:
  void build();
  void refresh();
  QPushButton* makeSlotButton();
  // Applies a menu swipe; true when the movement was one.
  bool applyMenuSwipe(const QPoint& press, const QPoint& release);
  bool isCarouselObject(QObject* o) const;

  QLabel* title_ = nullptr;
  QLabel* name_ = nullptr;
  QWidget* placeholder_ = nullptr;
  QWidget* container_ = nullptr;
  QPushButton* left_ = nullptr;
  QPushButton* centre_ = nullptr;
  QPushButton* right_ = nullptr;
  QList<QPointer<QWidget>> items_;
  int current_ = 0;
  int lang_ = 1;
  bool animating_ = false;
  QPoint carouselPress_;
};
