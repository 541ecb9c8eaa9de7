#pragma once
// Brightness: the current level (0-100) on the ring, stepped by one with the
// pills. The page only asks; the level comes back through setBrightness once
// the owner has applied it.
#include "ui/valueeditorpage.h"

class AdjustPage : public ValueEditorPage {
  Q_OBJECT

 public:
  AdjustPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;

  void setBrightness(int percent);
  int brightness() const;

 signals:
  void nudgeBrightnessRequested(int delta);

 protected:
  void step(int direction) override;
};
