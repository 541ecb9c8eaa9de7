#include "ui/palettepage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
const char kSelectedRowCss[] =
    "QPushButton{font-size:14px; font-weight:600; background:#4ec6af; color:#ffffff;"
    "border:2px solid #4ec6af; border-radius:8px;}"
    "QPushButton:pressed{background:#3aac94; border-color:#3aac94;}";
const char kOtherRowCss[] =
    "QPushButton{font-size:14px; font-weight:600; background:transparent; color:#ffffff;"
    "border:2px solid #9aa0a6; border-radius:8px;}QPushButton:pressed{background:#2a2a2a;}";
const char kSideSwatchCss[] = "background:%1;border:none;border-radius:15px;";
const char kCurrentSwatchCss[] = "background:%1;border:3px solid #00b7ff;border-radius:25px;";

const UiText& colorName(int index) {
  static const UiText* const kNames[PalettePage::kColorCount] = {
      &texts::kColorBlack, &texts::kColorRed, &texts::kColorWhite};
  return *kNames[PalettePage::wrapColor(index)];
}

int titleHeight(double scale) { return std::max(26, static_cast<int>(std::lround(22 * scale))); }
}  // namespace

PalettePage::PalettePage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) { build(); }

int PalettePage::wrapColor(int index) {
  return ((index % kColorCount) + kColorCount) % kColorCount;
}

QString PalettePage::swatchColor(int index) {
  static const char* const kHex[kColorCount] = {"#000000", "#ff0000", "#ffffff"};
  return QString::fromLatin1(kHex[wrapColor(index)]);
}

void PalettePage::build() {
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);
  title_->setStyleSheet(styleWithFont(look::kTitlePx, look::kTitleCss, uiScale()));

  for (int row = 0; row < 2; ++row) {
    auto* b = new QPushButton(this);
    b->setFixedHeight(36);
    connect(b, &QPushButton::clicked, this, [this, row] { selectRow(row); });
    rowButtons_[row] = b;
    addTapTarget(b);
  }

  name_ = new QLabel(this);
  name_->setAlignment(Qt::AlignCenter);
  name_->setStyleSheet(styleWithFont(12, QStringLiteral("color:#d0d0d0;"), uiScale()));

  for (QLabel*& s : swatches_) s = new QLabel(this);
  for (QLabel* l : {title_, name_, swatches_[0], swatches_[1], swatches_[2]})
    l->setAttribute(Qt::WA_TransparentForMouseEvents);

  refresh();
  relayout();
}

void PalettePage::applyLanguage(int lang) {
  lang_ = lang;
  title_->setText(pickText(lang, texts::kReticleColorTitle));
  rowButtons_[ReticleRow]->setText(pickText(lang, texts::kReticleRow));
  rowButtons_[DotRow]->setText(pickText(lang, texts::kCenterRow));
  refresh();
}

void PalettePage::relayout() {
  const int t = titleHeight(uiScale());
  title_->setGeometry(12, 12, 336, t);
  rowButtons_[ReticleRow]->setGeometry(12, t + 20, 162, 36);
  rowButtons_[DotRow]->setGeometry(186, t + 20, 162, 36);
  name_->setGeometry(12, t + 64, 336, std::max(22, static_cast<int>(std::lround(18 * uiScale()))));
  // Centred on (180, min(319 - 39, 280)).
  swatches_[0]->setGeometry(97, 265, 30, 30);
  swatches_[1]->setGeometry(155, 255, 50, 50);
  swatches_[2]->setGeometry(233, 265, 30, 30);
}

void PalettePage::setColorFields(int* reticleColor, int* dotColor) {
  fields_[ReticleRow] = reticleColor ? reticleColor : &ownColors_[ReticleRow];
  fields_[DotRow] = dotColor ? dotColor : &ownColors_[DotRow];
  refresh();
}

void PalettePage::setColors(int reticleColor, int dotColor) {
  *fields_[ReticleRow] = wrapColor(reticleColor);
  *fields_[DotRow] = wrapColor(dotColor);
  refresh();
}

int PalettePage::colorOf(int row) const { return wrapColor(*fields_[row]); }

void PalettePage::selectRow(int row) {
  row_ = row == DotRow ? DotRow : ReticleRow;
  refresh();
}

void PalettePage::refresh() {
  for (int row = 0; row < 2; ++row)
    rowButtons_[row]->setStyleSheet(
        QString::fromLatin1(row == row_ ? kSelectedRowCss : kOtherRowCss));
  const int current = colorOf(row_);
  name_->setText(pickText(lang_, colorName(current)));
  swatches_[0]->setStyleSheet(QString::fromLatin1(kSideSwatchCss).arg(swatchColor(current + 2)));
  swatches_[1]->setStyleSheet(QString::fromLatin1(kCurrentSwatchCss).arg(swatchColor(current)));
  swatches_[2]->setStyleSheet(QString::fromLatin1(kSideSwatchCss).arg(swatchColor(current + 1)));
}

void PalettePage::stepColor(int direction) {
  const int next = wrapColor(colorOf(row_) + (direction > 0 ? 1 : 2));
  *fields_[row_] = next;
  if (row_ == ReticleRow)
    emit reticleColorChanged(next);
  else
    emit reticleDotColorChanged(next);
  refresh();
  emit persistRequested();
}

bool PalettePage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (swallowNextGesture_) {
    swallowNextGesture_ = false;
    return true;
  }
  if (isSwipeUp(press, release, kUpSwipeMin)) {
    emit backToMenuRequested();
    return true;
  }
  if (isHorizontalSwipe(press, release)) {
    // Leftwards brings the next colour, as on the menu.
    stepColor(release.x() < press.x() ? +1 : -1);
    return true;
  }
  return false;
}

bool PalettePage::isRowButton(QObject* o) const {
  return o == rowButtons_[ReticleRow] || o == rowButtons_[DotRow];
}

bool PalettePage::filterPageEvent(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool ends =
      type == QEvent::MouseButtonRelease || type == QEvent::TouchEnd || type == QEvent::TouchCancel;
  if (isRowButton(watched)) {
    if (type == QEvent::MouseButtonPress || type == QEvent::TouchBegin)
      swallowNextGesture_ = true;
    else if (ends)
      swallowNextGesture_ = false;
  } else if (watched == this && type == QEvent::MouseButtonPress) {
    const QPoint global = static_cast<QMouseEvent*>(event)->globalPos();
    for (QPushButton* b : rowButtons_) {
      if (b->isVisible() && b->rect().contains(b->mapFromGlobal(global)))
        swallowNextGesture_ = true;
    }
  }
  const bool swallowed = filterTapTargets(watched, event);
  if (watched == this) {
    // A touch on the page that clicked a row button is a press on it too.
    if (swallowed && type == QEvent::TouchBegin) swallowNextGesture_ = true;
    // The press the mark was set for has ended without reaching the swipe
    // evaluation (the tap targets took its release, or it was a touch):
    // left standing, it would eat the user's next real swipe.
    if ((swallowed && type == QEvent::MouseButtonRelease) || type == QEvent::TouchEnd ||
        type == QEvent::TouchCancel)
      swallowNextGesture_ = false;
  }
  return swallowed;
}
