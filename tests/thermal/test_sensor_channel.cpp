#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/devio.h"
#include "platform/sensor_channel_abi.h"
#include "thermal/sensor_channel.h"

namespace {

struct Region {
  int x0, y0, x1, y1;
};

Region map(int x, int y, bool sr, int zoom, int half = 10) {
  Region r{-1, -1, -1, -1};
  EXPECT_TRUE(mapScreenToThermalRegion(x, y, sr, zoom, half, &r.x0, &r.y0, &r.x1, &r.y1));
  return r;
}

// A sub-device that answers every region query with a fixed raw value and
// records what it was sent.
class FakeSubdev : public platform::LinuxDeviceIo {
 public:
  int open(const char* path, int, mode_t) override {
    opened.push_back(path);
    if (failOpen) {
      errno = ENOENT;
      return -1;
    }
    return 77;
  }
  int close(int) override { return 0; }
  int ioctl(int fd, unsigned long request, void* arg) override {
    if (fd != 77) {
      errno = EBADF;
      return -1;
    }
    auto* t = static_cast<platform::SensorTransfer*>(arg);
    if (request == platform::kSensorIocWrite) {
      const auto* b = static_cast<const uint8_t*>(t->buffer);
      writes.emplace_back(b, b + t->length);
      addresses.push_back(t->address);
      return failWrite ? -1 : 0;
    }
    if (request == platform::kSensorIocRead) {
      auto* b = static_cast<uint8_t*>(t->buffer);
      addresses.push_back(t->address);
      b[4] = static_cast<uint8_t>(raw & 0xFF);
      b[5] = static_cast<uint8_t>(raw >> 8);
      return 0;
    }
    errno = ENOTTY;
    return -1;
  }
  std::vector<std::string> opened;
  std::vector<std::vector<uint8_t>> writes;
  std::vector<uint16_t> addresses;
  unsigned raw = 36878;
  bool failOpen = false;
  bool failWrite = false;
};

class SensorChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSensorChannel();
    platform::setDeviceIo(&dev);
  }
  void TearDown() override {
    resetSensorChannel();
    platform::setDeviceIo(nullptr);
  }
  FakeSubdev dev;
};

}  // namespace

TEST(ThermalRegion, ScreenPointsLandOnTheGridThroughTheVisibleCrop) {
  Region r = map(180, 160, false, 10);
  EXPECT_EQ(r.x0, 116);
  EXPECT_EQ(r.x1, 136);
  EXPECT_EQ(r.y0, 86);
  EXPECT_EQ(r.y1, 106);
  // The window corner: clamped at the grid's edge.
  r = map(0, 0, false, 10);
  EXPECT_EQ(r.x0, 10);
  EXPECT_EQ(r.x1, 30);
  EXPECT_EQ(r.y0, 0);
  EXPECT_EQ(r.y1, 10);
  // Beyond the window is the far edge of the visible crop (column 235 of the
  // frame, 231 of the grid); negative is the near one.
  r = map(5000, 5000, false, 10);
  EXPECT_EQ(r.x1, 241);
  EXPECT_EQ(r.y1, 191);
  EXPECT_EQ(map(-40, -40, false, 10).x0, 10);
  // Zoom x2 shows the centre 104 x 96: the centre maps to the same cell, a
  // corner moves inwards.
  r = map(0, 0, false, 20);
  EXPECT_EQ(r.x0, std::max(0, static_cast<int>(std::lround(76 * 251.0 / 255)) - 10));
  EXPECT_EQ(r.y0, 48 - 10);
  // Super-resolution uses the big frame but the same grid.
  r = map(180, 160, true, 10);
  EXPECT_NEAR((r.x0 + r.x1) / 2, 126, 1);
  EXPECT_NEAR((r.y0 + r.y1) / 2, 96, 1);
  r = map(180, 160, false, 10, 0);
  EXPECT_EQ(r.x0, r.x1);
  int a, b, c, d;
  EXPECT_FALSE(mapScreenToThermalRegion(1, 1, false, 10, -1, &a, &b, &c, &d));
  EXPECT_FALSE(mapScreenToThermalRegion(1, 1, false, 10, 1, nullptr, &b, &c, &d));
}

TEST_F(SensorChannel, RegionQueryIsFramedCheckedAndConverted) {
  float t = 99.0f;
  ASSERT_TRUE(queryRegionTemperature(116, 86, 136, 106, &t));
  EXPECT_NEAR(t, 0.02f, 1e-3);
  ASSERT_EQ(dev.writes.size(), 1u);
  const std::vector<uint8_t>& f = dev.writes[0];
  ASSERT_EQ(f.size(), 18u);
  const uint8_t head[] = {0x10, 0x10, 0x92, 0x00, 116, 0, 86, 0, 136, 0, 106, 0, 0x0E, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(f.data(), head, 16));
  const uint16_t crc = platform::crc16Xmodem(f.data(), 16);
  EXPECT_EQ(f[16], crc & 0xFF);
  EXPECT_EQ(f[17], crc >> 8);
  EXPECT_EQ(dev.addresses, (std::vector<uint16_t>{0x1D00, 0x1D12}));
  // The channel stays open.
  dev.raw = 0;
  ASSERT_TRUE(queryRegionTemperature(0, 0, 1, 1, &t));
  EXPECT_NEAR(t, -273.15f, 1e-3);
  EXPECT_EQ(dev.opened.size(), 1u);
  EXPECT_EQ(dev.opened[0], "/dev/v4l-subdev3");
}

TEST_F(SensorChannel, FailuresLeaveTheOutputAloneAndRetryTheOpen) {
  float t = 42.0f;
  dev.failOpen = true;
  EXPECT_FALSE(queryRegionTemperature(0, 0, 1, 1, &t));
  EXPECT_FALSE(queryRegionTemperature(0, 0, 1, 1, nullptr));
  dev.failOpen = false;
  dev.failWrite = true;
  EXPECT_FALSE(queryRegionTemperature(0, 0, 1, 1, &t));
  EXPECT_EQ(t, 42.0f);
  EXPECT_EQ(dev.opened.size(), 2u);  // the failed open was tried again

  // Empty or oversized payloads never reach the device.
  const uint8_t big[300] = {};
  const size_t writesBefore = dev.writes.size();
  EXPECT_FALSE(sendSensorCommand(0x1D00, big, 0));
  EXPECT_FALSE(sendSensorCommand(0x1D00, big, 257));
  EXPECT_FALSE(sendSensorCommand(0x1D00, nullptr, 4));
  EXPECT_EQ(dev.writes.size(), writesBefore);
  dev.failWrite = false;
  EXPECT_TRUE(sendSensorCommand(0x1D00, big, 256));
}
