// The simulated sensor sub-device: the transfer descriptor, the check value
// of command frames, the region temperature answer, the log of what arrived.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/devio.h"
#include "platform/sensor_channel_abi.h"
#include "sim/sim_board.h"
#include "tests/support/temp_root.h"

namespace {

using Frame = std::array<uint8_t, 18>;

Frame regionQuery(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1) {
  Frame f{0x10, 0x10, 0x92, 0x00};
  const uint16_t v[4] = {x0, y0, x1, y1};
  for (int i = 0; i < 4; ++i) {
    f[4 + 2 * i] = v[i] & 0xFF;
    f[5 + 2 * i] = v[i] >> 8;
  }
  f[12] = 0x0E;
  const uint16_t crc = platform::crc16Xmodem(f.data(), 16);
  f[16] = crc & 0xFF;
  f[17] = crc >> 8;
  return f;
}

class SensorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimBoardOptions o;
    o.scene = QStringLiteral("bench");
    o.holdView = QStringLiteral("blackbody");
    QString error;
    ASSERT_TRUE(board_.create(o, &error)) << error.toStdString();
    board_.install();
    fd_ = platform::dev().open(platform::kSensorSubdevPath, O_RDWR);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override { platform::dev().close(fd_); }

  int transfer(unsigned long request, uint16_t address, void* data, uint16_t length) {
    platform::SensorTransfer t;
    t.address = address;
    t.buffer = data;
    t.length = length;
    t.timeout = platform::kSensorTimeout;
    return platform::dev().ioctl(fd_, request, &t);
  }
  int send(Frame f) {
    return transfer(platform::kSensorIocWrite, platform::kSensorCommandAddress, f.data(), 18);
  }
  bool query(uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1, double* celsius) {
    if (send(regionQuery(x0, y0, x1, y1)) < 0) return false;
    uint8_t answer[14] = {};
    if (transfer(platform::kSensorIocRead, platform::kSensorAnswerAddress, answer, 14) < 0)
      return false;
    *celsius = (answer[4] | (answer[5] << 8)) / 135.0 - 273.15;
    return true;
  }

  TempRoot root_;
  sim::SimBoard board_;
  int fd_ = -1;
};

TEST(SensorChannel, CheckValueAndRequestNumbers) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(platform::crc16Xmodem(check, sizeof check), 0x31C3);  // the catalogue's check
  // The request numbers carry the descriptor's size.
  const bool wide = sizeof(void*) == 8;
  EXPECT_EQ(platform::kSensorIocWrite, wide ? 0x4018EF02ul : 0x4014EF02ul);
  EXPECT_EQ(platform::kSensorIocRead, wide ? 0xC018EF01ul : 0xC014EF01ul);
}

TEST_F(SensorTest, RegionQueryIsAnsweredInKelvinTimes135) {
  double c = 0;
  ASSERT_TRUE(query(116, 86, 136, 106, &c));
  EXPECT_NEAR(c, 37.8, 0.2);  // the blackbody at its set point, plus the core's bias
  ASSERT_TRUE(board_.core().setSceneParam("blackbody", 150.0));
  ASSERT_TRUE(query(136, 106, 116, 86, &c));
  EXPECT_NEAR(c, 150.8, 0.2);
  // Sixteen bits of kelvin x 135 end at 212.3 degrees: hotter saturates there.
  ASSERT_TRUE(board_.core().setSceneParam("blackbody", 400.0));
  ASSERT_TRUE(query(116, 86, 136, 106, &c));
  EXPECT_NEAR(c, 65535 / 135.0 - 273.15, 1e-9);
  // The answer carries its own check and echoes the command.
  uint8_t answer[14] = {};
  ASSERT_EQ(transfer(platform::kSensorIocRead, platform::kSensorAnswerAddress, answer, 14), 0);
  EXPECT_EQ(answer[0], 0x10);
  EXPECT_EQ(answer[1], 0x92);
  EXPECT_EQ(platform::crc16Xmodem(answer, 12), answer[12] | (answer[13] << 8));
  EXPECT_EQ(board_.sensor().queriesAnswered(), 3);
  // The room around the source is at about 22 degrees.
  ASSERT_TRUE(query(0, 0, 10, 10, &c));
  EXPECT_NEAR(c, 23.0, 1.0);
}

