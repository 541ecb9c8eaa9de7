#include "ui/valueeditorpage.h"

#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "ui/brightnesspillbutton.h"
#include "ui/brightnessringwidget.h"
#include "ui/textfit.h"
#include "ui/uistyle.h"

ValueEditorPage::ValueEditorPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
}

void ValueEditorPage::build() {
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);
  title_->setStyleSheet(styleWithFont(look::kTitlePx, look::kTitleCss, uiScale()));
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);

  ring_ = new BrightnessRingWidget(this);
  ring_->setAttribute(Qt::WA_TransparentForMouseEvents);

  minus_ = new BrightnessPillButton(BrightnessPillButton::Minus, this);
  plus_ = new BrightnessPillButton(BrightnessPillButton::Plus, this);
  repeat_ = new QTimer(this);
  repeat_->setInterval(kRepeatMs);
  connect(repeat_, &QTimer::timeout, this, [this] {
    if (repeatDirection_ != 0) step(repeatDirection_);
  });
  for (BrightnessPillButton* b : {minus_, plus_}) {
    const int direction = b == plus_ ? +1 : -1;
    connect(b, &QAbstractButton::pressed, this, [this, direction] { startRepeat(direction); });
    connect(b, &QAbstractButton::released, this, &ValueEditorPage::stopRepeat);
    addTapTarget(b);
  }
  relayout();
}

void ValueEditorPage::relayout() {
  const int t = std::max(26, static_cast<int>(std::lround(22 * uiScale())));
  title_->setGeometry(12, 12, 336, t);
  ring_->setGeometry(102, 72, 156, 156);
  minus_->setGeometry(25, 254, 148, 54);
  plus_->setGeometry(187, 254, 148, 54);
}

bool ValueEditorPage::filterPageEvent(QObject* watched, QEvent* event) {
  return filterTapTargets(watched, event);
}

void ValueEditorPage::setTitle(const QString& text) {
  const int t = std::max(26, static_cast<int>(std::lround(22 * uiScale())));
  title_->setText(text);
  setFittedStyle(title_, text, look::kTitlePx, QString::fromLatin1(look::kTitleCss), uiScale(),
                 QSize(336, t));
}

void ValueEditorPage::startRepeat(int direction) {
  repeatDirection_ = direction;
  step(direction);
  repeat_->start();
}

void ValueEditorPage::stopRepeat() {
  repeatDirection_ = 0;
  repeat_->stop();
}

void ValueEditorPage::hideEvent(QHideEvent* event) {
  // A pill held while the page goes away never sees its release.
  stopRepeat();
  minus_->setDown(false);
  plus_->setDown(false);
  UiPage::hideEvent(event);
}
