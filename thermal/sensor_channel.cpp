#include "thermal/sensor_channel.h"

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/devio.h"
#include "platform/sensor_channel_abi.h"

namespace {

// The image thread (configuration at capture start) and the interface thread
// (temperature readout, power-off) both use the channel.
std::mutex g_mutex;
int g_fd = -1;

bool ensureOpenLocked() {
  if (g_fd >= 0) return true;
  g_fd = platform::dev().open(platform::kSensorSubdevPath, O_RDWR | O_CLOEXEC);
  return g_fd >= 0;
}

bool transferLocked(unsigned long request, uint16_t address, void* buffer, size_t length) {
  platform::SensorTransfer t;
  t.address = address;
  t.buffer = buffer;
  t.length = static_cast<uint16_t>(length);
  t.timeout = platform::kSensorTimeout;
  return platform::dev().ioctl(g_fd, request, &t) >= 0;
}

}  // namespace

bool sendSensorCommand(uint16_t address, const uint8_t* bytes, size_t length) {
  if (!bytes || length < 1 || length > platform::kSensorMaxPayload) return false;
  uint8_t local[platform::kSensorMaxPayload];
  std::memcpy(local, bytes, length);
  std::lock_guard<std::mutex> g(g_mutex);
  if (!ensureOpenLocked()) return false;
  return transferLocked(platform::kSensorIocWrite, address, local, length);
}

void buildRegionQuery(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, uint8_t f[18]) {
  std::memset(f, 0, 18);
  f[0] = 0x10;
  f[1] = 0x10;
  f[2] = 0x92;
  auto put16 = [f](int at, uint16_t v) {
    f[at] = static_cast<uint8_t>(v & 0xFF);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put16(4, x0);
  put16(6, y0);
  put16(8, x1);
  put16(10, y1);
  f[12] = 0x0E;
  put16(16, platform::crc16Xmodem(f, 16));
}

bool queryRegionTemperature(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, float* celsius) {
  if (!celsius) return false;
  uint8_t query[platform::kSensorFrameLength];
  buildRegionQuery(x0, y0, x1, y1, query);
  uint8_t answer[platform::kSensorAnswerLength] = {};
  std::lock_guard<std::mutex> g(g_mutex);
  if (!ensureOpenLocked()) return false;
  if (!transferLocked(platform::kSensorIocWrite, platform::kSensorCommandAddress, query,
                      sizeof query))
    return false;
  if (!transferLocked(platform::kSensorIocRead, platform::kSensorAnswerAddress, answer,
                      sizeof answer))
    return false;
  const unsigned raw = answer[4] | (answer[5] << 8);
  *celsius = static_cast<float>(raw / 135.0 - 273.15);
  return true;
}

bool mapScreenToThermalRegion(int screenX, int screenY, bool srEnabled, int zoomTenths,
                              int halfSize, int* x0, int* y0, int* x1, int* y1) {
  if (!x0 || !y0 || !x1 || !y1 || halfSize < 0) return false;
  const double z = std::max(zoomTenths, 1) / 10.0;
  const int W = srEnabled ? 768 : 256;
  const int H = srEnabled ? 576 : 192;
  auto visible = [](double v, int cap) {
    const int r = static_cast<int>(std::lround(v));
    return std::min(r - r % 8, cap);
  };
  const int vw = visible((srEnabled ? 648.0 : 216.0) / z, W);
  const int vh = visible((srEnabled ? 576.0 : 192.0) / z, H);
  const int offX = (W - vw) / 2;
  const int offY = (H - vh) / 2;
  const double fx = std::clamp(screenX / 359.0, 0.0, 1.0);
  const double fy = std::clamp(screenY / 319.0, 0.0, 1.0);
  const long X = offX + std::clamp<long>(std::lround((vw - 1) * fx), 0, std::max(vw - 1, 0));
  const long Y = offY + std::clamp<long>(std::lround((vh - 1) * fy), 0, std::max(vh - 1, 0));
  auto rescale = [](long v, int srcCount, int dstCount) -> long {
    if (srcCount < 2) return 0;
    return std::clamp<long>(std::lround(v * double(dstCount - 1) / (srcCount - 1)), 0,
                            dstCount - 1);
  };
  const long sx = rescale(X, W, 252);
  const long sy = rescale(Y, H, 192);
  const long ax = std::clamp<long>(sx - halfSize, 0, 251),
             bx = std::clamp<long>(sx + halfSize, 0, 251);
  const long ay = std::clamp<long>(sy - halfSize, 0, 191),
             by = std::clamp<long>(sy + halfSize, 0, 191);
  *x0 = static_cast<int>(std::min(ax, bx));
  *x1 = static_cast<int>(std::max(ax, bx));
  *y0 = static_cast<int>(std::min(ay, by));
  *y1 = static_cast<int>(std::max(ay, by));
  return true;
}

void resetSensorChannel() {
  std::lock_guard<std::mutex> g(g_mutex);
  if (g_fd >= 0) platform::dev().close(g_fd);
  g_fd = -1;
}
