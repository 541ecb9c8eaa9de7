#include "overlay/zeroingpage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/texts.h"
#include "ui/uistyle.h"

ZeroingPage::ZeroingPage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
  relayout();
}

void ZeroingPage::build() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);

  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  title_->setStyleSheet(styleWithFont(15, QStringLiteral("font-weight:600;"), uiScale()));
  layout->addWidget(title_);

  offsets_ = new QLabel(this);
  offsets_->setAlignment(Qt::AlignCenter);
  offsets_->setStyleSheet(styleWithFont(13, QStringLiteral("color:#d8dde3;"), uiScale()));
  layout->addWidget(offsets_, 0, Qt::AlignHCenter);
  layout->addStretch(1);

  // Presses on the labels belong to the page (the zeroing drag).
  title_->setAttribute(Qt::WA_TransparentForMouseEvents);
  offsets_->setAttribute(Qt::WA_TransparentForMouseEvents);

  applyLanguage(1);
  setOffsets(0, 0);
}

void ZeroingPage::applyLanguage(int lang) { title_->setText(pickText(lang, texts::kZeroingTitle)); }

void ZeroingPage::setOffsets(int x, int y) {
  offsets_->setText(QStringLiteral("X: %1   Y: %2").arg(x).arg(y));
}

QString ZeroingPage::titleText() const { return title_->text(); }

QString ZeroingPage::offsetText() const { return offsets_->text(); }
