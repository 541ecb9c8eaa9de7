#include "devices/accelerometer.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/devio.h"
#include "platform/diag.h"

namespace {

constexpr int kRegSoftReset = 0x00;
constexpr int kRegChipId = 0x01;
constexpr int kRegData = 0x02;
constexpr int kRegRange = 0x0F;
constexpr int kRegOdr = 0x10;
constexpr int kRegMode = 0x11;
constexpr int kSoftReset = 0x24;
constexpr int kRange = 0x00;
constexpr int kMode = 0x1E;
constexpr int kOdr = 0x07;

// Still when the last magnitudes lie within this band of each other.
constexpr float kStillRange = 0.5f;
constexpr float kTrackGain = 0.045f;
constexpr float kDecay = 0.987f;
constexpr int kMinMagnitudes = 6;

}  // namespace

Accelerometer::Accelerometer()
    : sleep_([](int ms) { ::usleep(static_cast<useconds_t>(ms) * 1000); }) {}

Accelerometer::~Accelerometer() { closeDevice(); }

void Accelerometer::closeDevice() {
  if (fd >= 0) platform::dev().close(fd);
  fd = -1;
}

int Accelerometer::axisValue(unsigned lowByte, unsigned highByte) {
  const uint16_t word = static_cast<uint16_t>((lowByte & 0xFF) | ((highByte & 0xFF) << 8));
  // The sign lives in the word's top bit: shift the signed word.
  return static_cast<int16_t>(word) >> 2;
}

int Accelerometer::readRegister(int reg, unsigned char* value) {
  const unsigned char r = static_cast<unsigned char>(reg);
  if (platform::dev().write(fd, &r, 1) != 1) {
    diag::err("I2C_Read write failed");
    return -1;
  }
  if (platform::dev().read(fd, value, 1) != 1) {
    diag::err("I2C_Read read failed");
    return -1;
  }
  return 0;
}

int Accelerometer::readBurst(int reg, unsigned char* out, int n) {
  const unsigned char r = static_cast<unsigned char>(reg & 0x7F);
  if (platform::dev().write(fd, &r, 1) != 1) {
    diag::err("I2C_ReadBurst write sub failed");
    return -1;
  }
  if (platform::dev().read(fd, out, static_cast<size_t>(n)) != n) {
    diag::err("I2C_ReadBurst read failed");
    return -1;
  }
  return 0;
}

int Accelerometer::writeRegister(int reg, int value) {
  const unsigned char b[2] = {static_cast<unsigned char>(reg), static_cast<unsigned char>(value)};
  if (platform::dev().write(fd, b, 2) != 2) {
    diag::err("I2C_Write failed");
    return -1;
  }
  return 0;
}

int Accelerometer::init() {
  closeDevice();
  baselineValid = false;
  magCount = 0;
  std::fill(drift, drift + 3, 0.0f);

  fd = platform::dev().open(kDevicePath, O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    diag::err("open %s failed", kDevicePath);
    return -1;
  }
  // A chip that fails its bring-up is not used again: close it rather than
  // keep a descriptor nobody reads.
  auto failed = [this] {
    closeDevice();
    return -1;
  };
  if (platform::dev().ioctl(fd, I2C_SLAVE,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(kSlaveAddress))) < 0) {
    diag::err("ioctl I2C_SLAVE failed, addr=0x%02x", kSlaveAddress);
    return failed();
  }
  unsigned char id = 0;
  if (readRegister(kRegChipId, &id) != 0) {
    diag::err("da380B CHIPID read failed");
    return failed();
  }
  if (id != kChipId) {
    diag::err("da380B CHIPID mismatch, read=0x%02x expect 0x%02x", id, kChipId);
    return failed();
  }
  if (writeRegister(kRegSoftReset, kSoftReset) != 0) {
    diag::err("da380B soft reset failed");
    return failed();
  }
  sleep_(5);
  if (writeRegister(kRegRange, kRange) != 0 || writeRegister(kRegMode, kMode) != 0 ||
      writeRegister(kRegOdr, kOdr) != 0) {
    diag::err("da380B range/mode/odr config failed");
    return failed();
  }
  unsigned char odr = 0;
  if (readRegister(kRegOdr, &odr) != 0) odr = 0;
  if (odr != kOdr) {
    diag::err("da380B ODR verify failed, read=0x%02x", odr);
    return failed();
  }
  sleep_(20);
  diag::out("GSensor da380B init successed");
  if (captureBaseline() != 0) diag::err("GSensor: baseline capture failed, drift trim disabled");
  return 0;
}

int Accelerometer::readSample(float& x, float& y, float& z) {
  if (fd < 0) return -1;
  unsigned char b[6];
  if (readBurst(kRegData, b, 6) != 0) return -1;
  x = axisValue(b[0], b[1]) * kMs2PerStep;
  y = axisValue(b[2], b[3]) * kMs2PerStep;
  z = axisValue(b[4], b[5]) * kMs2PerStep;
  return 0;
}

int Accelerometer::captureBaseline() {
  baselineValid = false;
  magCount = 0;
  std::fill(drift, drift + 3, 0.0f);
  double sum[3] = {0, 0, 0};
  int got = 0;
  for (int attempt = 0; attempt < kBaselineAttempts && got < kBaselineSamples; ++attempt) {
    float x, y, z;
    if (readSample(x, y, z) == 0) {
      sum[0] += x;
      sum[1] += y;
      sum[2] += z;
      ++got;
    }
    sleep_(5);
  }
  if (got != kBaselineSamples) return -1;
  for (int i = 0; i < 3; ++i) baseline[i] = static_cast<float>(sum[i] * (1.0 / kBaselineSamples));
  baselineValid = true;
  return 0;
}

int Accelerometer::readTrimmed(float out[3]) {
  float s[3];
  if (readSample(s[0], s[1], s[2]) != 0) return -1;
  if (!baselineValid) {
    std::copy(s, s + 3, out);
    return 0;
  }
  const float m = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  bool still = false;
  if (magCount < kHistory) {
    magHistory[magCount++] = m;
  } else {
    std::copy(magHistory + 1, magHistory + kHistory, magHistory);
    magHistory[kHistory - 1] = m;
  }
  if (magCount >= kMinMagnitudes) {
    const auto [lo, hi] = std::minmax_element(magHistory, magHistory + magCount);
    still = *hi - *lo <= kStillRange;
  }
  for (int i = 0; i < 3; ++i) {
    if (still)
      drift[i] += kTrackGain * ((s[i] - baseline[i]) - drift[i]);
    else
      drift[i] *= kDecay;
    out[i] = s[i] - drift[i];
  }
  return 0;
}
