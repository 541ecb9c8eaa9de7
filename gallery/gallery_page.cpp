#include "gallery/gallery_page.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEasingCurve>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gallery/delete_dialog.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace gallery {

namespace {

constexpr char kSlotCss[] = "border:none; background:transparent;";
constexpr char kDeleteCss[] =
    "QPushButton{font-size:18px; font-weight:600; background:#4ec6af; border:none; "
    "border-radius:8px; color:#ffffff;}QPushButton:pressed{font-size:18px; font-weight:600; "
    "background:#3aac94;}QPushButton:disabled{font-size:18px; font-weight:600; "
    "background:#5a9e92; color:#d0ebe5;}";
constexpr char kBackCss[] =
    "QPushButton{font-size:18px; font-weight:600; background:transparent; "
    "border:2px solid #9aa0a6; border-radius:8px; color:#ffffff;}"
    "QPushButton:pressed{font-size:18px; font-weight:600; background:rgba(0,0,0,90);}";
constexpr int kButtonW = 100;
constexpr int kButtonH = 50;
// Where a side thumbnail goes when it leaves the frame, and comes from.
constexpr QRect kOffLeft{-80, 29, 70, 70};
constexpr QRect kOffRight{GalleryPage::kFrameWidth + 10, 29, 70, 70};

QRect lerp(const QRect& a, const QRect& b, double t) {
  auto mix = [t](int x, int y) { return x + static_cast<int>(std::lround((y - x) * t)); };
  return QRect(mix(a.x(), b.x()), mix(a.y(), b.y()), mix(a.width(), b.width()),
               mix(a.height(), b.height()));
}

QPushButton* makeSlotButton(QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setFlat(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setStyleSheet(QLatin1String(kSlotCss));
  return b;
}

qint64 monotonicMs() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer.elapsed();
}

}  // namespace

GalleryPage::GalleryPage(MediaKind kind, QWidget* parent, double uiScale)
    : UiPage(parent, uiScale), kind_(kind), media_(kind), clock_(monotonicMs) {
  confirmer_ = [this](MediaKind k) { return confirmDelete(this, k, lang_, this->uiScale()); };
  build();
}

void GalleryPage::build() {
  auto transparentLabel = [](QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->setAlignment(Qt::AlignCenter);
    return l;
  };

  stack_ = new QStackedWidget(this);
  stack_->setAttribute(Qt::WA_TranslucentBackground);
  stack_->setStyleSheet(QStringLiteral("background:transparent;"));

  listPage_ = new QWidget(stack_);
  listPage_->setAttribute(Qt::WA_TranslucentBackground);
  title_ = transparentLabel(listPage_);
  title_->setStyleSheet(styleWithFont(look::kTitlePx, QStringLiteral("font-weight:600;"), uiScale()));

  frame_ = new QWidget(listPage_);
  frame_->setFixedSize(kFrameWidth, kFrameHeight);
  frame_->setStyleSheet(QStringLiteral("background:transparent;"));
  const QRect rects[3] = {kPrevRect, kCurrentRect, kNextRect};
  for (int i = 0; i < 3; ++i) {
    slots_[i] = makeSlotButton(frame_);
    slots_[i]->setGeometry(rects[i]);
    slots_[i]->setIconSize(rects[i].size());
  }
  connect(slots_[0], &QPushButton::clicked, this, [this] { step(-1); });
  connect(slots_[1], &QPushButton::clicked, this, [this] { activateCurrent(); });
  connect(slots_[2], &QPushButton::clicked, this, [this] { step(+1); });

  counter_ = transparentLabel(listPage_);
  counter_->setStyleSheet(
      styleWithFont(9, QStringLiteral("color:#d8dde3; font-weight:600;"), uiScale()));
  name_ = transparentLabel(listPage_);
  name_->setStyleSheet(QStringLiteral(
      "font-size:13px; color:#d8dde3; font-weight:600; background:transparent;"));
  delete_ = new QPushButton(listPage_);
  delete_->setFixedSize(kButtonW, kButtonH);
  delete_->setFocusPolicy(Qt::NoFocus);
  delete_->setStyleSheet(QLatin1String(kDeleteCss));
  connect(delete_, &QPushButton::clicked, this, &GalleryPage::deleteCurrent);
  stack_->addWidget(listPage_);

  if (kind_ == MediaKind::Photo) {
    viewerPage_ = new QWidget(stack_);
    viewerPage_->setAttribute(Qt::WA_TranslucentBackground);
    scroll_ = new QScrollArea(viewerPage_);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setStyleSheet(QStringLiteral("QScrollArea{background:transparent;border:none;}"));
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->viewport()->setStyleSheet(QStringLiteral("background:transparent;"));
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    picture_ = new QLabel;
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setWordWrap(true);
    picture_->setStyleSheet(
        styleWithFont(look::kBodyPx, QStringLiteral("background:transparent;"), uiScale()));
    scroll_->setWidget(picture_);
    back_ = new QPushButton(viewerPage_);
    viewerDelete_ = new QPushButton(viewerPage_);
    back_->setStyleSheet(QLatin1String(kBackCss));
    viewerDelete_->setStyleSheet(QLatin1String(kDeleteCss));
    for (QPushButton* b : {back_, viewerDelete_}) {
      b->setFixedSize(kButtonW, kButtonH);
      b->setFocusPolicy(Qt::NoFocus);
    }
    connect(back_, &QPushButton::clicked, this, &GalleryPage::backToList);
    connect(viewerDelete_, &QPushButton::clicked, this, &GalleryPage::deleteViewed);
    stack_->addWidget(viewerPage_);
  }

  animation_ = new QVariantAnimation(this);
  animation_->setStartValue(0.0);
  animation_->setEndValue(1.0);
  animation_->setDuration(kStepMs);
  animation_->setEasingCurve(QEasingCurve::OutCubic);
  connect(animation_, &QVariantAnimation::valueChanged, this,
          [this](const QVariant& v) { onStepValue(v.toDouble()); });
  connect(animation_, &QVariantAnimation::finished, this, &GalleryPage::onStepFinished);

  // Swipes and taps are read wherever they land on the page.
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

  applyLanguage(lang_);
  updateWidgets();
  relayout();
}

