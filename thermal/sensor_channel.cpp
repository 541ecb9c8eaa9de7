#include "thermal/sensor_channel.h"

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/devio.h"
#include "platform/sensor_channel_abi.h"
#include "platform/unique_fd.h"
#include "platform/visible_crop.h"

namespace {

// The image thread (configuration at capture start) and the interface thread
// (temperature readout, power-off) both use the channel.
std::mutex g_mutex;

// Never destroyed: power-off may still send the shutdown frame while static
// destruction has begun, and the device seam behind it may be gone by then.
platform::DeviceFd& channelFd() {
  static auto* fd = new platform::DeviceFd;
  return *fd;
}

bool ensureOpenLocked() {
  if (channelFd().valid()) return true;
  channelFd().reset(platform::dev().open(platform::kSensorSubdevPath, O_RDWR | O_CLOEXEC));
  return channelFd().valid();
}

bool transferLocked(unsigned long request, uint16_t address, void* buffer, size_t length) {
  platform::SensorTransfer t;
  t.address = address;
  t.buffer = buffer;
  t.length = static_cast<uint16_t>(length);
  t.timeout = platform::kSensorTimeout;
  return platform::dev().ioctl(channelFd().get(), request, &t) >= 0;
}

// The four configuration frames the core expects when capture starts.
const uint8_t kConfigFrames[4][18] = {
    {0x10, 0x10, 0x46, 0x00, 0x01, 0x03, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xC6, 0x45},
    {0x01, 0x04, 0x45, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xF7, 0xAB},
    {0x01, 0x04, 0x4A, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0x9A, 0x30},
    {0x01, 0x04, 0x4D, 0x00, 0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0xB8, 0x14},
};

// Puts the core into its safe state before the power goes.
const uint8_t kShutdownFrame[18] = {0x01, 0x0F, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8D, 0x5A};

}  // namespace

bool sendSensorCommand(uint16_t address, const uint8_t* bytes, size_t length) {
  if (!bytes || length < 1 || length > platform::kSensorMaxPayload) return false;
  uint8_t local[platform::kSensorMaxPayload];
  std::memcpy(local, bytes, length);
  std::lock_guard<std::mutex> g(g_mutex);
  if (!ensureOpenLocked()) return false;
  return transferLocked(platform::kSensorIocWrite, address, local, length);
}

bool sendCaptureConfiguration() {
  bool all = true;
  for (const auto& frame : kConfigFrames)
    all = sendSensorCommand(platform::kSensorCommandAddress, frame, sizeof frame) && all;
  return all;
}

bool sendShutdown() {
  return sendSensorCommand(platform::kSensorCommandAddress, kShutdownFrame, sizeof kShutdownFrame);
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
  const int W = srEnabled ? 768 : 256;
  const int H = srEnabled ? 576 : 192;
  const platform::VisibleCrop c = platform::visibleCrop(zoomTenths, srEnabled);
  const double fx = std::clamp(screenX / 359.0, 0.0, 1.0);
  const double fy = std::clamp(screenY / 319.0, 0.0, 1.0);
  const long X = c.x + std::clamp<long>(std::lround((c.w - 1) * fx), 0, std::max(c.w - 1, 0));
  const long Y = c.y + std::clamp<long>(std::lround((c.h - 1) * fy), 0, std::max(c.h - 1, 0));
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
  channelFd().reset();
}
