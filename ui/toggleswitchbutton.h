#pragma once
// The on/off switch of the temperature and power save pages: one of two
// pictures, drawn unscaled.
#include <QPixmap>
#include <QPushButton>

class ToggleSwitchButton : public QPushButton {
  Q_OBJECT

 public:
  explicit ToggleSwitchButton(QWidget* parent = nullptr);

  bool isOn() const { return on_; }
  // The size of the "on" picture, or 90 x 45 when it cannot be loaded (the
  // size the pages lay out for).
  QSize switchSize() const;

 public slots:
  void setOn(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool on_ = false;
  QPixmap onPixmap_;
  QPixmap offPixmap_;
};