void GalleryPage::applyLanguage(int lang) {
  lang_ = lang;
  const bool photo = kind_ == MediaKind::Photo;
  title_->setText(pickText(lang, photo ? texts::kPhotoGalleryTitle : texts::kVideoGalleryTitle));
  delete_->setText(pickText(lang, texts::kViewerDelete));
  if (viewerPage_) {
    back_->setText(pickText(lang, texts::kViewerBack));
    viewerDelete_->setText(pickText(lang, texts::kViewerDelete));
    if (viewerFailed_) showViewerCaption();
  }
}

void GalleryPage::relayout() {
  const int w = width();
  const int h = height();
  stack_->setGeometry(0, 0, w, h);

  const int titleH = scaledPx(look::kTitlePx, uiScale()) + 14;
  title_->setGeometry(0, 4, w, titleH);
  const int frameY = 4 + titleH;
  frame_->move((w - kFrameWidth) / 2, frameY);
  const int counterH = scaledPx(9, uiScale()) + 8;
  counter_->setGeometry(0, frameY + kFrameHeight + 2, w, counterH);
  name_->setGeometry(8, counter_->geometry().bottom() + 1, w - 16, 22);
  const int deleteY = std::max(name_->geometry().bottom() + 6, h - kButtonH - 10);
  delete_->move((w - kButtonW) / 2, std::min(deleteY, h - kButtonH));

  if (viewerPage_) {
    const int rowY = h - kButtonH - 6;
    scroll_->setGeometry(0, 0, w, rowY - 4);
    back_->move(w / 2 - kButtonW - 8, rowY);
    viewerDelete_->move(w / 2 + 8, rowY);
    layoutViewerPicture();
  }
}

void GalleryPage::refresh() {
  media_.rebuild();
  updateWidgets();
}

QIcon GalleryPage::iconFor(int index, int size, QHash<QString, QIcon>* keep) {
  const QString path = media_.at(index);
  if (path.isEmpty()) return {};
  const QFileInfo info(path);
  const QString key = QStringLiteral("%1|%2|%3|%4")
                          .arg(size)
                          .arg(info.lastModified().toMSecsSinceEpoch())
                          .arg(info.size())
                          .arg(path);
  auto it = icons_.constFind(key);
  const QIcon icon = it != icons_.constEnd() ? it.value() : thumbnail(kind_, path, QSize(size, size));
  (keep ? keep : &icons_)->insert(key, icon);
  return icon;
}

