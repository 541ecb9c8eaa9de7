#include "ui/uipage.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QTouchEvent>
#include <algorithm>
#include <cstdlib>

UiPage::UiPage(QWidget* parent, double uiScale) : QWidget(parent), uiScale_(uiScale) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setStyleSheet(QStringLiteral("background:transparent; color:#ffffff;"));
  setAttribute(Qt::WA_AcceptTouchEvents);
  installEventFilter(this);
}

void UiPage::relayout() {}

bool UiPage::handleSwipe(const QPoint&, const QPoint&) { return false; }

bool UiPage::filterPageEvent(QObject*, QEvent*) { return false; }

bool UiPage::isSwipeUp(const QPoint& press, const QPoint& release, int minDy) {
  const int dx = release.x() - press.x();
  const int dy = release.y() - press.y();
  return std::abs(dy) > std::max(std::abs(dx), minDy) && dy < 0;
}

bool UiPage::isHorizontalSwipe(const QPoint& press, const QPoint& release, int minDx) {
  const int dx = release.x() - press.x();
  const int dy = release.y() - press.y();
  return std::abs(dx) > std::max(std::abs(dy), minDx);
}

bool UiPage::eventFilter(QObject* watched, QEvent* event) {
  if (filterPageEvent(watched, event)) return true;
  if (watched != this) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Resize:
      relayout();
      break;
    case QEvent::MouseButtonPress:
      pressPoint_ = static_cast<QMouseEvent*>(event)->localPos().toPoint();
      break;
    case QEvent::MouseButtonRelease: {
      const QPoint release = static_cast<QMouseEvent*>(event)->localPos().toPoint();
      if (handleSwipe(pressPoint_, release)) return true;
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void UiPage::addTapTarget(QAbstractButton* button) {
  if (!button || tapTargets_.contains(button)) return;
  button->setAttribute(Qt::WA_AcceptTouchEvents);
  button->setFocusPolicy(Qt::NoFocus);
  button->installEventFilter(this);
  tapTargets_.append(button);
}

bool UiPage::tryTouchOn(QAbstractButton* button, QEvent* event) {
  if (!button || !button->isVisible() || !button->isEnabled()) return false;
  if (event->type() != QEvent::TouchBegin && event->type() != QEvent::TouchUpdate) return false;
  const auto& points = static_cast<QTouchEvent*>(event)->touchPoints();
  if (points.isEmpty()) return false;
  const QTouchEvent::TouchPoint* chosen = nullptr;
  for (const auto& p : points) {
    if (p.state() & Qt::TouchPointPressed) {
      chosen = &p;
      break;
    }
  }
  // A landing finger may come without the pressed flag (synthesised or odd
  // drivers): take the first point. An update without a new finger is a
  // finger already down sliding about, and must not click a second time.
  if (!chosen) {
    if (event->type() == QEvent::TouchUpdate) return false;
    chosen = &points.first();
  }
  const QPoint global = chosen->screenPos().toPoint();
  // Some touch drivers report a lifted finger at the origin.
  if (global.isNull()) return false;
  if (!button->rect().contains(button->mapFromGlobal(global))) return false;
  button->animateClick(100);
  return true;
}

bool UiPage::tapTargetAt(const QPoint& globalPos) const {
  for (const auto& b : tapTargets_) {
    if (b && b->isVisible() && b->isEnabled() && b->rect().contains(b->mapFromGlobal(globalPos)))
      return true;
  }
  return false;
}

bool UiPage::filterTapTargets(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::TouchBegin || type == QEvent::TouchUpdate) {
    if (watched == this) {
      for (const auto& b : tapTargets_) {
        if (tryTouchOn(b, event)) return true;
      }
      return false;
    }
    for (const auto& b : tapTargets_) {
      if (b == watched) return tryTouchOn(b, event);
    }
    return false;
  }
  if (watched != this) return false;
  if (type == QEvent::MouseButtonPress) {
    pressOnTarget_ = tapTargetAt(static_cast<QMouseEvent*>(event)->globalPos());
    return false;
  }
  if (type == QEvent::MouseButtonRelease && pressOnTarget_) {
    pressOnTarget_ = false;
    return true;
  }
  return false;
}
