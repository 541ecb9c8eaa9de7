#include "app/temperature_pages.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "app/page_table.h"
#include "thermal/calibration_flow.h"
#include "ui/temppages.h"
#include "ui/textfit.h"
#include "ui/uistyle.h"

namespace {
constexpr int kBannerAimPx = 12;
constexpr const char* kBannerAimCss = "color:#ffffff; background:transparent;";
constexpr int kBannerCountPx = 22;
constexpr const char* kBannerCountCss = "color:#4ec6af; font-weight:700; background:transparent;";
}  // namespace

TemperaturePages::TemperaturePages(QWidget* parent, QWidget* bannerHost, double uiScale,
                                   std::function<bool(float*)> measure)
    : QObject(parent),
      uiScale_(uiScale),
      flow_(new CalibrationFlow(std::move(measure), this)),
      runTimer_(new QTimer(this)),
      measure_(new TempMeasurePage(parent, uiScale)),
      ref_(new TempCalRefPage(parent, uiScale)),
      blackbody_(new TempCalBlackbodyPage(parent, uiScale)),
      guide_(new TempCalGuidePage(parent, uiScale)),
      result_(new TempCalResultPage(parent, uiScale)) {
  buildBanner(bannerHost, uiScale);
  auto show = [this](int index) { return [this, index] { emit showPageRequested(index); }; };

  connect(measure_, &TempMeasurePage::toggleRequested, this, &TemperaturePages::readoutToggled);
  connect(measure_, &UiPage::backToMenuRequested, this, &TemperaturePages::backToMenuRequested);
  connect(measure_, &TempMeasurePage::calibrateRequested, this, show(Pages::kTempCalRefPage));
  connect(ref_, &TempCalRefPage::backToTempMeasureRequested, this,
          show(Pages::kTempMeasurePage));
  connect(ref_, &TempCalRefPage::refSelected, this, [this](int ref) {
    flow_->selectReference(ref);
    if (ref == CalibrationFlow::Blackbody)
      showBlackbody();
    else
      showGuide();
  });
  connect(blackbody_, &TempCalBlackbodyPage::nudgeRequested, flow_,
          &CalibrationFlow::nudgeBlackbody);
  connect(blackbody_, &TempCalBlackbodyPage::confirmRequested, this, &TemperaturePages::showGuide);
  connect(blackbody_, &TempCalBlackbodyPage::backToRefRequested, this,
          show(Pages::kTempCalRefPage));
  connect(guide_, &TempCalGuidePage::backRequested, this, [this] {
    if (flow_->refType() == CalibrationFlow::Blackbody)
      showBlackbody();
    else
      emit showPageRequested(Pages::kTempCalRefPage);
  });
  connect(guide_, &TempCalGuidePage::startRequested, flow_, &CalibrationFlow::start);
  connect(result_, &TempCalResultPage::applyRequested, this, [this] {
    if (flow_->apply()) emit showPageRequested(Pages::kTempMeasurePage);
  });
  connect(result_, &TempCalResultPage::cancelRequested, this, show(Pages::kTempCalGuidePage));

  runTimer_->setInterval(1000);
  connect(runTimer_, &QTimer::timeout, flow_, &CalibrationFlow::tick);
  connect(flow_, &CalibrationFlow::calibratingChanged, this, [this](bool on) {
    if (on)
      runTimer_->start();
    else
      runTimer_->stop();
    emit calibratingChanged(on);
  });
  connect(flow_, &CalibrationFlow::bannerChanged, this, [this](int phase, int countdown) {
    // The lines' font sizes, scaled, are taller than their labels: fitted,
    // descenders and all.
    const QString aim = calibrationBannerLine1(lang_);
    const QString count = calibrationBannerLine2(lang_, phase, countdown);
    line1_->setText(aim);
    setFittedStyle(line1_, aim, kBannerAimPx, QLatin1String(kBannerAimCss), uiScale_,
                   line1_->size());
    line2_->setText(count);
    setFittedStyle(line2_, count, kBannerCountPx, QLatin1String(kBannerCountCss), uiScale_,
                   line2_->size());
  });
  connect(flow_, &CalibrationFlow::bannerVisibleChanged, this, [this](bool visible) {
    if (!visible) {
      banner_->hide();
      return;
    }
    if (overlay_) overlay_->raise();
    banner_->raise();
    banner_->show();
  });
  connect(flow_, &CalibrationFlow::setPointChanged, this,
          [this](double c) { blackbody_->setSetPoint(lang_, c); });
  connect(flow_, &CalibrationFlow::finished, this, [this](const CalibrationResult& r) {
    if (r.ok())
      result_->setResult(lang_, r.refC, r.measuredC, r.offsetC);
    else
      result_->setFailedResult(lang_, r.refC);
    emit showPageRequested(Pages::kTempCalResultPage);
  });
  connect(flow_, &CalibrationFlow::offsetApplied, this, &TemperaturePages::offsetApplied);
}

// The run's banner: full width, 88 px at the bottom, two centred lines.
void TemperaturePages::buildBanner(QWidget* host, double uiScale) {
  const int W = host->window()->width();
  const int H = host->window()->height();
  banner_ = new QWidget(host);
  banner_->setGeometry(0, H - 88, W, 88);
  banner_->setStyleSheet(QStringLiteral("background-color: rgba(0,0,0,165);"));
  banner_->setAttribute(Qt::WA_StyledBackground);
  banner_->setAttribute(Qt::WA_TransparentForMouseEvents);
  line1_ = new QLabel(banner_);
  line1_->setAlignment(Qt::AlignCenter);
  line1_->setGeometry(8, 8, W - 16, 28);
  line1_->setStyleSheet(styleWithFont(kBannerAimPx, QLatin1String(kBannerAimCss), uiScale));
  line2_ = new QLabel(banner_);
  line2_->setAlignment(Qt::AlignCenter);
  line2_->setGeometry(8, 36, W - 16, 40);
  line2_->setStyleSheet(styleWithFont(kBannerCountPx, QLatin1String(kBannerCountCss), uiScale));
  banner_->hide();
}

QWidget* TemperaturePages::page(int index) const {
  switch (index) {
    case Pages::kTempMeasurePage:
      return measure_;
    case Pages::kTempCalRefPage:
      return ref_;
    case Pages::kTempCalBlackbodyPage:
      return blackbody_;
    case Pages::kTempCalGuidePage:
      return guide_;
    case Pages::kTempCalResultPage:
      return result_;
    default:
      return nullptr;
  }
}

void TemperaturePages::setReadoutEnabled(bool on) { measure_->setState(on, lang_); }

void TemperaturePages::showGuide() {
  flow_->prepareGuide();
  guide_->setReference(flow_->refType(), lang_, flow_->refC());
  emit showPageRequested(Pages::kTempCalGuidePage);
}

void TemperaturePages::showBlackbody() {
  blackbody_->setSetPoint(lang_, flow_->blackbodyC());
  emit showPageRequested(Pages::kTempCalBlackbodyPage);
}
