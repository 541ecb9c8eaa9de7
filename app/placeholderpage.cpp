#include "app/placeholderpage.h"

#include <QLabel>

#include "ui/uistyle.h"

PlaceholderPage::PlaceholderPage(const UiText& title, double uiScale, QWidget* parent)
    : UiPage(parent, uiScale), title_(title), label_(new QLabel(this)) {
  label_->setAlignment(Qt::AlignCenter);
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->setStyleSheet(styleWithFont(15,
                                      QStringLiteral("color:#ffffff; font-weight:600;"
                                                     "background-color:rgba(0,0,0,150);"
                                                     "border-radius:12px;"),
                                      uiScale));
  applyLanguage(1);
}

void PlaceholderPage::applyLanguage(int lang) { label_->setText(pickText(lang, title_)); }

void PlaceholderPage::relayout() { label_->setGeometry(40, height() / 2 - 40, width() - 80, 80); }

bool PlaceholderPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backToMenuRequested();
  return true;
}