TEST_F(SensorTest, FramesAreCheckedAndLogged) {
  const Frame configs[] = {
      Frame{0x10, 0x10, 0x46, 0x00, 0x01, 0x03, 0x32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC6, 0x45},
      Frame{0x01, 0x04, 0x45, 0x00, 0x64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF7, 0xAB},
  };
  EXPECT_EQ(send(configs[0]), 0);
  // A frame whose check value does not match its bytes is refused, and logged.
  EXPECT_EQ(send(configs[1]), -1);
  EXPECT_EQ(errno, EIO);
  Frame corrupt = regionQuery(1, 2, 3, 4);
  corrupt[6] ^= 0x01;
  EXPECT_EQ(send(corrupt), -1);
  EXPECT_EQ(board_.sensor().queriesAnswered(), 0);
  EXPECT_FALSE(board_.sensor().shutdownReceived());
  EXPECT_EQ(send(Frame{0x01, 0x0F, 0x45, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x8D, 0x5A}), 0);
  EXPECT_TRUE(board_.sensor().shutdownReceived());

  std::string log;
  for (const auto& f : board_.sensor().frames()) log += f.crcOk ? '+' : '-';
  ASSERT_EQ(log, "+--+");
  EXPECT_EQ(board_.sensor().frames()[0].bytes, configs[0]);
}

TEST_F(SensorTest, BadTransfersFailAsTheDriverWould) {
  Frame f = regionQuery(0, 0, 5, 5);
  uint8_t buf[300] = {};
  auto& io = platform::dev();
  // Unknown request, including the 20-byte request numbers on a 64-bit build.
  EXPECT_EQ(io.ioctl(fd_, 0x4014EF03ul, buf), -1);
  EXPECT_EQ(errno, ENOTTY);
  if (sizeof(void*) == 8) {
    EXPECT_EQ(io.ioctl(fd_, 0x4014EF02ul, buf), -1);
    EXPECT_EQ(errno, ENOTTY);
  }
  EXPECT_EQ(io.ioctl(fd_, platform::kSensorIocWrite, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  const struct {
    unsigned long request;
    uint16_t address;
    void* data;
    uint16_t length;
    int error;
  } bad[] = {
      {platform::kSensorIocWrite, 0x1D00, nullptr, 18, EFAULT},
      {platform::kSensorIocWrite, 0x1D00, f.data(), 0, EINVAL},
      {platform::kSensorIocWrite, 0x1D00, buf, 257, EINVAL},
      {platform::kSensorIocWrite, 0x1D00, f.data(), 17, EINVAL},  // not a frame
      {platform::kSensorIocWrite, 0x1D12, f.data(), 18, EINVAL},  // answers are read
      {platform::kSensorIocRead, 0x1D00, buf, 14, EINVAL},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(transfer(b.request, b.address, b.data, b.length), -1) << b.length;
    EXPECT_EQ(errno, b.error) << b.length;
  }
  EXPECT_TRUE(board_.sensor().frames().empty());

  // Before any query the answer register reads as zero; a longer read is
  // padded, never overrun.
  std::memset(buf, 0xAA, sizeof buf);
  ASSERT_EQ(transfer(platform::kSensorIocRead, 0x1D12, buf, 20), 0);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(buf[i], 0) << i;
  EXPECT_EQ(buf[20], 0xAA);

  // Faults on demand: a failing transfer leaves no answer behind.
  board_.sensor().failNext(platform::kSensorIocWrite, ETIMEDOUT);
  EXPECT_EQ(send(f), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_EQ(board_.sensor().queriesAnswered(), 0);
  EXPECT_EQ(send(f), 0);
  EXPECT_EQ(board_.sensor().queriesAnswered(), 1);
}

}  // namespace
