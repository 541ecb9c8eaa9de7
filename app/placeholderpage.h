#pragma once
// A page of the stack whose own content is not built yet: a dark panel with
// the page's name over the live picture. It behaves like every page: a swipe
// up returns to the menu.
#include "ui/texts.h"
#include "ui/uipage.h"

class QLabel;

class PlaceholderPage : public UiPage {
  Q_OBJECT
 public:
  PlaceholderPage(const UiText& title, double uiScale, QWidget* parent);
  void applyLanguage(int lang) override;
  void relayout() override;
  bool handleSwipe(const QPoint& press, const QPoint& release) override;

 private:
  UiText title_;
  QLabel* label_;
};
