#include "sim/sim_accel.h"

#include <linux/i2c-dev.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

constexpr uint8_t kRegReset = 0x00, kRegChipId = 0x01, kRegData = 0x02, kRegDataEnd = 0x07;
constexpr uint8_t kRegRange = 0x0F, kRegOdr = 0x10, kRegMode = 0x11;
constexpr uint8_t kResetCommand = 0x24;
constexpr uint8_t kModeSuspend = 0x80;
constexpr double kPi = 3.14159265358979323846;

int fail(int err) {
  errno = err;
  return -1;
}

std::array<double, 3> normalised(double x, double y, double z) {
  const double n = std::sqrt(x * x + y * y + z * z);
  if (n < 1e-9) return {0.0, 0.0, 1.0};
  return {x / n, y / n, z / n};
}

}  // namespace

SimAccel::SimAccel(const SimAccelOptions& options) : o_(options), rng_(options.seed) {
  rest_ = normalised(o_.restDirection[0], o_.restDirection[1], o_.restDirection[2]);
  started_.start();
  resetRegistersLocked();
  regs_[kRegChipId] = o_.chipId;
}

SimAccel::~SimAccel() {
  std::lock_guard<std::mutex> lock(mu_);
  clients_.clear();
}

void SimAccel::resetRegistersLocked() {
  const uint8_t id = regs_[kRegChipId];
  regs_.fill(0);
  regs_[kRegChipId] = id;
  regs_[kRegRange] = 0x00;
  regs_[kRegOdr] = 0x0F;
  regs_[kRegMode] = kModeSuspend;
  pointer_ = 0;
}

void SimAccel::setHandled(bool handled) {
  std::lock_guard<std::mutex> lock(mu_);
  if (handled_ && !handled) {
    // Laid down again: a new tilt of up to about 30 degrees, any heading.
    std::uniform_real_distribution<double> tilt(0.0, 0.52), heading(0.0, 2 * kPi);
    const double t = tilt(rng_), h = heading(rng_);
    rest_ = normalised(std::sin(t) * std::cos(h), std::sin(t) * std::sin(h), std::cos(t));
  }
  handled_ = handled;
}

bool SimAccel::handled() const {
  std::lock_guard<std::mutex> lock(mu_);
  return handled_;
}

void SimAccel::setRestDirection(double x, double y, double z) {
  std::lock_guard<std::mutex> lock(mu_);
  rest_ = normalised(x, y, z);
}

void SimAccel::setOffset(double x, double y, double z) {
  std::lock_guard<std::mutex> lock(mu_);
  offset_ = {x, y, z};
}

void SimAccel::setNoise(double noiseG, double driftG) {
  std::lock_guard<std::mutex> lock(mu_);
  o_.noiseG = std::max(0.0, noiseG);
  o_.driftG = std::max(0.0, driftG);
}

void SimAccel::setClock(std::function<double()> seconds) {
  std::lock_guard<std::mutex> lock(mu_);
  clock_ = std::move(seconds);
}

void SimAccel::setChipId(uint8_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  regs_[kRegChipId] = id;
}

void SimAccel::failSampleReads(int n) {
  std::lock_guard<std::mutex> lock(mu_);
  failSamples_ = std::max(0, n);
}

uint8_t SimAccel::reg(uint8_t r) const {
  std::lock_guard<std::mutex> lock(mu_);
  return regs_[r & 0x7F];
}

int SimAccel::resets() const {
  std::lock_guard<std::mutex> lock(mu_);
  return resets_;
}

double SimAccel::nowLocked() const { return clock_ ? clock_() : started_.elapsed() / 1000.0; }

int SimAccel::open(int) {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  clients_[fd].fd.reset(fd);
  return fd;
}

void SimAccel::release(int fd) {
  std::lock_guard<std::mutex> lock(mu_);
  clients_.erase(fd);
}

