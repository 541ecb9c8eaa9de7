#pragma once
// The page on top during normal use: the live picture shows through it. A
// thin status band carries the battery, the charge percentage, the SD card
// and the super-resolution badge; two lines at the bottom show a running
// recording and the idle-sleep countdown. The main window pushes every value.
#include "ui/uipage.h"

class Battery;
class QLabel;

class HomePage : public UiPage {
  Q_OBJECT

 public:
  HomePage(QWidget* parent, double uiScale);

  void applyLanguage(int lang) override;
  void relayout() override;

  void setBatteryPercent(int percent);
  void setCharging(bool on);
  void setBatteryVisible(bool visible);
  void setSrBadgeVisible(bool visible);
  // Unless forced, nothing happens when the icon already shows this state.
  void setSdCardPresent(bool present, bool force = false);
  void setRecordingVisible(bool visible);
  // "● REC 07:05"; the dot is two blanks while blinkOn is false.
  void setRecordingTime(bool blinkOn, int minutes, int seconds);
  void setSleepCountdownVisible(bool visible);
  void setSleepCountdown(int seconds);

  int language() const { return lang_; }
  bool isCharging() const { return charging_; }
  bool sdCardPresent() const { return sdPresent_; }

  // The children, for the main window's screenshot and for tests.
  Battery* battery() const { return battery_; }
  QLabel* percentLabel() const { return percent_; }
  QLabel* sdIcon() const { return sdIcon_; }
  QLabel* srBadge() const { return srBadge_; }
  QLabel* recordingLine() const { return recLine_; }
  QLabel* sleepLine() const { return sleepLine_; }
  QWidget* statusBand() const { return band_; }

 private:
  void build();
  void raiseIndicators();

  QWidget* band_ = nullptr;
  Battery* battery_ = nullptr;
  QLabel* percent_ = nullptr;
  QLabel* sdIcon_ = nullptr;
  QLabel* srBadge_ = nullptr;
  QLabel* recLine_ = nullptr;
  QLabel* sleepLine_ = nullptr;
  int lang_ = 1;
  bool charging_ = false;
  bool sdSet_ = false;
  bool sdPresent_ = false;
};
