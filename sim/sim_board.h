#pragma once
// The simulated board's devices in one place: the thermal core and its scene,
// the camera, the sensor sub-device, the accelerometer and the two key devices
// behind the device I/O seam, and the virtual KMS device behind the DRM seam.
// install() puts both seams in place for the whole process; the destructor
// takes them out again.
#include <QString>
#include <memory>

#include "sim/sim_accel.h"
#include "sim/sim_camera.h"
#include "sim/sim_device_io.h"
#include "sim/sim_input.h"
#include "sim/sim_kms.h"
#include "sim/sim_sensor_subdev.h"
#include "sim/thermal_core.h"

namespace sim {

struct SimBoardOptions {
  QString scene = QStringLiteral("field");
  double blackbodyC = 37.0;  // set point of the bench's blackbody source
  QString holdView;          // a view stop of the scene to stay at (empty: tour)
  ThermalCoreOptions core;
  SimCameraOptions camera;
  SimKmsTopology kms;
  bool accelerometer = true;  // false: nothing answers at "/dev/i2c-0"
  SimAccelOptions accel;
};

class SimBoard {
 public:
  static constexpr const char* kCameraPath = "/dev/video0";

  SimBoard();
  ~SimBoard();
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  // Builds the devices; false with a message (unknown scene, bad stop).
  bool create(const SimBoardOptions& options, QString* error);
  void install();
  void uninstall();

  ThermalCore& core() { return *core_; }
  SimCamera& camera() { return *camera_; }
  SimSensorSubdev& sensor() { return *sensor_; }
  SimKms& kms() { return *kms_; }
  // The accelerometer behind "/dev/i2c-0"; null on a board built without one.
  SimAccel* accel() { return accel_.get(); }
  // The hardware keys, writing into "/dev/input/event1" and "/dev/input/event2".
  SimKeypad& keypad() { return *keypad_; }
  SimDeviceIo& io() { return io_; }

 private:
  std::shared_ptr<ThermalCore> core_;
  std::shared_ptr<SimCamera> camera_;
  std::shared_ptr<SimSensorSubdev> sensor_;
  std::shared_ptr<SimAccel> accel_;
  std::unique_ptr<SimKms> kms_;
  std::unique_ptr<SimKeypad> keypad_;
  SimDeviceIo io_;
  bool installed_ = false;
};

}  // namespace sim
