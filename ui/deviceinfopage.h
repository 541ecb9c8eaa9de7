#pragma once
// Device information: the version, the board's serial number and the
// firmware name. The serial number is read afresh each time the page is
// translated, through the reader it is given (none: shown empty).
#include <functional>

#include "ui/uipage.h"

class QLabel;

class DeviceInfoPage : public UiPage {
  Q_OBJECT

 public:
  using SerialReader = std::function<QString()>;

  DeviceInfoPage(QWidget* parent, double uiScale, SerialReader serialReader = {});

  void applyLanguage(int lang) override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;

  // "<version>\nSN: <serial>\nFW: <firmware>" in the language.
  static QString infoText(int lang, const QString& serial);

  QLabel* titleLabel() const { return title_; }
  QLabel* infoLabel() const { return info_; }
  // The information as plain text, as last shown.
  QString shownText() const { return shownText_; }

 private:
  SerialReader serialReader_;
  QLabel* title_ = nullptr;
  QLabel* info_ = nullptr;
  QString shownText_;
};
