#pragma once
// The layout shared by the pages that edit one number on a ring gauge
// (brightness, the power save minutes): a title, the ring, and a minus and a
// plus pill. A pill steps once when pressed and again every 120 ms while it
// is held.
#include "ui/uipage.h"

class QLabel;
class QTimer;
class BrightnessRingWidget;
class BrightnessPillButton;

class ValueEditorPage : public UiPage {
  Q_OBJECT

 public:
  ValueEditorPage(QWidget* parent, double uiScale);

  void relayout() override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  static constexpr int kRepeatMs = 120;

  QLabel* titleLabel() const { return title_; }
  BrightnessRingWidget* ring() const { return ring_; }
  BrightnessPillButton* minusButton() const { return minus_; }
  BrightnessPillButton* plusButton() const { return plus_; }
  QTimer* repeatTimer() const { return repeat_; }

 protected:
  // The title, its font stepped down when the text is wider than the page.
  void setTitle(const QString& text);
  // One step in the direction of the pill (-1 minus, +1 plus).
  virtual void step(int direction) = 0;
  void hideEvent(QHideEvent* event) override;

 private:
  void build();
  void startRepeat(int direction);
  void stopRepeat();

  QLabel* title_ = nullptr;
  BrightnessRingWidget* ring_ = nullptr;
  BrightnessPillButton* minus_ = nullptr;
  BrightnessPillButton* plus_ = nullptr;
  QTimer* repeat_ = nullptr;
  int repeatDirection_ = 0;
};
