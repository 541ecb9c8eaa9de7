#pragma once
// The charge symbol of the home page's status band: an outlined body with a
// terminal on the right, filled by level in alarm, warning or normal colours,
// or wholly filled with a lightning bolt while charging.
#include <QColor>
#include <QWidget>

class Battery : public QWidget {
  Q_OBJECT

 public:
  explicit Battery(QWidget* parent = nullptr);

  double minValue() const { return minValue_; }
  double maxValue() const { return maxValue_; }
  double value() const { return value_; }
  double alarmValue() const { return alarmValue_; }
  double step() const { return step_; }
  int borderWidth() const { return borderWidth_; }
  int borderRadius() const { return borderRadius_; }
  int bgRadius() const { return bgRadius_; }
  int headRadius() const { return headRadius_; }
  QColor borderColorStart() const { return borderColorStart_; }
  QColor borderColorEnd() const { return borderColorEnd_; }
  QColor alarmColorStart() const { return alarmColorStart_; }
  QColor alarmColorEnd() const { return alarmColorEnd_; }
  QColor normalColorStart() const { return normalColorStart_; }
  QColor normalColorEnd() const { return normalColorEnd_; }

  // At or below this (and above the alarm value) the warning colours apply.
  static constexpr double kWarningValue = 60.0;
  static const QColor kWarningColorStart;
  static const QColor kWarningColorEnd;

  QSize sizeHint() const override { return QSize(40, 21); }

 public slots:
  void setRange(double minValue, double maxValue);
  void setRange(int minValue, int maxValue);
  void setMinValue(double minValue);
  void setMaxValue(double maxValue);
  void setValue(double value);
  void setValue(int value);
  void setCharging(bool on);
  bool isCharging() const { return charging_; }
  void setAlarmValue(double alarmValue);
  void setStep(double step);
  void setBorderWidth(int borderWidth);
  void setBorderRadius(int borderRadius);
  void setBgRadius(int bgRadius);
  void setHeadRadius(int headRadius);
  void setBorderColorStart(const QColor& color);
  void setBorderColorEnd(const QColor& color);
  void setAlarmColorStart(const QColor& color);
  void setAlarmColorEnd(const QColor& color);
  void setNormalColorStart(const QColor& color);
  void setNormalColorEnd(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRectF bodyRect() const;
  void drawBody(QPainter& p, const QRectF& body);
  void drawLevel(QPainter& p, const QRectF& body);
  void drawCharging(QPainter& p, const QRectF& body);
  void drawHead(QPainter& p, const QRectF& body);
  void applyRange(double minValue, double maxValue);
  template <typename T>
  void setAndRepaint(T& field, const T& v);

  double minValue_ = 0;
  double maxValue_ = 100;
  double value_ = 0;
  // What is on screen; follows value_ at once (there is no animation).
  double currentValue_ = 0;
  double alarmValue_ = 20;
  double step_ = 0.5;
  int borderWidth_ = 2;
  int borderRadius_ = 2;
  int bgRadius_ = 2;
  int headRadius_ = 2;
  QColor borderColorStart_{Qt::white};
  QColor borderColorEnd_{Qt::white};
  QColor alarmColorStart_{250, 118, 113};
  QColor alarmColorEnd_{204, 38, 38};
  QColor normalColorStart_{77, 196, 173};
  QColor normalColorEnd_{94, 247, 217};
  bool charging_ = false;
};
