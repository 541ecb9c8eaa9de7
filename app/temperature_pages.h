#pragma once
// The temperature pages (readout switch, reference, blackbody set point,
// guide, result), the calibration run behind them and its banner over the
// live view. Routed here; the window hears only what it acts on itself: the
// readout switched, a run starting or ending, an offset to store.
#include <QObject>
#include <functional>

class CalibrationFlow;
class QLabel;
class QTimer;
class QWidget;
class TempCalBlackbodyPage;
class TempCalGuidePage;
class TempCalRefPage;
class TempCalResultPage;
class TempMeasurePage;

class TemperaturePages : public QObject {
  Q_OBJECT
 public:
  // Pages are children of `parent`; the banner is a child of `bannerHost`
  // (the window's central widget). `measure` reads the centre without the
  // stored offset, which is what a run measures.
  TemperaturePages(QWidget* parent, QWidget* bannerHost, double uiScale,
                   std::function<bool(float*)> measure);

  QWidget* page(int index) const;
  void setLanguage(int lang) { lang_ = lang; }
  // The readout switch as stored.
  void setReadoutEnabled(bool on);
  // The banner shows over `overlay` (raised above it) while a run goes.
  void setOverlay(QWidget* overlay) { overlay_ = overlay; }

  CalibrationFlow* flow() const { return flow_; }
  QWidget* banner() const { return banner_; }

 signals:
  void backToMenuRequested();
  void showPageRequested(int index);
  void readoutToggled(bool on);
  // A run started (the live view is shown) or ended.
  void calibratingChanged(bool on);
  void offsetApplied(double offsetC);

 private:
  void buildBanner(QWidget* host, double uiScale);
  void showGuide();
  void showBlackbody();

  int lang_ = 1;
  double uiScale_;
  CalibrationFlow* flow_;
  // A run's seconds.
  QTimer* runTimer_;
  TempMeasurePage* measure_;
  TempCalRefPage* ref_;
  TempCalBlackbodyPage* blackbody_;
  TempCalGuidePage* guide_;
  TempCalResultPage* result_;
  QWidget* overlay_ = nullptr;
  QWidget* banner_ = nullptr;
  QLabel* line1_ = nullptr;
  QLabel* line2_ = nullptr;
};
