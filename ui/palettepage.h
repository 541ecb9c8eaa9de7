#pragma once
// Reticle and centre-dot colours (0 black, 1 red, 2 white). The user picks a
// row, then swipes sideways to step its colour. The page writes the new index
// into the owner's field (given as an address), announces it and asks for the
// settings to be saved; without addresses it keeps the two indices itself.
#include "ui/uipage.h"

class QLabel;
class QPushButton;

class PalettePage : public UiPage {
  Q_OBJECT

 public:
  enum Row { ReticleRow = 0, DotRow = 1 };
  static constexpr int kColorCount = 3;
  // The palette page's own, wider threshold for going back.
  static constexpr int kUpSwipeMin = 39;

  PalettePage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  // The owner's two colour fields; null keeps (or returns to) the page's own.
  // They must outlive the page or be replaced.
  void setColorFields(int* reticleColor, int* dotColor);
  // Writes both indices (into the owner's fields when given) and shows them.
  void setColors(int reticleColor, int dotColor);
  // Shows the fields' current values again (after the owner changed them).
  void refresh();

  int reticleColor() const { return colorOf(ReticleRow); }
  int dotColor() const { return colorOf(DotRow); }
  int selectedRow() const { return row_; }
  void selectRow(int row);
  // Steps the selected row's colour: +1 for a swipe to the left, -1 to the
  // right, wrapping; then announces it and asks for persistence.
  void stepColor(int direction);

  // "#000000", "#ff0000", "#ffffff"; indices outside 0-2 wrap into it.
  static QString swatchColor(int index);
  static int wrapColor(int index);

  QPushButton* reticleButton() const { return rowButtons_[ReticleRow]; }
  QPushButton* dotButton() const { return rowButtons_[DotRow]; }
  QLabel* colorNameLabel() const { return name_; }
  QLabel* swatch(int slot) const { return swatches_[slot]; }  // 0 previous, 1 current, 2 next

 signals:
  void reticleColorChanged(int color);
  void reticleDotColorChanged(int color);
  void persistRequested();

 private:
  void build();
  int colorOf(int row) const;
  bool isRowButton(QObject* o) const;

  QLabel* title_ = nullptr;
  QPushButton* rowButtons_[2] = {nullptr, nullptr};
  QLabel* name_ = nullptr;
  QLabel* swatches_[3] = {nullptr, nullptr, nullptr};
  int ownColors_[2] = {1, 1};
  int* fields_[2] = {&ownColors_[0], &ownColors_[1]};
  int row_ = ReticleRow;
  int lang_ = 1;
  // Set by a press on a row button: the next gesture is that press, not a
  // swipe.
  bool swallowNextGesture_ = false;
};
