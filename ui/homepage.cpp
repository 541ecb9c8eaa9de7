#include "ui/homepage.h"

#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/paths.h"
#include "ui/battery.h"
#include "ui/pictures.h"
#include "ui/texts.h"
#include "ui/uistyle.h"

namespace {
constexpr int kBandHeight = 30;
constexpr char kLineCss[] = "color:#ff3b30; font-weight:700;";
}  // namespace

HomePage::HomePage(QWidget* parent, double uiScale) : UiPage(parent, uiScale) {
  build();
  setSdCardPresent(QFileInfo::exists(platform::qpath(QStringLiteral("/dev/mmcblk1p1"))), true);
}

void HomePage::build() {
  band_ = new QWidget(this);
  band_->setAutoFillBackground(true);
  band_->setStyleSheet(QStringLiteral("background-color: rgba(0, 0, 0, 150);"));
  band_->setAttribute(Qt::WA_TransparentForMouseEvents);

  battery_ = new Battery(this);
  battery_->setFixedSize(40, 21);
  battery_->setRange(0, 100);
  battery_->setValue(0);
  battery_->setAttribute(Qt::WA_TransparentForMouseEvents);

  percent_ = new QLabel(this);
  // A fixed pixel size: the band is fixed too, whatever the interface scale.
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(25);
  percent_->setFont(f);
  percent_->setStyleSheet(QStringLiteral("color: white;"));
  percent_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  percent_->setFixedHeight(21);
  percent_->setText(QStringLiteral("0%"));

  sdIcon_ = new QLabel(this);
  sdIcon_->move(200, 4);
  sdIcon_->hide();

  srBadge_ = new QLabel(QStringLiteral("SR"), this);
  srBadge_->setStyleSheet(QStringLiteral("color:#56f5d7; font-weight:700; font-size:24px;"));
  srBadge_->adjustSize();
  srBadge_->move(120, -2);
  srBadge_->hide();

  const QString lineStyle = styleWithFont(9, QString::fromLatin1(kLineCss), uiScale());
  recLine_ = new QLabel(this);
  recLine_->setStyleSheet(lineStyle);
  recLine_->setAlignment(Qt::AlignCenter);
  recLine_->hide();
  sleepLine_ = new QLabel(this);
  sleepLine_->setStyleSheet(lineStyle);
  sleepLine_->setAlignment(Qt::AlignCenter);
  sleepLine_->hide();

  for (QLabel* l : {percent_, sdIcon_, srBadge_, recLine_, sleepLine_})
    l->setAttribute(Qt::WA_TransparentForMouseEvents);

  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(4);
  top->addStretch(1);
  top->addWidget(battery_, 0, Qt::AlignVCenter);
  top->addWidget(percent_, 0, Qt::AlignVCenter);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(12, 4, 12, 12);
  v->setSpacing(6);
  v->addLayout(top);
  v->addStretch(1);
  v->addWidget(recLine_, 0, Qt::AlignHCenter);
  v->addWidget(sleepLine_, 0, Qt::AlignHCenter);

  relayout();
}

void HomePage::applyLanguage(int lang) { lang_ = lang; }

void HomePage::relayout() {
  band_->setGeometry(0, 0, 360, kBandHeight);
  raiseIndicators();
}

void HomePage::raiseIndicators() {
  band_->raise();
  battery_->raise();
  percent_->raise();
  if (!sdIcon_->isHidden()) sdIcon_->raise();
  if (!srBadge_->isHidden()) srBadge_->raise();
}

void HomePage::setBatteryPercent(int percent) {
  // The gauge clamps its value; the text follows, so both always agree.
  const int shown = std::clamp(percent, 0, 100);
  battery_->setValue(shown);
  percent_->setText(QStringLiteral("%1%").arg(shown));
  raiseIndicators();
}

void HomePage::setCharging(bool on) {
  if (on == charging_) return;
  charging_ = on;
  battery_->setCharging(on);
  if (percent_->isHidden()) percent_->show();
  raiseIndicators();
}

void HomePage::setBatteryVisible(bool visible) {
  battery_->setVisible(visible);
  percent_->setVisible(visible);
  raiseIndicators();
}

void HomePage::setSrBadgeVisible(bool visible) {
  srBadge_->setVisible(visible);
  raiseIndicators();
}

void HomePage::setSdCardPresent(bool present, bool force) {
  if (!force && sdSet_ && sdPresent_ == present) return;
  sdSet_ = true;
  sdPresent_ = present;
  const QPixmap pm =
      loadPicture(present ? QStringLiteral("sd-card.png") : QStringLiteral("sd-card-off.png"));
  if (pm.isNull()) {
    sdIcon_->hide();
  } else {
    sdIcon_->setPixmap(pm);
    sdIcon_->resize(pm.size() / pm.devicePixelRatio());
    sdIcon_->show();
  }
  raiseIndicators();
}

void HomePage::setRecordingVisible(bool visible) {
  recLine_->setVisible(visible);
  if (visible) recLine_->raise();
  raiseIndicators();
}

void HomePage::setRecordingTime(bool blinkOn, int minutes, int seconds) {
  const QString dot = blinkOn ? QStringLiteral("\u25CF ") : QStringLiteral("  ");
  recLine_->setText(QStringLiteral("%1%2 %3:%4")
                        .arg(dot, pickText(lang_, texts::kHomeRec))
                        .arg(minutes, 2, 10, QLatin1Char('0'))
                        .arg(seconds, 2, 10, QLatin1Char('0')));
  raiseIndicators();
}

void HomePage::setSleepCountdownVisible(bool visible) {
  sleepLine_->setVisible(visible);
  if (visible) sleepLine_->raise();
  raiseIndicators();
}

void HomePage::setSleepCountdown(int seconds) {
  sleepLine_->setText(pickText(lang_, texts::kHomeSleepCountdown).arg(seconds));
  raiseIndicators();
}
