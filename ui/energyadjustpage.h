#pragma once
// The editor of one power save time: idle sleep (target 0) or automatic
// power-off (target 1), in minutes, stepped by five. The limits are the
// owner's; the page shows what it is given.
#include "ui/valueeditorpage.h"

class EnergyAdjustPage : public ValueEditorPage {
  Q_OBJECT

 public:
  enum Target { IdleSleep = 0, AutoPowerOff = 1 };
  static constexpr int kStepMinutes = 5;

  EnergyAdjustPage(QWidget* parent, double uiScale);

  // Also re-translates the title and unit of the value last set.
  void applyLanguage(int lang) override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;

  // The ring fills value / max (0 when max <= 0) and shows the value and its
  // unit; any target other than 0 is the power-off time.
  void setValue(int target, int value, int max, int lang);

  int target() const { return target_; }
  int value() const { return value_; }
  int maximum() const { return max_; }
  // round(value x 100 / max), 0 when max <= 0.
  static int fillPercent(int value, int max);

 signals:
  void nudgeRequested(int delta);
  void backToEnergySavingRequested();

 protected:
  void step(int direction) override;

 private:
  void refresh();

  int target_ = IdleSleep;
  int value_ = 0;
  int max_ = 100;
  int lang_ = 1;
};