int SimAccel::ioctl(int fd, unsigned long request, void* arg) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = clients_.find(fd);
  if (it == clients_.end()) return fail(EBADF);
  if (request != I2C_SLAVE) return fail(ENOTTY);
  // i2c-dev takes the address as the argument's value, not through a pointer.
  const unsigned long address = reinterpret_cast<unsigned long>(arg);
  if (address > 0x7F) return fail(EINVAL);
  it->second.address = static_cast<int>(address);
  return 0;
}

void SimAccel::latchSampleLocked() {
  const double t = nowLocked();
  std::array<double, 3> g{};
  if (handled_) {
    // Jolts: any direction, two to three g. An axis saturates at the range's
    // end, which still leaves the magnitude well above 1 g.
    std::normal_distribution<double> dir(0.0, 1.0);
    std::uniform_real_distribution<double> mag(2.1, 3.0);
    const auto d = normalised(dir(rng_), dir(rng_), dir(rng_));
    const double m = mag(rng_);
    for (int i = 0; i < 3; ++i) g[i] = d[i] * m;
  } else {
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < 3; ++i) {
      const double wander = o_.driftG * std::sin(2 * kPi * t / o_.driftPeriodS + i * 2.1);
      g[i] = rest_[i] + wander + offset_[i] + o_.noiseG * noise(rng_);
    }
  }
  const bool measuring = !(regs_[kRegMode] & kModeSuspend);
  const int stepsPerG = kStepsPerG >> (regs_[kRegRange] & 0x03);
  for (int i = 0; i < 3; ++i) {
    int v = 0;
    if (measuring) v = static_cast<int>(std::clamp(std::lround(g[i] * stepsPerG), -8192L, 8191L));
    // The 14-bit value sits in the word's upper bits.
    const uint16_t word = static_cast<uint16_t>(static_cast<uint16_t>(v) << 2);
    regs_[kRegData + 2 * i] = static_cast<uint8_t>(word & 0xFF);
    regs_[kRegData + 2 * i + 1] = static_cast<uint8_t>(word >> 8);
  }
}

ssize_t SimAccel::read(int fd, void* buf, size_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = clients_.find(fd);
  if (it == clients_.end()) return fail(EBADF);
  if (it->second.address != kAddress) return fail(ENXIO);  // nobody acknowledges
  if (!buf && count) return fail(EFAULT);
  if (count == 0) return 0;
  if (count > regs_.size()) return fail(EINVAL);
  const size_t first = pointer_, last = pointer_ + count - 1;
  if (first <= kRegDataEnd && last >= kRegData) {
    if (failSamples_ > 0) {
      --failSamples_;
      return fail(EIO);
    }
    latchSampleLocked();
  }
  uint8_t* out = static_cast<uint8_t*>(buf);
  for (size_t i = 0; i < count; ++i) out[i] = regs_[(pointer_ + i) & 0x7F];
  pointer_ = static_cast<uint8_t>((pointer_ + count) & 0x7F);
  return static_cast<ssize_t>(count);
}

ssize_t SimAccel::write(int fd, const void* buf, size_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = clients_.find(fd);
  if (it == clients_.end()) return fail(EBADF);
  if (it->second.address != kAddress) return fail(ENXIO);
  if (!buf && count) return fail(EFAULT);
  if (count == 0) return 0;
  if (count > regs_.size()) return fail(EINVAL);
  const uint8_t* in = static_cast<const uint8_t*>(buf);
  pointer_ = in[0] & 0x7F;
  for (size_t i = 1; i < count; ++i) {
    const uint8_t r = pointer_;
    const uint8_t v = in[i];
    if (r == kRegReset) {
      if (v == kResetCommand) {
        resetRegistersLocked();
        ++resets_;
      }
      // The reset bits clear themselves.
    } else if (r == kRegChipId || (r >= kRegData && r <= kRegDataEnd)) {
      // Read-only.
    } else {
      regs_[r] = v;
    }
    pointer_ = static_cast<uint8_t>((pointer_ + 1) & 0x7F);
  }
  return static_cast<ssize_t>(count);
}

}  // namespace sim
