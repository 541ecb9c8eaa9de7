#pragma once
// A circular gauge: a grey track with the value swept clockwise from twelve
// o'clock in the accent colour, and in the middle either a sun symbol or a
// value with its unit.
#include <QString>
#include <QWidget>

class BrightnessRingWidget : public QWidget {
  Q_OBJECT

 public:
  explicit BrightnessRingWidget(QWidget* parent = nullptr);

  int value() const { return value_; }
  QString valueText() const { return valueText_; }
  QString unitText() const { return unitText_; }

  static const QColor kTrackColor;
  static const QColor kAccentColor;
  // Radii of the ring for a widget whose smaller side is `side`.
  static double outerRadius(int side);
  static double innerRadius(int side);

 public slots:
  // Clamped to 0-100.
  void setValue(int value);
  void setText(const QString& valueText, const QString& unitText);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void drawSun(QPainter& p, const QPointF& c, double outer);
  void drawTexts(QPainter& p, const QPointF& c, double inner);

  int value_ = 50;
  QString valueText_;
  QString unitText_;
};
