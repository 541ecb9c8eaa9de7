#pragma once
// The round-ended minus/plus button of the value pages: grey minus, accent
// plus, darker while pressed, with a white sign.
#include <QPushButton>

class BrightnessPillButton : public QPushButton {
  Q_OBJECT

 public:
  enum Kind { Minus = 0, Plus = 1 };
  explicit BrightnessPillButton(Kind kind, QWidget* parent = nullptr);

  Kind kind() const { return kind_; }
  // The fill for a kind and pressed state.
  static QColor fillColor(Kind kind, bool pressed);
  // Pen width of the sign for a button height, and half the bar length for a
  // button width.
  static int signPenWidth(int height);
  static int signHalfLength(int width);

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Qt delivers a quick second tap as a press followed by a double-click,
  // and QAbstractButton takes the double-click for one more press: a step too
  // many. The double-click of a pill already held down is no press.
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  Kind kind_;
};
