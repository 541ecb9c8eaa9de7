#pragma once
// The da380B three-axis accelerometer on I2C bus 0, address 0x27, through the
// i2c-dev node. Bring-up and configuration, a rest baseline captured at start,
// raw samples in m/s^2, and a slowly adapting drift trim: while the device
// lies still the trim follows the readings' offset from the baseline, so the
// magnitude the power management sees stays near 1 g however the sensor's
// offset wanders; while it moves the trim fades away.
//
// Called from the interface thread only; no thread, no locking.
#include <functional>

class Accelerometer {
 public:
  static constexpr const char* kDevicePath = "/dev/i2c-0";
  static constexpr int kSlaveAddress = 0x27;
  static constexpr int kChipId = 0x13;
  static constexpr float kMs2PerStep = 0.0023942017f;  // 9.80665 / 4096
  static constexpr int kBaselineSamples = 14;
  static constexpr int kBaselineAttempts = 100;
  static constexpr int kHistory = 8;

  Accelerometer();
  ~Accelerometer();
  Accelerometer(const Accelerometer&) = delete;
  Accelerometer& operator=(const Accelerometer&) = delete;

  // Opens and configures the chip and captures the baseline. 0, or -1 (the
  // device is then closed again). A failed baseline still returns 0.
  int init();
  // One raw sample in m/s^2. 0, or -1.
  int readSample(float& x, float& y, float& z);
  // One sample with the drift trim applied (x, y, z in m/s^2). 0, or -1.
  int readTrimmed(float out[3]);
  // Averages 14 samples as the rest position; 0, or -1 (trim disabled).
  int captureBaseline();

  bool isOpen() const { return fd >= 0; }
  bool hasBaseline() const { return baselineValid; }
  const float* baselineValues() const { return baseline; }
  const float* driftValues() const { return drift; }
  int magnitudeCount() const { return magCount; }

  // How the bring-up waits; tests pass one that only counts.
  void setSleeper(std::function<void(int ms)> sleeper) { sleep_ = std::move(sleeper); }

  // The signed 14-bit value of an axis word (upper 14 bits of a 16-bit word).
  static int axisValue(unsigned lowByte, unsigned highByte);

 private:
  int readRegister(int reg, unsigned char* value);
  int readBurst(int reg, unsigned char* out, int n);
  int writeRegister(int reg, int value);
  void closeDevice();

  int fd = -1;
  bool baselineValid = false;
  float baseline[3] = {0, 0, 0};
  float drift[3] = {0, 0, 0};
  float magHistory[kHistory] = {};
  int magCount = 0;
  std::function<void(int ms)> sleep_;
};
