// The centre-spot readout and the calibration run: once a second, while the
// readout is on, the thermal core measures the rectangle under the reticle
// and the overlay shows the value with the user's offset; the calibration
// pages lead to a run on the live view whose offset the window stores.
#include <QLabel>
#include <QStackedWidget>
#include <QTimer>

#include "app/mainwindow.h"
#include "overlay/aim.h"
#include "thermal/calibration_flow.h"
#include "thermal/sensor_channel.h"
#include "ui/temppages.h"

namespace {
constexpr int kHalfSize = 10;
}

bool MainWindow::readCenterTemperature(float* celsius) const {
  int x0, y0, x1, y1;
  if (!mapScreenToThermalRegion(reticleCenter_.x(), reticleCenter_.y(), cfg_.srEnabled,
                                cfg_.zoomTenths, kHalfSize, &x0, &y0, &x1, &y1))
    return false;
  return queryRegionTemperature(static_cast<uint16_t>(x0), static_cast<uint16_t>(y0),
                                static_cast<uint16_t>(x1), static_cast<uint16_t>(y1), celsius);
}

void MainWindow::pollCenterThermalTemp() {
  if (!cfg_.tempMeasureEnabled && !calibrating_) return;
  if (!overlay_) return;
  if (idleSleeping() || poweringOff() || calibrating_) return;
  const int page = stack_ ? stack_->currentIndex() : -1;
  if (page != kHomePage && page != kPalettePage) return;
  float reading = 0.0f;
  if (!readCenterTemperature(&reading)) return;
  const double value = static_cast<float>(cfg_.tempOffsetC) + reading;
  overlay_->slot_recv_center_temperature(QStringLiteral("%1 \u00B0C").arg(value, 0, 'f', 1));
}

void MainWindow::updateTempMeasureTimer() {
  const bool wanted = cfg_.tempMeasureEnabled || calibrating_;
  if (overlay_) overlay_->slot_recv_temp_measure_enabled(wanted);
  if (!tempPollTimer_) return;
  if (wanted && !idleSleeping() && !poweringOff())
    tempPollTimer_->start();
  else
    tempPollTimer_->stop();
}

void MainWindow::setTempMeasureEnabled(bool on) {
  if (on == cfg_.tempMeasureEnabled) return;
  cfg_.tempMeasureEnabled = on;
  saveSettings();
  updateTempMeasureTimer();
  if (tempMeasure_) tempMeasure_->setState(on, cfg_.language);
}

void MainWindow::showCalGuide() {
  calFlow_->prepareGuide();
  calGuide_->setReference(calFlow_->refType(), cfg_.language, calFlow_->refC());
  stack_->setCurrentIndex(kTempCalGuidePage);
}

void MainWindow::showCalBlackbody() {
  calBlackbody_->setSetPoint(cfg_.language, calFlow_->blackbodyC());
  stack_->setCurrentIndex(kTempCalBlackbodyPage);
}

// The pages' wishes and the run's progress. The run itself reads the centre
// without the stored offset: the offset is what it measures.
void MainWindow::wireTemperature() {
  calFlow_ = new CalibrationFlow([this](float* c) { return readCenterTemperature(c); }, this);
  auto show = [this](int index) { return [this, index] { stack_->setCurrentIndex(index); }; };

  connect(tempMeasure_, &TempMeasurePage::toggleRequested, this,
          &MainWindow::setTempMeasureEnabled);
  connect(tempMeasure_, &UiPage::backToMenuRequested, this, &MainWindow::openMenu);
  connect(tempMeasure_, &TempMeasurePage::calibrateRequested, this, show(kTempCalRefPage));
  connect(calRef_, &TempCalRefPage::backToTempMeasureRequested, this, show(kTempMeasurePage));
  connect(calRef_, &TempCalRefPage::refSelected, this, [this](int ref) {
    calFlow_->selectReference(ref);
    if (ref == CalibrationFlow::Blackbody)
      showCalBlackbody();
    else
      showCalGuide();
  });
  connect(calBlackbody_, &TempCalBlackbodyPage::nudgeRequested, calFlow_,
          &CalibrationFlow::nudgeBlackbody);
  connect(calBlackbody_, &TempCalBlackbodyPage::confirmRequested, this, &MainWindow::showCalGuide);
  connect(calBlackbody_, &TempCalBlackbodyPage::backToRefRequested, this, show(kTempCalRefPage));
  connect(calGuide_, &TempCalGuidePage::backRequested, this, [this] {
    if (calFlow_->refType() == CalibrationFlow::Blackbody)
      showCalBlackbody();
    else
      stack_->setCurrentIndex(kTempCalRefPage);
  });
  connect(calGuide_, &TempCalGuidePage::startRequested, calFlow_, &CalibrationFlow::start);
  connect(calResult_, &TempCalResultPage::applyRequested, this, [this] {
    if (!calFlow_->apply()) return;
    tempMeasure_->setState(cfg_.tempMeasureEnabled, cfg_.language);
    stack_->setCurrentIndex(kTempMeasurePage);
  });
  connect(calResult_, &TempCalResultPage::cancelRequested, this, show(kTempCalGuidePage));

  connect(calFlow_, &CalibrationFlow::calibratingChanged, this, [this](bool on) {
    calibrating_ = on;
    updateTempMeasureTimer();
    if (on) {
      goHome();
      calibrationTimer_->start();
    } else {
      calibrationTimer_->stop();
    }
  });
  connect(calFlow_, &CalibrationFlow::bannerChanged, this, [this](int phase, int countdown) {
    calLine1_->setText(calibrationBannerLine1(cfg_.language));
    calLine2_->setText(calibrationBannerLine2(cfg_.language, phase, countdown));
  });
  connect(calFlow_, &CalibrationFlow::bannerVisibleChanged, this, [this](bool visible) {
    if (!visible) {
      calPanel_->hide();
      return;
    }
    if (overlay_) overlay_->raise();
    calPanel_->raise();
    calPanel_->show();
  });
  connect(calFlow_, &CalibrationFlow::setPointChanged, this,
          [this](double c) { calBlackbody_->setSetPoint(cfg_.language, c); });
  connect(calFlow_, &CalibrationFlow::finished, this, [this](const CalibrationResult& r) {
    if (r.ok())
      calResult_->setResult(cfg_.language, r.refC, r.measuredC, r.offsetC);
    else
      calResult_->setFailedResult(cfg_.language, r.refC);
    stack_->setCurrentIndex(kTempCalResultPage);
  });
  connect(calFlow_, &CalibrationFlow::offsetApplied, this, [this](double offset) {
    cfg_.tempOffsetC = offset;
    saveSettings();
  });
}
