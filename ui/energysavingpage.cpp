#include "ui/energysavingpage.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <climits>
#include <cmath>

#include "ui/textfit.h"
#include "ui/texts.h"
#include "ui/toggleswitchbutton.h"
#include "ui/uistyle.h"

namespace {
constexpr int kRowY[2] = {104, 156};
constexpr int kRowH = 48;
// The title sits a little higher than on the other pages, clear of the
// switch row beneath it at every interface scale.
const QRect kTitleBox(12, 6, 336, 36);
constexpr int kSwitchRowTop = 46;
constexpr int kSwitchRowBottom = 93;
constexpr int kSwitchRight = 343;
const QSize kRowLabelBox(190, kRowH);
const QSize kRowValueBox(88, kRowH);
const char kValueCss[] = "color:#4ec6af;";
}  // namespace

EnergySavingPage::EnergySavingPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
}

void EnergySavingPage::build() {
  const double s = uiScale();
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);

  switchLabel_ = new QLabel(this);
  switchLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  switch_ = new ToggleSwitchButton(this);
  connect(switch_, &QPushButton::clicked, this, &EnergySavingPage::onSwitchClicked);
  addTapTarget(switch_);

  for (int row = 0; row < 2; ++row) {
    RowWidgets& r = rows_[row];
    r.button = new QPushButton(this);
    r.button->setFlat(true);
    r.button->setStyleSheet(QString::fromLatin1(look::kRowButtonCss));
    connect(r.button, &QPushButton::clicked, this, [this, row] { emit adjustRowClicked(row); });
    addTapTarget(r.button);
    r.label = new QLabel(this);
    r.label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    r.value = new QLabel(this);
    r.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    r.chevron = new QLabel(QStringLiteral(">"), this);
    r.chevron->setAlignment(Qt::AlignCenter);
    r.chevron->setStyleSheet(styleWithFont(look::kSecondaryPx, look::kSecondaryCss, s));
  }
  for (QLabel* l : findChildren<QLabel*>()) l->setAttribute(Qt::WA_TransparentForMouseEvents);
  refresh();
  relayout();
}

void EnergySavingPage::applyLanguage(int lang) {
  lang_ = lang;
  refresh();
}

void EnergySavingPage::setState(bool enabled, int idleMinutes, int powerOffMinutes, int lang,
                                bool sensorPresent) {
  enabled_ = enabled;
  minutes_[IdleSleepRow] = idleMinutes;
  minutes_[AutoPowerOffRow] = powerOffMinutes;
  lang_ = lang;
  sensorPresent_ = sensorPresent;
  refresh();
}

void EnergySavingPage::refresh() {
  const double s = uiScale();
  const QString title = pickText(lang_, texts::kPowerSaveTitle);
  title_->setText(title);
  setFittedStyle(title_, title, look::kTitlePx, QString::fromLatin1(look::kTitleCss), s,
                 kTitleBox.size());
  const QString switchText = pickText(lang_, texts::kPowerSaveRow);
  switchLabel_->setText(switchText);
  setFittedStyle(switchLabel_, switchText, look::kBodyPx, QString::fromLatin1(look::kBodyCss), s,
                 QSize(switchLabelWidth(), kSwitchRowBottom - kSwitchRowTop));
  switch_->setOn(shownOn());
  const UiText* names[2] = {&texts::kIdleSleep, &texts::kAutoPowerOff};
  QString labels[2], values[2];
  // The two rows read as one list: one size for both names and one for both
  // values, the size at which the longer of each fits (a little air between
  // a name and its value).
  int labelPx = INT_MAX, valuePx = INT_MAX;
  for (int row = 0; row < 2; ++row) {
    labels[row] = pickText(lang_, *names[row]);
    values[row] = pickText(lang_, texts::kMinutesValue).arg(minutes_[row]);
    labelPx = std::min(labelPx, fittedPx(rows_[row].label, labels[row], look::kBodyPx,
                                         QString::fromLatin1(look::kBodyCss), s,
                                         kRowLabelBox - QSize(6, 0), false));
    valuePx = std::min(valuePx, fittedPx(rows_[row].value, values[row], look::kBodyPx,
                                         QString::fromLatin1(kValueCss), s, kRowValueBox, false));
  }
  for (int row = 0; row < 2; ++row) {
    RowWidgets& r = rows_[row];
    r.label->setText(labels[row]);
    r.value->setText(values[row]);
    r.label->setStyleSheet(
        QStringLiteral("font-size:%1px; %2").arg(labelPx).arg(QLatin1String(look::kBodyCss)));
    r.value->setStyleSheet(
        QStringLiteral("font-size:%1px; %2").arg(valuePx).arg(QLatin1String(kValueCss)));
    for (QWidget* w : {static_cast<QWidget*>(r.button), static_cast<QWidget*>(r.label),
                       static_cast<QWidget*>(r.value), static_cast<QWidget*>(r.chevron)})
      w->setVisible(shownOn());
  }
}

int EnergySavingPage::switchLabelWidth() const {
  return std::max(0, kSwitchRight - switch_->switchSize().width() - 8 - 20);
}

void EnergySavingPage::relayout() {
  title_->setGeometry(kTitleBox);
  // The switch sits right-aligned at x 343, centred between y 46 and 93.
  const QSize sw = switch_->switchSize();
  switch_->move(kSwitchRight - sw.width(),
                kSwitchRowTop + (kSwitchRowBottom - kSwitchRowTop - sw.height()) / 2);
  switchLabel_->setGeometry(20, kSwitchRowTop, switchLabelWidth(),
                            kSwitchRowBottom - kSwitchRowTop);
  for (int row = 0; row < 2; ++row) {
    const int y = kRowY[row];
    RowWidgets& r = rows_[row];
    r.button->setGeometry(16, y, 328, kRowH);
    r.label->setGeometry(QRect(QPoint(20, y), kRowLabelBox));
    r.value->setGeometry(QRect(QPoint(218, y), kRowValueBox));
    // Wider and taller than the glyph's nominal 22 x 22 box: at the larger
    // scales the scaled ">" is wider than 22 px and was cut off.
    r.chevron->setGeometry(312, y, 32, kRowH);
  }
}

void EnergySavingPage::onSwitchClicked() {
  if (!sensorPresent_ && !shownOn()) {
    emit gsensorUnavailableRequested();
    return;
  }
  emit enabledChanged(!shownOn());
}

bool EnergySavingPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (isSwipeUp(press, release)) {
    emit backToMenuRequested();
    return true;
  }
  if (isHorizontalSwipe(press, release)) {
    const bool right = release.x() > press.x();
    if (right && !sensorPresent_)
      emit gsensorUnavailableRequested();
    else
      emit enabledChanged(right);
    return true;
  }
  return false;
}

bool EnergySavingPage::filterPageEvent(QObject* watched, QEvent* event) {
  return filterTapTargets(watched, event);
}
