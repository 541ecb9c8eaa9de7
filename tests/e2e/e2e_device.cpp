#include "tests/e2e/e2e_device.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>

#include "imaging/image_pro_thread.h"
#include "platform/paths.h"
#include "sim/board_root.h"
#include "thermal/sensor_channel.h"

namespace e2e {

Device::Device(const DeviceOptions& o) {
  sim::BoardRootOptions rootOptions;
  rootOptions.sdCardInserted = o.sdCard;
  EXPECT_TRUE(sim::ensureBoardRoot(root_.dir(), rootOptions));
  sim::SimBoardOptions boardOptions;
  boardOptions.camera.frameIntervalUs = o.frameIntervalUs;
  boardOptions.scene = o.scene;
  boardOptions.holdView = o.holdView;
  boardOptions.blackbodyC = o.blackbodyC;
  QString error;
  EXPECT_TRUE(board_.create(boardOptions, &error)) << error.toStdString();
  board_.install();
  state_ = std::make_unique<AppController>();
  window_ = std::make_unique<MainWindow>(state_.get());
  panel_ = std::make_unique<sim::PanelUnderlay>(&board_.kms(), window_.get());
  QObject::connect(window_->imageThread(), &ImageProThread::photoSaved,
                   [this](const QString& path, bool ok) {
                     photos_ << path;
                     if (!ok) ++failed_;
                   });
  window_->show();
}

Device::~Device() {
  panel_.reset();
  window_.reset();
  state_.reset();
  // The sensor's command channel stays open between calls; it must not carry
  // a descriptor of this board over to the next.
  resetSensorChannel();
  board_.uninstall();
}

bool Device::waitForPicture(int ms) {
  return waitUntil(
      [this] {
        if (board_.kms().commits() < 3) return false;
        panel_->refresh();
        const QImage p = panel_->picture();
        return p.pixel(180, 160) != qRgb(0, 0, 0) || p.pixel(40, 200) != qRgb(0, 0, 0);
      },
      ms);
}

QVariant Device::setting(const char* key) const {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  return s.value(QLatin1String(key));
}

void Device::setSetting(const char* key, const QVariant& value) {
  QSettings s(platform::settingsFile(), QSettings::IniFormat);
  s.setValue(QLatin1String(key), value);
}

uint64_t Device::shownCommit() {
  sim::SimKms::PanelFrame f;
  return board_.kms().overlayFrame(&f) ? f.commit : 0;
}

QImage Device::panelPicture() {
  panel_->refresh();
  return panel_->picture();
}

QImage Device::interfacePicture() {
  QWidget* source = window_->centralWidget();
  QImage image(source->size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  source->render(&image, QPoint(0, 0), QRegion(),
                 QWidget::DrawWindowBackground | QWidget::DrawChildren);
  return image;
}

}  // namespace e2e
