#include "ui/temppages.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTouchEvent>
#include <algorithm>
#include <cmath>

#include "ui/brightnesspillbutton.h"
#include "ui/brightnessringwidget.h"
#include "ui/texts.h"
#include "ui/toggleswitchbutton.h"
#include "ui/uistyle.h"

namespace {

const QRect kTitleRect(12, 12, 336, 26);
const QRect kWideButtonRect(106, 264, 148, 44);
constexpr int kNarrowButtonWidth = 100;

QString num1(double v) { return QString::number(v, 'f', 1); }

QLabel* makeLabel(QWidget* parent, int px, const QString& css, double scale,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* l = new QLabel(parent);
  l->setStyleSheet(styleWithFont(px, css, scale));
  l->setAlignment(align);
  // Presses on text belong to the page (gestures) or to the button beneath.
  l->setAttribute(Qt::WA_TransparentForMouseEvents);
  return l;
}

QLabel* makeTitle(QWidget* parent, double scale, Qt::Alignment align) {
  return makeLabel(parent, look::kTitlePx, QString::fromLatin1(look::kTitleCss), scale, align);
}

// The title's 26 px line, grown about its middle to the scaled font's height
// so that descenders are not cut off.
QRect titleRect(double scale) {
  QFont f;
  f.setPixelSize(scaledPx(look::kTitlePx, scale));
  f.setWeight(QFont::DemiBold);
  const int h = std::max(kTitleRect.height(), QFontMetrics(f).height());
  return QRect(kTitleRect.x(), kTitleRect.center().y() + 1 - h / 2, kTitleRect.width(), h);
}

QLabel* makeChevron(QWidget* parent, double scale) {
  auto* l = makeLabel(parent, look::kSecondaryPx, QString::fromLatin1(look::kSecondaryCss), scale,
                      Qt::AlignCenter);
  l->setText(QStringLiteral(">"));
  return l;
}

QPushButton* makeRowButton(QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setFlat(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setStyleSheet(QString::fromLatin1(look::kRowButtonCss));
  return b;
}

QPushButton* makePrimaryButton(QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

// Primary buttons carry their text at 16 px scaled. A button too narrow for
// its text at that size grows up to maxWidth, and only then does the text
// get smaller: the narrow result buttons would otherwise cut "Cancel" and
// "Применить" off. Buttons side by side share one width and one size.
// Returns the width to give the buttons.
int setPrimaryTexts(const QList<QPair<QPushButton*, QString>>& buttons, int minWidth,
                    int maxWidth, double scale) {
  constexpr int kPadding = 12;
  QFont f;
  f.setWeight(QFont::DemiBold);
  int px = scaledPx(16, scale);
  auto widest = [&f, &buttons](int size) {
    f.setPixelSize(size);
    const QFontMetrics m(f);
    int w = 0;
    for (const auto& b : buttons) w = std::max(w, m.horizontalAdvance(b.second));
    return w;
  };
  const int width = std::clamp(widest(px) + kPadding, minWidth, maxWidth);
  while (px > 10 && widest(px) + kPadding > width) --px;
  const QString css = QStringLiteral("QPushButton{font-size:%1px;}").arg(px) +
                      QString::fromLatin1(look::kPrimaryButtonCss);
  for (const auto& b : buttons) {
    b.first->setText(b.second);
    if (b.first->styleSheet() != css) b.first->setStyleSheet(css);
  }
  return width;
}

}  // namespace

QString calibrationBannerLine1(int lang) { return pickText(lang, texts::kCalAim); }

QString calibrationBannerLine2(int lang, int phase, int countdown) {
  if (phase == 1) return pickText(lang, texts::kCalSettling).arg(countdown);
  if (phase == 2) return pickText(lang, texts::kCalSampling).arg(countdown);
  return QString();
}

// ------------------------------------------------------------ TempMeasurePage

TempMeasurePage::TempMeasurePage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
}

void TempMeasurePage::build() {
  const double s = uiScale();
  title_ = makeTitle(this, s, Qt::AlignLeft | Qt::AlignVCenter);
  rowLabel_ = makeLabel(this, look::kBodyPx, QString::fromLatin1(look::kBodyCss), s);
  switch_ = new ToggleSwitchButton(this);
  connect(switch_, &QPushButton::clicked, this, [this] { emit toggleRequested(!enabled_); });

  calRow_ = makeRowButton(this);
  connect(calRow_, &QPushButton::clicked, this, &TempMeasurePage::calibrateRequested);
  calLabel_ = makeLabel(this, look::kBodyPx, QString::fromLatin1(look::kBodyCss), s);
  chevron_ = makeChevron(this, s);

  addTapTarget(switch_);
  addTapTarget(calRow_);
  setState(false, lang_);
  relayout();
}

void TempMeasurePage::applyLanguage(int lang) {
  lang_ = lang;
  title_->setText(pickText(lang, texts::kTemperatureTitle));
  rowLabel_->setText(pickText(lang, texts::kTemperatureTitle));
  calLabel_->setText(pickText(lang, texts::kTempCalibrationRow));
}

void TempMeasurePage::relayout() {
  title_->setGeometry(titleRect(uiScale()));
  const QSize sw = switch_->switchSize();
  const int switchX = 343 - sw.width();
  switch_->move(switchX, 46 + (48 - sw.height()) / 2);
  rowLabel_->setGeometry(20, 46, std::max(0, switchX - 12 - 20), 48);
  calRow_->setGeometry(16, 122, 328, 48);
  calLabel_->setGeometry(20, 122, 286, 48);
  chevron_->setGeometry(314, 135, 22, 22);
}

void TempMeasurePage::setState(bool enabled, int lang) {
  enabled_ = enabled;
  switch_->setOn(enabled);
  // Calibrating a readout that is off would measure nothing the user sees.
  calRow_->setVisible(enabled);
  calLabel_->setVisible(enabled);
  chevron_->setVisible(enabled);
  applyLanguage(lang);
}

bool TempMeasurePage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (isSwipeUp(press, release)) {
    emit backToMenuRequested();
    return true;
  }
  if (isHorizontalSwipe(press, release)) {
    emit toggleRequested(release.x() > press.x());
    return true;
  }
  return false;
}

