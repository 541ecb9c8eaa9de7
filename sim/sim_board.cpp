#include "sim/sim_board.h"

#include <cmath>

#include "platform/drm/drm_api.h"
#include "platform/sensor_channel_abi.h"

namespace sim {

SimBoard::SimBoard() = default;

SimBoard::~SimBoard() { uninstall(); }

bool SimBoard::create(const SimBoardOptions& o, QString* error) {
  auto core = std::make_shared<ThermalCore>(o.core);
  if (!core->loadScene(o.scene, error)) return false;
  if (!std::isnan(core->sceneParam("blackbody")) &&
      !core->setSceneParam("blackbody", o.blackbodyC)) {
    *error = QStringLiteral("bad blackbody set point");
    return false;
  }
  if (!o.holdView.isEmpty() && !core->holdView(o.holdView)) {
    *error = QStringLiteral("scene '%1' has no view '%2'").arg(o.scene, o.holdView);
    return false;
  }
  uninstall();
  core_ = core;
  camera_ = std::make_shared<SimCamera>(core_, o.camera);
  sensor_ = std::make_shared<SimSensorSubdev>(core_);
  kms_ = std::make_unique<SimKms>(o.kms);
  io_.addDevice(kCameraPath, camera_);
  io_.addDevice(platform::kSensorSubdevPath, sensor_);
  accel_.reset();
  if (o.accelerometer) {
    accel_ = std::make_shared<SimAccel>(o.accel);
    io_.addDevice(SimAccel::kPath, accel_);
  } else {
    io_.addDevice(SimAccel::kPath, nullptr);  // the node is not there at all
  }
  keypad_ = std::make_unique<SimKeypad>();
  keypad_->addTo(io_);
  return true;
}

void SimBoard::install() {
  if (!kms_) return;
  platform::setDeviceIo(&io_);
  platform::setDrmApi(kms_.get());
  installed_ = true;
}

void SimBoard::uninstall() {
  if (!installed_) return;
  if (&platform::dev() == &io_) platform::setDeviceIo(nullptr);
  if (&platform::drm() == kms_.get()) platform::setDrmApi(nullptr);
  installed_ = false;
}

}  // namespace sim