void GalleryPage::updateWidgets() {
  const QRect rects[3] = {kPrevRect, kCurrentRect, kNextRect};
  const int sizes[3] = {kSideThumb, kCurrentThumb, kSideThumb};
  const int index = media_.index();
  const int count = media_.count();
  QHash<QString, QIcon> shown;
  for (int i = 0; i < 3; ++i) {
    const int item = index - 1 + i;
    slots_[i]->setGeometry(rects[i]);
    slots_[i]->setIconSize(QSize(sizes[i], sizes[i]));
    slots_[i]->setIcon(item >= 0 && item < count ? iconFor(item, sizes[i], &shown) : QIcon());
  }
  // Only what is on show stays decoded.
  icons_.swap(shown);
  if (media_.isEmpty()) {
    for (QPushButton* b : slots_) b->setEnabled(false);
    counter_->setText(QStringLiteral("0 / 0"));
    delete_->setEnabled(false);
    name_->clear();
    return;
  }
  slots_[0]->setEnabled(index >= 1);
  slots_[1]->setEnabled(true);
  slots_[2]->setEnabled(index + 1 < count);
  counter_->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(count));
  delete_->setEnabled(true);
  name_->setText(QFileInfo(media_.current()).completeBaseName());
}

void GalleryPage::step(int delta) {
  if (animating_ || media_.isEmpty() || (delta != 1 && delta != -1)) return;
  const int index = media_.index();
  if (index + delta < 0 || index + delta >= media_.count()) return;
  animating_ = true;
  stepDelta_ = delta;

  incoming_ = makeSlotButton(frame_);
  incoming_->installEventFilter(this);
  const int far = index + 2 * delta;
  if (far >= 0 && far < media_.count()) {
    incoming_->setIconSize(QSize(kSideThumb, kSideThumb));
    incoming_->setIcon(iconFor(far, kSideThumb, nullptr));
  }
  if (delta > 0) {
    const QRect from[4] = {kPrevRect, kCurrentRect, kNextRect, kOffRight};
    const QRect to[4] = {kOffLeft, kPrevRect, kCurrentRect, kNextRect};
    std::copy(from, from + 4, from_);
    std::copy(to, to + 4, to_);
  } else {
    const QRect from[4] = {kPrevRect, kCurrentRect, kNextRect, kOffLeft};
    const QRect to[4] = {kCurrentRect, kNextRect, kOffRight, kPrevRect};
    std::copy(from, from + 4, from_);
    std::copy(to, to + 4, to_);
  }
  incoming_->setGeometry(from_[3]);
  incoming_->show();
  animation_->start();
}

void GalleryPage::onStepValue(double t) {
  if (!animating_) return;
  QPushButton* buttons[4] = {slots_[0], slots_[1], slots_[2], incoming_};
  for (int i = 0; i < 4; ++i) {
    const QRect r = lerp(from_[i], to_[i], t);
    buttons[i]->setGeometry(r);
    buttons[i]->setIconSize(r.size());
  }
}

void GalleryPage::onStepFinished() {
  if (!animating_) return;
  delete incoming_;
  incoming_ = nullptr;
  media_.setIndex(media_.index() + stepDelta_);
  refresh();
  animating_ = false;
}

void GalleryPage::finishStep() {
  if (animating_) animation_->setCurrentTime(animation_->duration());
}

void GalleryPage::activateCurrent() {
  if (animating_ || media_.isEmpty()) return;
  const QString path = media_.current();
  if (kind_ == MediaKind::Photo)
    openViewer(path);
  else if (!path.isEmpty())
    emit playRequested(path);
}

bool GalleryPage::viewerShown() const {
  return viewerPage_ && stack_->currentWidget() == viewerPage_;
}

void GalleryPage::openViewer(const QString& path) {
  if (!viewerPage_ || path.isEmpty() || !QFileInfo::exists(path)) return;
  // Decoded at most at twice the window's size: enough for any layout of the
  // viewer, and bounded whatever the file claims.
  viewedImage_ = loadFittedImage(path, QSize(720, 640), Qt::SmoothTransformation, false);
  viewedPath_ = path;
  const int i = media_.paths().indexOf(path);
  if (i >= 0) media_.setIndex(i);
  viewerFailed_ = viewedImage_.isNull();
  if (viewerFailed_) {
    picture_->clear();
    showViewerCaption();
  } else {
    picture_->setText(QString());
  }
  stack_->setCurrentWidget(viewerPage_);
  relayout();
}