bool TempMeasurePage::filterPageEvent(QObject* watched, QEvent* event) {
  return filterTapTargets(watched, event);
}

// ------------------------------------------------------------- TempCalRefPage

namespace {
constexpr int kRefRowY[TempCalRefPage::kRows] = {52, 106, 160, 214};
constexpr int kRefRowH = 52;
constexpr UiText kRefNames[TempCalRefPage::kRows] = {texts::kRefBoilingWater, texts::kRefIceWater,
                                                     texts::kRefSkin, texts::kRefBlackbody};
}  // namespace

TempCalRefPage::TempCalRefPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
}

void TempCalRefPage::build() {
  const double s = uiScale();
  title_ = makeTitle(this, s, Qt::AlignLeft | Qt::AlignVCenter);
  for (int i = 0; i < kRows; ++i) {
    rows_[i] = makeRowButton(this);
    connect(rows_[i], &QPushButton::clicked, this, [this, i] { emit refSelected(i); });
    labels_[i] = makeLabel(this, look::kBodyPx, QString::fromLatin1(look::kBodyCss), s);
    chevrons_[i] = makeChevron(this, s);
    addTapTarget(rows_[i]);
  }
  applyLanguage(1);
  relayout();
}

QPushButton* TempCalRefPage::rowButton(int row) const {
  return row >= 0 && row < kRows ? rows_[row] : nullptr;
}

void TempCalRefPage::applyLanguage(int lang) {
  title_->setText(pickText(lang, texts::kSelectReferenceTitle));
  for (int i = 0; i < kRows; ++i) labels_[i]->setText(pickText(lang, kRefNames[i]));
}

