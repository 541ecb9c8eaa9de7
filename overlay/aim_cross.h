#pragma once
// The reticle shapes. One object of each shape lives in the overlay; the one
// selected paints the reticle. The base class also paints what every shape
// shares: the full-screen status pictures, the charging screen, the zeroing
// cross-hair and the zoom text.
#include <QColor>
#include <QPointF>
#include <QString>

class QPainter;

namespace aimdraw {

// Reticle colour index -> colour: 0 black, 1 red, 2 white. Anything else
// gives black (callers keep indexes in range).
QColor reticleColor(int index);

// ":/pictures/zh/", ":/pictures/en/" or ":/pictures/ru/" by language index;
// any other index is English.
QString pictureDir(int language);

// Where a centre stored in window pixels is drawn at zoom `zoom`: scaled
// about the window centre (180, 160).
QPointF drawnCenter(double centerX, double centerY, double zoom);

// Largest pixel size (29 down to 7) for the charging percentage whose font
// height stays below 30.
int chargingPercentPixelSize();
// Largest pixel size in 6..74 at which `title` fits into `width`.
int chargingTitlePixelSize(const QString& title, double width);
// "Charging" / "Fully charged" in the language.
QString chargingTitle(int language, int percent);

}  // namespace aimdraw

class aim_cross_base {
 public:
  aim_cross_base() = default;
  aim_cross_base(const aim_cross_base&) = delete;
  aim_cross_base& operator=(const aim_cross_base&) = delete;

  virtual void drawStatusImages(QPainter* painter, bool powerOff, int language, bool lowPower);
  virtual void drawChargingScreen(QPainter* painter, int language, int percent);
  virtual void drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                           double centerX, double centerY, double zoom) = 0;
  virtual void drawZeroPreview(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                               double centerX, double centerY, double zoom, int mode, int offsetX,
                               int offsetY, int language);
  virtual void drawZoomText(QPainter* painter, double centerX, double centerY, double zoom);
  virtual ~aim_cross_base();

 protected:
  // Pieces the shapes combine; `c` is the drawn centre.
  static void drawCenterDot(QPainter* painter, const QColor& dotColor, const QPointF& c);
  static void drawTicks(QPainter* painter, const QPointF& c);
  static void drawBrokenCircle(QPainter* painter, const QPointF& c);
};

// Centre dot only.
class aim_cross_one : public aim_cross_base {
 public:
  void drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                   double centerX, double centerY, double zoom) override;
};

// Centre dot and four ticks.
class aim_cross_two : public aim_cross_base {
 public:
  void drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                   double centerX, double centerY, double zoom) override;
};

// Broken circle and centre dot.
class aim_cross_three : public aim_cross_base {
 public:
  void drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                   double centerX, double centerY, double zoom) override;
};

// Broken circle, four ticks and centre dot.
class aim_cross_four : public aim_cross_base {
 public:
  void drawReticle(QPainter* painter, const QColor& lineColor, const QColor& dotColor,
                   double centerX, double centerY, double zoom) override;
};
