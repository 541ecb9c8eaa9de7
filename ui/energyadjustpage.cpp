#include "ui/energyadjustpage.h"

#include <QLabel>
#include <cmath>

#include "ui/brightnessringwidget.h"
#include "ui/texts.h"

EnergyAdjustPage::EnergyAdjustPage(QWidget* parent, double uiScale)
    : ValueEditorPage(parent, uiScale) {
  refresh();
}

int EnergyAdjustPage::fillPercent(int value, int max) {
  if (max <= 0) return 0;
  return static_cast<int>(std::lround(value * 100.0 / max));
}

void EnergyAdjustPage::applyLanguage(int lang) {
  lang_ = lang;
  refresh();
}

bool EnergyAdjustPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backToEnergySavingRequested();
  return true;
}

void EnergyAdjustPage::setValue(int target, int value, int max, int lang) {
  target_ = target == IdleSleep ? IdleSleep : AutoPowerOff;
  value_ = value;
  max_ = max;
  lang_ = lang;
  refresh();
}

void EnergyAdjustPage::refresh() {
  setTitle(pickText(lang_, target_ == IdleSleep ? texts::kIdleSleep : texts::kAutoPowerOff));
  ring()->setValue(fillPercent(value_, max_));
  ring()->setText(QString::number(value_), pickText(lang_, texts::kMinutesUnit));
}

void EnergyAdjustPage::step(int direction) {
  emit nudgeRequested(direction > 0 ? kStepMinutes : -kStepMinutes);
}