void TempCalRefPage::relayout() {
  title_->setGeometry(titleRect(uiScale()));
  for (int i = 0; i < kRows; ++i) {
    const int y = kRefRowY[i];
    rows_[i]->setGeometry(16, y, 328, kRefRowH);
    labels_[i]->setGeometry(20, y, 286, kRefRowH);
    chevrons_[i]->setGeometry(314, y + 15, 22, 22);
  }
}

bool TempCalRefPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backToTempMeasureRequested();
  return true;
}

bool TempCalRefPage::filterPageEvent(QObject* watched, QEvent* event) {
  return filterTapTargets(watched, event);
}

// ------------------------------------------------------- TempCalBlackbodyPage

TempCalBlackbodyPage::TempCalBlackbodyPage(QWidget* parent, double uiScale)
    : UiPage(parent, uiScale) {
  build();
}

int TempCalBlackbodyPage::gaugePercent(double valueC) {
  const long pct = std::lround((valueC - 20.0) * 100.0 / 530.0);
  return static_cast<int>(std::clamp(pct, 0L, 100L));
}

void TempCalBlackbodyPage::build() {
  const double s = uiScale();
  title_ = makeTitle(this, s, Qt::AlignCenter);
  ring_ = new BrightnessRingWidget(this);
  ring_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // Set points run to five characters ("550.0"); the gauge's bold figures
  // are sized for two or three and would spill over the ring.
  QFont gaugeFont = ring_->font();
  gaugeFont.setStretch(QFont::Condensed);
  ring_->setFont(gaugeFont);
  minus_ = new BrightnessPillButton(BrightnessPillButton::Minus, this);
  plus_ = new BrightnessPillButton(BrightnessPillButton::Plus, this);
  next_ = makePrimaryButton(this);
  connect(next_, &QPushButton::clicked, this, &TempCalBlackbodyPage::confirmRequested);

  repeat_ = new QTimer(this);
  repeat_->setInterval(kRepeatMs);
  connect(repeat_, &QTimer::timeout, this, &TempCalBlackbodyPage::repeatHeldStep);
  connect(minus_, &QPushButton::pressed, this, [this] { beginHold(-kStepC); });
  connect(plus_, &QPushButton::pressed, this, [this] { beginHold(kStepC); });
  connect(minus_, &QPushButton::released, this, &TempCalBlackbodyPage::endHold);
  connect(plus_, &QPushButton::released, this, &TempCalBlackbodyPage::endHold);

  addTapTarget(minus_);
  addTapTarget(plus_);
  addTapTarget(next_);
  setSetPoint(lang_, valueC_);
  relayout();
}

void TempCalBlackbodyPage::beginHold(double deltaC) {
  heldDelta_ = deltaC;
  emit nudgeRequested(deltaC);
  repeat_->start();
}

void TempCalBlackbodyPage::endHold() {
  repeat_->stop();
  heldDelta_ = 0.0;
}

void TempCalBlackbodyPage::repeatHeldStep() {
  // A release that never arrived (the page hidden mid-press) must not leave
  // the set point running away.
  const bool held = (heldDelta_ < 0 && minus_->isDown()) || (heldDelta_ > 0 && plus_->isDown());
  if (!held || !isVisible()) {
    endHold();
    return;
  }
  emit nudgeRequested(heldDelta_);
}

void TempCalBlackbodyPage::applyLanguage(int lang) {
  lang_ = lang;
  title_->setText(pickText(lang, texts::kBlackbodyTitle));
  setPrimaryTexts({{next_, pickText(lang, texts::kNext)}}, kWideButtonRect.width(),
                  kWideButtonRect.width(), uiScale());
}

void TempCalBlackbodyPage::setSetPoint(int lang, double valueC) {
  valueC_ = valueC;
  ring_->setValue(gaugePercent(valueC));
  ring_->setText(num1(valueC), QStringLiteral("\u00B0C"));
  applyLanguage(lang);
}

