#include "ui/adjustpage.h"

#include <QLabel>

#include "ui/brightnessringwidget.h"
#include "ui/texts.h"

AdjustPage::AdjustPage(QWidget* parent, double uiScale) : ValueEditorPage(parent, uiScale) {
  // The ring's centre keeps its sun: the fill is the level.
  applyLanguage(1);
}

void AdjustPage::applyLanguage(int lang) { setTitle(pickText(lang, texts::kBrightnessTitle)); }

bool AdjustPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backToMenuRequested();
  return true;
}

void AdjustPage::setBrightness(int percent) { ring()->setValue(percent); }

int AdjustPage::brightness() const { return ring()->value(); }

void AdjustPage::step(int direction) { emit nudgeBrightnessRequested(direction > 0 ? 1 : -1); }
