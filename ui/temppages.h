#pragma once
// The temperature pages: the readout switch with the way into calibration,
// the choice of reference, the blackbody set point, the guide before a run
// and the result after it. They show what the main window gives them and
// report the user's wishes through signals; the calibration itself runs in
// the main window.
#include <QString>

#include "ui/uipage.h"

class BrightnessPillButton;
class BrightnessRingWidget;
class QLabel;
class QPushButton;
class QTimer;
class ToggleSwitchButton;

// The two lines of the banner over the live view during a run: the aiming
// hint, and the countdown of the phase (1 settling, 2 sampling; empty for
// any other phase).
QString calibrationBannerLine1(int lang);
QString calibrationBannerLine2(int lang, int phase, int countdown);

// The readout switch and, while the readout is on, the calibration row.
class TempMeasurePage : public UiPage {
  Q_OBJECT

 public:
  TempMeasurePage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  void setState(bool enabled, int lang);
  bool isEnabledShown() const { return enabled_; }

  ToggleSwitchButton* switchButton() const { return switch_; }
  QPushButton* calibrationRow() const { return calRow_; }

 signals:
  void toggleRequested(bool enabled);
  void calibrateRequested();

 private:
  void build();

  QLabel* title_ = nullptr;
  QLabel* rowLabel_ = nullptr;
  ToggleSwitchButton* switch_ = nullptr;
  QPushButton* calRow_ = nullptr;
  QLabel* calLabel_ = nullptr;
  QLabel* chevron_ = nullptr;
  bool enabled_ = false;
  int lang_ = 1;
};

// Four references, one row each, in the order of CalibrationFlow::Reference.
class TempCalRefPage : public UiPage {
  Q_OBJECT

 public:
  TempCalRefPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  static constexpr int kRows = 4;
  QPushButton* rowButton(int row) const;

 signals:
  void refSelected(int refType);
  void backToTempMeasureRequested();

 private:
  void build();

  QLabel* title_ = nullptr;
  QPushButton* rows_[kRows] = {};
  QLabel* labels_[kRows] = {};
  QLabel* chevrons_[kRows] = {};
};

// The blackbody's set point on a ring gauge, with minus and plus buttons that
// step on press and keep stepping while held.
class TempCalBlackbodyPage : public UiPage {
  Q_OBJECT

 public:
  TempCalBlackbodyPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  void setSetPoint(int lang, double valueC);
  double setPoint() const { return valueC_; }

  static constexpr double kStepC = 0.5;
  static constexpr int kRepeatMs = 120;
  // The gauge's fill for a set point of the 20-550 °C range.
  static int gaugePercent(double valueC);

  BrightnessRingWidget* gauge() const { return ring_; }
  BrightnessPillButton* minusButton() const { return minus_; }
  BrightnessPillButton* plusButton() const { return plus_; }
  QPushButton* nextButton() const { return next_; }
  QTimer* repeatTimer() const { return repeat_; }

 public slots:
  // One more step of the button being held (the repeat timer's slot); does
  // nothing once neither button is down.
  void repeatHeldStep();

 signals:
  void nudgeRequested(double deltaC);
  void confirmRequested();
  void backToRefRequested();

 private:
  void build();
  void beginHold(double deltaC);
  void endHold();

  QLabel* title_ = nullptr;
  BrightnessRingWidget* ring_ = nullptr;
  BrightnessPillButton* minus_ = nullptr;
  BrightnessPillButton* plus_ = nullptr;
  QPushButton* next_ = nullptr;
  QTimer* repeat_ = nullptr;
  BrightnessPillButton* touchHeld_ = nullptr;
  double heldDelta_ = 0.0;
  double valueC_ = 37.0;
  int lang_ = 1;
};

// What to do with the chosen reference, and the Start button.
class TempCalGuidePage : public UiPage {
  Q_OBJECT

 public:
  TempCalGuidePage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;

  void setReference(int refType, int lang, double refC);
  // The guide's text for a reference (empty for an unknown one).
  static QString bodyText(int refType, int lang, double refC);

  QLabel* bodyLabel() const { return body_; }
  QPushButton* startButton() const { return start_; }

 signals:
  void startRequested();
  void backRequested();

 private:
  void build();

  QLabel* title_ = nullptr;
  QLabel* body_ = nullptr;
  QPushButton* start_ = nullptr;
  int refType_ = 0;
  double refC_ = 100.0;
  int lang_ = 1;
};

// The figures of a finished run, to apply or cancel; a run without enough
// readings shows as failed and can only be left.
class TempCalResultPage : public UiPage {
  Q_OBJECT

 public:
  TempCalResultPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;

  void setResult(int lang, double refC, double measuredC, double offsetC);
  void setFailedResult(int lang, double refC);
  bool showsFailure() const { return failed_; }

  QLabel* refLine() const { return refLine_; }
  QLabel* measLine() const { return measLine_; }
  QLabel* offsetLine() const { return offsetLine_; }
  QLabel* failureLine() const { return failLine_; }
  QPushButton* applyButton() const { return apply_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* backButton() const { return back_; }

 signals:
  void applyRequested();
  void cancelRequested();

 private:
  void build();
  void refresh();

  QLabel* title_ = nullptr;
  QLabel* refLine_ = nullptr;
  QLabel* measLine_ = nullptr;
  QLabel* offsetLine_ = nullptr;
  QLabel* failLine_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* back_ = nullptr;
  double refC_ = 0.0;
  double measuredC_ = 0.0;
  double offsetC_ = 0.0;
  int pairWidth_ = 100;
  bool failed_ = false;
  int lang_ = 1;
};
