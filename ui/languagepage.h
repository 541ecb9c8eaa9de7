#pragma once
// The interface language: three flags (Chinese, English, Russian), the
// current one highlighted and its own name beneath. A tap on a flag or a
// sideways swipe asks for a language; the owner switches the interface and
// re-translates this page with the result.
#include "ui/uipage.h"

class QLabel;
class QPushButton;

class LanguagePage : public UiPage {
  Q_OBJECT

 public:
  static constexpr int kLanguageCount = 3;

  LanguagePage(QWidget* parent, double uiScale);

  // Also the current language: its flag is the selected one.
  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;
  bool filterPageEvent(QObject* watched, QEvent* event) override;

  int language() const { return lang_; }
  // "cn", "en", "ru".
  static QString flagKey(int lang);

  QPushButton* flagButton(int lang) const { return flags_[lang]; }
  QLabel* nameLabel() const { return name_; }

 signals:
  void languageSelected(int lang);

 private:
  void build();

  QLabel* title_ = nullptr;
  QPushButton* flags_[kLanguageCount] = {nullptr, nullptr, nullptr};
  QLabel* name_ = nullptr;
  int lang_ = 1;
};
