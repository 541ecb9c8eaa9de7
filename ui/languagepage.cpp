#include "ui/languagepage.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "ui/pictures.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
const QSize kFlagSize(58, 50);
const int kFlagX[LanguagePage::kLanguageCount] = {85, 151, 217};
constexpr int kFlagY = 120;
constexpr int kNameTop = 182;

int clampLanguage(int lang) { return (lang == 0 || lang == 2) ? lang : 1; }
}  // namespace

LanguagePage::LanguagePage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) { build(); }

QString LanguagePage::flagKey(int lang) {
  static const char* const kKeys[kLanguageCount] = {"cn", "en", "ru"};
  return QString::fromLatin1(kKeys[clampLanguage(lang)]);
}

void LanguagePage::build() {
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);
  title_->setStyleSheet(styleWithFont(look::kTitlePx, look::kTitleCss, uiScale()));
  for (int lang = 0; lang < kLanguageCount; ++lang) {
    auto* b = new QPushButton(this);
    b->setFlat(true);
    b->setStyleSheet(QStringLiteral("border:none; background:transparent;"));
    b->setIconSize(kFlagSize);
    connect(b, &QPushButton::clicked, this, [this, lang] { emit languageSelected(lang); });
    flags_[lang] = b;
    addTapTarget(b);
  }
  name_ = new QLabel(this);
  name_->setWordWrap(false);
  name_->setStyleSheet(
      styleWithFont(16, QStringLiteral("font-weight:600; margin:0; padding:0;"), uiScale()));
  for (QLabel* l : {title_, name_}) l->setAttribute(Qt::WA_TransparentForMouseEvents);
  applyLanguage(lang_);
}

void LanguagePage::applyLanguage(int lang) {
  lang_ = clampLanguage(lang);
  title_->setText(pickText(lang_, texts::kLanguageTitle));
  for (int i = 0; i < kLanguageCount; ++i) {
    QPixmap pm = loadPicture(flagKey(i) + (i == lang_ ? QStringLiteral("_selected.png")
                                                      : QStringLiteral("_normal.png")));
    if (!pm.isNull() && pm.size() != kFlagSize)
      pm = pm.scaled(kFlagSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    flags_[i]->setIcon(pm.isNull() ? QIcon() : QIcon(pm));
  }
  name_->setText(QString::fromUtf8(texts::kLanguageNames[lang_]));
  relayout();
}

void LanguagePage::relayout() {
  const int t = std::max(26, static_cast<int>(std::lround(22 * uiScale())));
  title_->setGeometry(12, 12, 336, t);
  for (int i = 0; i < kLanguageCount; ++i)
    flags_[i]->setGeometry(QRect(QPoint(kFlagX[i], kFlagY), kFlagSize));
  name_->adjustSize();
  name_->move((width() - name_->width()) / 2, kNameTop);
}

bool LanguagePage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (isSwipeUp(press, release)) {
    emit backToMenuRequested();
    return true;
  }
  if (isHorizontalSwipe(press, release)) {
    const bool left = release.x() < press.x();
    emit languageSelected((lang_ + (left ? 1 : -1) + kLanguageCount) % kLanguageCount);
    return true;
  }
  return false;
}

bool LanguagePage::filterPageEvent(QObject* watched, QEvent* event) {
  return filterTapTargets(watched, event);
}