void TempCalBlackbodyPage::relayout() {
  title_->setGeometry(12, 12, 336, std::max(26, static_cast<int>(std::lround(22 * uiScale()))));
  ring_->setGeometry(110, 54, 140, 140);
  minus_->setGeometry(67, 200, 108, 40);
  plus_->setGeometry(185, 200, 108, 40);
  next_->setGeometry(kWideButtonRect);
}

bool TempCalBlackbodyPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backToRefRequested();
  return true;
}

bool TempCalBlackbodyPage::filterPageEvent(QObject* watched, QEvent* event) {
  // A finger on a pill holds it like a mouse button would: the common tap
  // handling clicks on landing and lets go 100 ms later, which would allow
  // one step per touch however long the finger stays.
  const QEvent::Type type = event->type();
  if (type == QEvent::TouchBegin) {
    const auto& points = static_cast<QTouchEvent*>(event)->touchPoints();
    if (!points.isEmpty() && (watched == this || watched == minus_ || watched == plus_)) {
      const QPoint global = points.first().screenPos().toPoint();
      for (BrightnessPillButton* b : {minus_, plus_}) {
        if (!b->isVisible() || !b->isEnabled() || global.isNull()) continue;
        if (!b->rect().contains(b->mapFromGlobal(global))) continue;
        touchHeld_ = b;
        b->setDown(true);
        beginHold(b == plus_ ? kStepC : -kStepC);
        return true;
      }
    }
  } else if (touchHeld_ && (type == QEvent::TouchEnd || type == QEvent::TouchCancel ||
                            (type == QEvent::Hide && watched == this))) {
    const bool touch = type != QEvent::Hide;
    touchHeld_->setDown(false);
    touchHeld_ = nullptr;
    endHold();
    return touch;
  } else if (touchHeld_ && type == QEvent::TouchUpdate) {
    return true;
  }
  return filterTapTargets(watched, event);
}

// ----------------------------------------------------------- TempCalGuidePage

TempCalGuidePage::TempCalGuidePage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
}

void TempCalGuidePage::build() {
  const double s = uiScale();
  title_ = makeTitle(this, s, Qt::AlignLeft | Qt::AlignVCenter);
  body_ = makeLabel(this, look::kHintPx, QString::fromLatin1(look::kHintCss), s,
                    Qt::AlignLeft | Qt::AlignTop);
  body_->setWordWrap(true);
  start_ = makePrimaryButton(this);
  connect(start_, &QPushButton::clicked, this, &TempCalGuidePage::startRequested);
  setReference(refType_, lang_, refC_);
  relayout();
}

QString TempCalGuidePage::bodyText(int refType, int lang, double refC) {
  switch (refType) {
    case 0:
      return pickText(lang, texts::kCalGuideBoiling);
    case 1:
      return pickText(lang, texts::kCalGuideIce);
    case 2:
      return pickText(lang, texts::kCalGuideSkin);
    case 3:
      return pickText(lang, texts::kCalGuideBlackbody).arg(num1(refC));
    default:
      return QString();
  }
}

void TempCalGuidePage::setReference(int refType, int lang, double refC) {
  refType_ = refType;
  refC_ = refC;
  applyLanguage(lang);
}

void TempCalGuidePage::applyLanguage(int lang) {
  lang_ = lang;
  title_->setText(pickText(lang, texts::kCalGuideTitle));
  body_->setText(bodyText(refType_, lang, refC_));
  setPrimaryTexts({{start_, pickText(lang, texts::kStart)}}, kWideButtonRect.width(),
                  kWideButtonRect.width(), uiScale());
}

void TempCalGuidePage::relayout() {
  title_->setGeometry(titleRect(uiScale()));
  body_->setGeometry(12, 48, 336, 208);
  start_->setGeometry(kWideButtonRect);
}

