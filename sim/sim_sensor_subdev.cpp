#include "sim/sim_sensor_subdev.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

int fail(int err) {
  errno = err;
  return -1;
}

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void putLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Kelvin in units of 1/135, as the core reports it, saturated to 16 bits.
uint16_t rawKelvin(double celsius) {
  const double raw = std::round((celsius + 273.15) * 135.0);
  return static_cast<uint16_t>(std::clamp(raw, 0.0, 65535.0));
}

}  // namespace

SimSensorSubdev::SimSensorSubdev(std::shared_ptr<ThermalCore> core) : core_(std::move(core)) {}

SimSensorSubdev::~SimSensorSubdev() {
  std::lock_guard<std::mutex> lock(mu_);
  fds_.clear();
}

std::vector<SensorFrameRecord> SimSensorSubdev::frames() const {
  std::lock_guard<std::mutex> lock(mu_);
  return log_;
}

int SimSensorSubdev::queriesAnswered() const {
  std::lock_guard<std::mutex> lock(mu_);
  return queries_;
}

bool SimSensorSubdev::shutdownReceived() const {
  std::lock_guard<std::mutex> lock(mu_);
  return shutdown_;
}

void SimSensorSubdev::clearLog() {
  std::lock_guard<std::mutex> lock(mu_);
  log_.clear();
  queries_ = 0;
  shutdown_ = false;
}

int SimSensorSubdev::open(int) {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  fds_.emplace(fd, platform::UniqueFd(fd));
  return fd;
}

void SimSensorSubdev::release(int fd) {
  std::lock_guard<std::mutex> lock(mu_);
  fds_.erase(fd);
}

int SimSensorSubdev::ioctl(int, unsigned long request, void* arg) {
  // Request numbers carry the descriptor's size: one built for another word
  // size is unknown here, as it would be to the driver.
  if (request != platform::kSensorIocWrite && request != platform::kSensorIocRead)
    return fail(ENOTTY);
  if (!arg) return fail(EFAULT);
  platform::SensorTransfer t;
  std::memcpy(&t, arg, sizeof t);
  if (!t.buffer) return fail(EFAULT);
  if (t.length == 0 || t.length > platform::kSensorMaxPayload) return fail(EINVAL);
  return request == platform::kSensorIocWrite ? commandWrite(t) : answerRead(t);
}

int SimSensorSubdev::commandWrite(const platform::SensorTransfer& t) {
  if (t.address != platform::kSensorCommandAddress) return fail(EINVAL);
  if (t.length != platform::kSensorFrameLength) return fail(EINVAL);
  SensorFrameRecord rec;
  std::memcpy(rec.bytes.data(), t.buffer, rec.bytes.size());
  const uint8_t* b = rec.bytes.data();
  rec.crcOk = platform::crc16Xmodem(b, 16) == le16(b + 16);
  const bool query = b[0] == 0x10 && b[1] == 0x10 && b[2] == 0x92 && b[3] == 0x00;
  {
    std::lock_guard<std::mutex> lock(mu_);
    log_.push_back(rec);
    if (!rec.crcOk) return fail(EIO);
    if (b[0] == 0x01 && b[1] == 0x0F && b[2] == 0x45) shutdown_ = true;
  }
  if (!query) return 0;

  // The measurement runs outside the log's lock: it renders the scene.
  const double c =
      core_->measureRegion(core_->now(), le16(b + 4), le16(b + 6), le16(b + 8), le16(b + 10));
  std::array<uint8_t, platform::kSensorAnswerLength> a{};
  a[0] = 0x10;
  a[1] = 0x92;
  putLe16(&a[4], rawKelvin(c));
  putLe16(&a[12], platform::crc16Xmodem(a.data(), 12));
  std::lock_guard<std::mutex> lock(mu_);
  answer_ = a;
  ++queries_;
  return 0;
}

int SimSensorSubdev::answerRead(const platform::SensorTransfer& t) {
  if (t.address != platform::kSensorAnswerAddress) return fail(EINVAL);
  std::lock_guard<std::mutex> lock(mu_);
  uint8_t* out = static_cast<uint8_t*>(t.buffer);
  const size_t n = std::min<size_t>(t.length, answer_.size());
  std::memcpy(out, answer_.data(), n);
  if (t.length > n) std::memset(out + n, 0, t.length - n);
  return 0;
}

}  // namespace sim
