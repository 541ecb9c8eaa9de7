#pragma once
// Power save: the on/off switch and, while it is on, the two times (idle
// sleep, automatic power-off) as rows that open their editor. Power save
// needs the motion sensor; without one the switch always shows off and
// asking to turn it on reports the missing sensor instead.
#include "ui/uipage.h"

class QLabel;
class QPushButton;
class ToggleSwitchButton;

class EnergySavingPage : public UiPage {
  Q_OBJECT

 public:
  enum Row { IdleSleepRow = 0, AutoPowerOffRow = 1 };

  EnergySavingPage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  void setState(bool enabled, int idleMinutes, int powerOffMinutes, int lang, bool sensorPresent);

  // What the switch shows: enabled and a sensor to go with it.
  bool shownOn() const { return enabled_ && sensorPresent_; }
  bool sensorPresent() const { return sensorPresent_; }

  ToggleSwitchButton* switchButton() const { return switch_; }
  QPushButton* rowButton(int row) const { return rows_[row].button; }
  QLabel* rowLabel(int row) const { return rows_[row].label; }
  QLabel* rowValue(int row) const { return rows_[row].value; }

 signals:
  void enabledChanged(bool enabled);
  void adjustRowClicked(int target);
  void gsensorUnavailableRequested();

 private:
  struct RowWidgets {
    QPushButton* button = nullptr;
    QLabel* label = nullptr;
    QLabel* value = nullptr;
    QLabel* chevron = nullptr;
  };
  void build();
  void refresh();
  void onSwitchClicked();
  int switchLabelWidth() const;

  QLabel* title_ = nullptr;
  QLabel* switchLabel_ = nullptr;
  ToggleSwitchButton* switch_ = nullptr;
  RowWidgets rows_[2];
  bool enabled_ = false;
  bool sensorPresent_ = false;
  int minutes_[2] = {30, 60};
  int lang_ = 1;
};