bool TempCalGuidePage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backRequested();
  return true;
}

// ---------------------------------------------------------- TempCalResultPage

TempCalResultPage::TempCalResultPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
}

void TempCalResultPage::build() {
  const double s = uiScale();
  title_ = makeTitle(this, s, Qt::AlignCenter);
  const QString figure = QStringLiteral("color:#ffffff;");
  refLine_ = makeLabel(this, 14, figure, s, Qt::AlignCenter);
  measLine_ = makeLabel(this, 14, figure, s, Qt::AlignCenter);
  offsetLine_ = makeLabel(this, 15, QString::fromLatin1(look::kValueCss), s, Qt::AlignCenter);
  failLine_ = makeLabel(this, look::kBodyPx, QString::fromLatin1(look::kWarningCss), s,
                        Qt::AlignHCenter | Qt::AlignTop);
  failLine_->setWordWrap(true);
  apply_ = makePrimaryButton(this);
  cancel_ = makePrimaryButton(this);
  back_ = makePrimaryButton(this);
  connect(apply_, &QPushButton::clicked, this, &TempCalResultPage::applyRequested);
  connect(cancel_, &QPushButton::clicked, this, &TempCalResultPage::cancelRequested);
  connect(back_, &QPushButton::clicked, this, &TempCalResultPage::cancelRequested);
  refresh();
  relayout();
}

void TempCalResultPage::setResult(int lang, double refC, double measuredC, double offsetC) {
  lang_ = lang;
  refC_ = refC;
  measuredC_ = measuredC;
  // A negative zero would read "+-0.0".
  offsetC_ = offsetC == 0.0 ? 0.0 : offsetC;
  failed_ = false;
  refresh();
}

void TempCalResultPage::setFailedResult(int lang, double refC) {
  lang_ = lang;
  refC_ = refC;
  measuredC_ = 0.0;
  offsetC_ = 0.0;
  failed_ = true;
  refresh();
}

void TempCalResultPage::applyLanguage(int lang) {
  lang_ = lang;
  refresh();
}

void TempCalResultPage::refresh() {
  title_->setText(pickText(lang_, texts::kCalResultTitle));
  refLine_->setText(pickText(lang_, texts::kCalRef).arg(num1(refC_)));
  measLine_->setText(pickText(lang_, texts::kCalMeas).arg(num1(measuredC_)));
  offsetLine_->setText(pickText(lang_, texts::kCalOffset)
                           .arg(offsetC_ < 0 ? QString() : QStringLiteral("+"), num1(offsetC_)));
  failLine_->setText(pickText(lang_, texts::kCalFailed));
  pairWidth_ = setPrimaryTexts({{apply_, pickText(lang_, texts::kApply)},
                                {cancel_, pickText(lang_, texts::kCancel)}},
                               kNarrowButtonWidth, kWideButtonRect.width(), uiScale());
  setPrimaryTexts({{back_, pickText(lang_, texts::kCalBack)}}, kWideButtonRect.width(),
                  kWideButtonRect.width(), uiScale());

  measLine_->setVisible(!failed_);
  offsetLine_->setVisible(!failed_);
  apply_->setVisible(!failed_);
  cancel_->setVisible(!failed_);
  failLine_->setVisible(failed_);
  back_->setVisible(failed_);
  relayout();
}

void TempCalResultPage::relayout() {
  title_->setGeometry(titleRect(uiScale()));
  refLine_->setGeometry(12, 72, 336, 28);
  measLine_->setGeometry(12, 106, 336, 28);
  offsetLine_->setGeometry(12, 140, 336, 32);
  failLine_->setGeometry(12, 106, 336, 120);
  // The pair keeps its 16 px gap in the middle of the page as it widens.
  apply_->setGeometry(172 - pairWidth_, 264, pairWidth_, 44);
  cancel_->setGeometry(188, 264, pairWidth_, 44);
  back_->setGeometry(kWideButtonRect);
}
