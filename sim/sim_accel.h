#pragma once
// The simulated board's accelerometer: a da380B on I2C bus 0 behind the
// i2c-dev node "/dev/i2c-0", answering at 7-bit address 0x27.
//
// The i2c-dev protocol as the kernel offers it: the I2C_SLAVE request picks
// the address; a write of one byte sets the register pointer, a write of more
// writes values from that register on; a read returns bytes from the pointer
// on, the pointer advancing as on the chip. Registers: 0x01 chip id (0x13),
// 0x00 soft reset (0x24 restores the configuration's reset values), 0x0F,
// 0x10, 0x11 configuration (read back as written), 0x02..0x07 the three axes
// as 16-bit little-endian words holding signed 14-bit values in their upper
// bits, 4096 steps per g. Samples are produced only once the mode register
// holds the value that starts measuring; before that the axes read zero.
//
// The device lies still in some orientation (gravity, a little noise and a
// slowly wandering offset) or is being handled (jolts in every direction,
// magnitudes far from 1 g). Faults for tests: an address nobody answers, a
// different chip id, sample reads that fail.
#include <QElapsedTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>

#include "sim/sim_device_io.h"
#include "platform/unique_fd.h"

namespace sim {

struct SimAccelOptions {
  uint8_t chipId = 0x13;
  double noiseG = 0.004;        // standard deviation of each axis's noise
  double driftG = 0.02;         // amplitude of the slow offset wander
  double driftPeriodS = 240.0;  // one wander cycle
  uint32_t seed = 0x0da380b;
  // Direction of gravity in the chip's axes while lying still (normalised).
  std::array<double, 3> restDirection{{0.08, -0.12, 0.99}};
};

class SimAccel : public SimDevice {
 public:
  static constexpr const char* kPath = "/dev/i2c-0";
  static constexpr uint8_t kAddress = 0x27;
  static constexpr int kStepsPerG = 4096;

  explicit SimAccel(const SimAccelOptions& options = {});
  ~SimAccel() override;

  // Being handled or lying still. Put down again, it rests in a new
  // orientation, as a device laid back on a bench does.
  void setHandled(bool handled);
  bool handled() const;
  // Lying still exactly along `direction` (normalised here), for tests.
  void setRestDirection(double x, double y, double z);
  // An extra constant offset of the readings in g (a sensor's offset change),
  // for tests.
  void setOffset(double x, double y, double z);
  void setNoise(double noiseG, double driftG);
  // Seconds of the device's own time; the wander follows it. By default a
  // monotonic clock started with the device.
  void setClock(std::function<double()> seconds);

  // Faults: the chip answers with another identifier; the next `n` reads of
  // the sample registers fail (EIO), other registers still answer.
  void setChipId(uint8_t id);
  void failSampleReads(int n);

  // Register file as the chip holds it, for tests.
  uint8_t reg(uint8_t r) const;
  int resets() const;

  int open(int flags) override;
  void release(int fd) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  ssize_t read(int fd, void* buf, size_t count) override;
  ssize_t write(int fd, const void* buf, size_t count) override;

 private:
  struct Client {
    platform::UniqueFd fd;
    int address = -1;
  };
  void resetRegistersLocked();
  void latchSampleLocked();  // fills 0x02..0x07
  double nowLocked() const;

  SimAccelOptions o_;
  mutable std::mutex mu_;
  std::map<int, Client> clients_;
  std::array<uint8_t, 128> regs_{};
  uint8_t pointer_ = 0;
  bool handled_ = false;
  std::array<double, 3> rest_{};
  std::array<double, 3> offset_{};
  std::mt19937 rng_;
  std::function<double()> clock_;
  QElapsedTimer started_;
  int failSamples_ = 0;
  int resets_ = 0;
};

}  // namespace sim