void GalleryPage::showViewerCaption() {
  picture_->setText(QStringLiteral("%1\n\n%2").arg(QFileInfo(viewedPath_).completeBaseName(),
                                                   pickText(lang_, texts::kImageLoadFailed)));
}

void GalleryPage::layoutViewerPicture() {
  if (!picture_ || viewerFailed_ || viewedImage_.isNull()) return;
  const QSize area = scroll_->viewport()->size();
  if (area.width() < 8 || area.height() < 8) return;
  picture_->setPixmap(QPixmap::fromImage(
      viewedImage_.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void GalleryPage::backToList() {
  viewedPath_.clear();
  viewedImage_ = QImage();
  viewerFailed_ = false;
  if (picture_) {
    picture_->clear();
  }
  stack_->setCurrentWidget(listPage_);
  updateWidgets();
  relayout();
}

void GalleryPage::viewerStep(int delta) {
  const int i = media_.paths().indexOf(viewedPath_);
  if (i < 0) return;
  const QString next = media_.at(i + delta);
  if (!next.isEmpty()) openViewer(next);
}

void GalleryPage::deleteCurrent() {
  if (media_.isEmpty() || animating_) return;
  const QString path = media_.current();
  if (path.isEmpty() || !QFileInfo::exists(path)) return;
  if (!confirmer_ || !confirmer_(kind_)) return;
  if (QFile::remove(path)) refresh();
}

void GalleryPage::deleteViewed() {
  if (viewedPath_.isEmpty() || !QFileInfo::exists(viewedPath_)) return;
  if (!confirmer_ || !confirmer_(kind_)) return;
  if (!QFile::remove(viewedPath_)) return;
  backToList();
  refresh();
}

void GalleryPage::resetSelection() {
  finishStep();
  armed_ = false;
  if (viewerShown()) backToList();
  media_.setIndex(0);
  updateWidgets();
}

void GalleryPage::onMediaCleared() {
  finishStep();
  if (viewerShown()) backToList();
  refresh();
}

void GalleryPage::setConfirmer(std::function<bool(MediaKind)> confirmer) {
  confirmer_ = std::move(confirmer);
}

void GalleryPage::setClock(std::function<qint64()> clock) {
  clock_ = clock ? std::move(clock) : std::function<qint64()>(monotonicMs);
}

bool GalleryPage::filterPageEvent(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease) return false;
  auto* me = static_cast<QMouseEvent*>(event);
  if (me->button() != Qt::LeftButton) return false;
  if (type == QEvent::MouseButtonPress) {
    // A press that travels up to the parents is seen once per widget; the
    // first one sets the gesture's start.
    if (!armed_) {
      armed_ = true;
      pressGlobal_ = me->globalPos();
      pressMs_ = clock_();
    }
    return false;
  }
  if (!armed_) return false;
  armed_ = false;
  return handleRelease(watched, me->globalPos());
}

bool GalleryPage::handleRelease(QObject* watched, const QPoint& global) {
  const int dx = global.x() - pressGlobal_.x();
  const int dy = global.y() - pressGlobal_.y();
  const int adx = std::abs(dx);
  const int ady = std::abs(dy);
  auto* button = qobject_cast<QAbstractButton*>(watched);
  // A swipe that began on a button must not also click it.
  auto consume = [button] {
    if (button) button->setDown(false);
    return true;
  };
  if (viewerShown() && !button && clock_() - pressMs_ <= kTapMaxMs && adx <= kTapMaxMove &&
      ady <= kTapMaxMove) {
    backToList();
    return true;
  }
  if (adx >= kSwipeMin && adx - ady >= kSwipeDominance) {
    if (viewerShown())
      viewerStep(dx < 0 ? +1 : -1);
    else if (!animating_)
      step(dx < 0 ? +1 : -1);
    return consume();
  }
  if (dy <= -kSwipeMin && ady - adx >= kSwipeDominance) {
    if (viewerShown())
      backToList();
    else
      emit backToMenuRequested();
    return consume();
  }
  return false;
}

}  // namespace gallery
