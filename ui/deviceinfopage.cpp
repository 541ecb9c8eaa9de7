#include "ui/deviceinfopage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/constants.h"
#include "ui/textfit.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
const char kInfoCss[] = "color:#d0d0d0;";
// The text's room inside the margins beneath the title.
const QSize kInfoBox(336, 220);
}  // namespace

DeviceInfoPage::DeviceInfoPage(QWidget* parent, double uiScale, SerialReader serialReader)
    : UiPage(parent, uiScale), serialReader_(std::move(serialReader)) {
  title_ = new QLabel(this);
  title_->setAlignment(Qt::AlignCenter);
  title_->setStyleSheet(styleWithFont(look::kTitlePx, look::kTitleCss, uiScale));
  info_ = new QLabel(this);
  info_->setWordWrap(true);
  info_->setTextFormat(Qt::RichText);
  info_->setStyleSheet(styleWithFont(16, QString::fromLatin1(kInfoCss), uiScale));
  for (QLabel* l : {title_, info_}) l->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(12, 12, 12, 12);
  v->addWidget(title_);
  v->addWidget(info_);
  v->addStretch(1);
}

QString DeviceInfoPage::infoText(int lang, const QString& serial) {
  return pickText(lang, texts::kDeviceInfoBody)
      .arg(QString::fromLatin1(heatlume::kVersionText), serial,
           QString::fromLatin1(heatlume::kDeviceName));
}

void DeviceInfoPage::applyLanguage(int lang) {
  title_->setText(pickText(lang, texts::kDeviceInfoTitle));
  const QString text = infoText(lang, serialReader_ ? serialReader_() : QString());
  // A long serial number shrinks its line rather than breaking it; the
  // lines keep some air between them.
  setFittedStyle(info_, text, 16, QString::fromLatin1(kInfoCss), uiScale(), kInfoBox);
  QString html = QStringLiteral("<div style=\"line-height:140%\">");
  html += text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
  html += QLatin1String("</div>");
  info_->setText(html);
  shownText_ = text;
}

bool DeviceInfoPage::handleSwipe(const QPoint& press, const QPoint& release) {
  if (!isSwipeUp(press, release)) return false;
  emit backToMenuRequested();
  return true;
}
