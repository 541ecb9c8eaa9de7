#include "ui/menupage.h"

#include <QEasingCurve>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ui/pictures.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
constexpr int kCarouselW = 340;
constexpr int kCarouselH = 128;
constexpr int kSideIcon = 70;
constexpr int kCentreIcon = 120;
const QRect kLeftSlot(10, 29, 70, 70);
const QRect kCentreSlot(110, 4, 120, 120);
const QRect kRightSlot(260, 29, 70, 70);
// Just outside the carousel, where icons come from and go to.
const QRect kOffLeft(-80, 29, 70, 70);
const QRect kOffRight(350, 29, 70, 70);

QRect lerpRect(const QRect& a, const QRect& b, double t) {
  auto mix = [t](int from, int to) {
    return static_cast<int>(std::lround(from + (to - from) * t));
  };
  return QRect(mix(a.x(), b.x()), mix(a.y(), b.y()), mix(a.width(), b.width()),
               mix(a.height(), b.height()));
}

int wrap(int i, int n) { return ((i % n) + n) % n; }
}  // namespace

MenuPage::MenuPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) { build(); }

QPushButton* MenuPage::makeSlotButton() {
  auto* b = new QPushButton(container_);
  b->setFlat(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setStyleSheet(QStringLiteral("border:none; background:transparent;"));
  b->installEventFilter(this);
  return b;
}

void MenuPage::build() {
  title_ = new QLabel(this);
  title_->setStyleSheet(styleWithFont(15, QStringLiteral("font-weight:600;"), uiScale()));
  name_ = new QLabel(this);
  name_->setStyleSheet(
      styleWithFont(12, QStringLiteral("color:#d8dde3; font-weight:600;"), uiScale()));
  name_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  for (QLabel* l : {title_, name_}) l->setAttribute(Qt::WA_TransparentForMouseEvents);

  placeholder_ = new QWidget(this);
  placeholder_->setFixedSize(kCarouselW, kCarouselH);
  placeholder_->setStyleSheet(QStringLiteral("background:transparent;"));
  placeholder_->setAttribute(Qt::WA_TransparentForMouseEvents);

  container_ = new QWidget(this);
  container_->setFixedSize(kCarouselW, kCarouselH);
  container_->setStyleSheet(QStringLiteral("background:transparent;"));
  container_->installEventFilter(this);
  left_ = makeSlotButton();
  centre_ = makeSlotButton();
  right_ = makeSlotButton();
  connect(left_, &QPushButton::clicked, this, [this] { moveSelection(-1); });
  connect(right_, &QPushButton::clicked, this, [this] { moveSelection(+1); });
  connect(centre_, &QPushButton::clicked, this, [this] {
    if (!animating_) emit enterItemRequested();
  });

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(12, 12, 12, 0);
  v->setSpacing(8);
  v->addWidget(title_);
  v->addWidget(name_);
  v->addStretch(1);
  v->addWidget(placeholder_, 0, Qt::AlignHCenter);
  v->addStretch(1);

  refresh();
  relayout();
}

void MenuPage::applyLanguage(int lang) {
  lang_ = lang;
  title_->setText(pickText(lang, texts::kMenuTitle));
  refresh();
}

void MenuPage::relayout() {
  if (layout()) layout()->activate();
  const int x = (width() - kCarouselW) / 2;
  const int y = placeholder_->y() + (placeholder_->height() - kCarouselH) / 2;
  container_->move(x, y);
  container_->raise();
}

void MenuPage::setItems(const QList<QWidget*>& pages) {
  items_.clear();
  for (QWidget* p : pages) {
    if (items_.size() == kMenuItemCount) break;
    items_.append(p);
  }
  if (items_.isEmpty())
    current_ = 0;
  else
    current_ = std::clamp(current_, 0, static_cast<int>(items_.size()) - 1);
  refresh();
}

QWidget* MenuPage::currentTarget() const {
  if (items_.isEmpty()) return nullptr;
  return items_.at(current_);
}

void MenuPage::refresh() {
  const int n = items_.size();
  if (n == 0) return;
  const int l = wrap(current_ - 1, n);
  const int r = wrap(current_ + 1, n);
  left_->setGeometry(kLeftSlot);
  centre_->setGeometry(kCentreSlot);
  right_->setGeometry(kRightSlot);
  left_->setIcon(loadMenuIcon(l, kSideIcon, false));
  centre_->setIcon(loadMenuIcon(current_, kCentreIcon, true));
  right_->setIcon(loadMenuIcon(r, kSideIcon, false));
  left_->setIconSize(QSize(kSideIcon, kSideIcon));
  centre_->setIconSize(QSize(kCentreIcon, kCentreIcon));
  right_->setIconSize(QSize(kSideIcon, kSideIcon));
  name_->setText(current_ < kMenuItemCount ? pickText(lang_, texts::kMenuItemNames[current_])
                                           : QString());
}

void MenuPage::moveSelection(int step) {
  const int n = items_.size();
  if (n == 0 || step == 0 || animating_) return;
  step = step > 0 ? 1 : -1;
  animating_ = true;

  const bool forward = step > 0;
  auto* incoming = new QPushButton(container_);
  incoming->setFlat(true);
  incoming->setFocusPolicy(Qt::NoFocus);
  incoming->setStyleSheet(QStringLiteral("border:none; background:transparent;"));
  incoming->setIcon(loadMenuIcon(wrap(current_ + 2 * step, n), kSideIcon, false));
  incoming->setIconSize(QSize(kSideIcon, kSideIcon));
  incoming->setGeometry(forward ? kOffRight : kOffLeft);
  incoming->show();

  struct Move {
    QPushButton* button;
    QRect from;
    QRect to;
  };
  QVector<Move> moves;
  if (forward) {
    moves = {{left_, kLeftSlot, kOffLeft},
             {centre_, kCentreSlot, kLeftSlot},
             {right_, kRightSlot, kCentreSlot},
             {incoming, kOffRight, kRightSlot}};
  } else {
    moves = {{right_, kRightSlot, kOffRight},
             {centre_, kCentreSlot, kRightSlot},
             {left_, kLeftSlot, kCentreSlot},
             {incoming, kOffLeft, kLeftSlot}};
  }

  // The icon arriving in the middle starts as its large picture, so that it
  // grows smoothly instead of jumping at the end.
  QPushButton* arriving = forward ? right_ : left_;
  arriving->setIcon(loadMenuIcon(wrap(current_ + step, n), kCentreIcon, true));

  auto* anim = new QVariantAnimation(this);
  anim->setStartValue(0.0);
  anim->setEndValue(1.0);
  anim->setDuration(kStepMs);
  anim->setEasingCurve(QEasingCurve::OutCubic);
  connect(anim, &QVariantAnimation::valueChanged, this, [moves](const QVariant& v) {
    const double t = v.toDouble();
    for (const Move& m : moves) {
      m.button->setGeometry(lerpRect(m.from, m.to, t));
      // The icon grows and shrinks with its button.
      m.button->setIconSize(m.button->size());
    }
  });
  connect(anim, &QVariantAnimation::finished, this, [this, incoming, step] {
    incoming->deleteLater();
    const int count = items_.size();
    if (count > 0) current_ = wrap(current_ + step, count);
    refresh();
    animating_ = false;
  });
  anim->start(QAbstractAnimation::DeleteWhenStopped);
}

bool MenuPage::applyMenuSwipe(const QPoint& press, const QPoint& release) {
  if (isHorizontalSwipe(press, release, kSideSwipeMin)) {
    // Leftwards brings the next item in, as if pushing the row along.
    if (!items_.isEmpty()) moveSelection(release.x() < press.x() ? +1 : -1);
    return true;
  }
  if (isSwipeUp(press, release, kUpSwipeMin)) {
    emit backToHomeRequested();
    return true;
  }
  return false;
}

bool MenuPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (animating_) return false;
  return applyMenuSwipe(press, release);
}

bool MenuPage::isCarouselObject(QObject* o) const {
  return o == container_ || o == left_ || o == centre_ || o == right_;
}

bool MenuPage::filterPageEvent(QObject* watched, QEvent* event) {
  if (!isCarouselObject(watched)) return false;
  if (event->type() == QEvent::MouseButtonPress) {
    carouselPress_ = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPos());
    return false;
  }
  if (event->type() != QEvent::MouseButtonRelease) return false;
  const QPoint release = mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPos());
  bool swallow = false;
  if (animating_) {
    // The buttons are on the move: neither a gesture nor a click means
    // anything certain until they settle.
    swallow = true;
  } else if (applyMenuSwipe(carouselPress_, release)) {
    swallow = true;
  } else {
    const QPoint d = release - carouselPress_;
    swallow = std::abs(d.x()) > kDragSlop || std::abs(d.y()) > kDragSlop;
  }
  if (swallow) {
    // The button never sees its release; take it out of the pressed state.
    if (auto* b = qobject_cast<QPushButton*>(watched)) b->setDown(false);
  }
  return swallow;
}
