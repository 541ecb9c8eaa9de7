// The accelerometer driver against the simulated da380B: bring-up and its
// refusals, the baseline on a failing bus, the sample format and the drift
// trim at rest and in motion.
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>

#include <cerrno>
#include <cmath>
#include <functional>
#include <string>

#include "devices/accelerometer.h"
#include "sim/sim_board.h"
#include "tests/support/temp_root.h"

namespace {

constexpr float kG = 9.80665f;

class AccelTest : public ::testing::Test {
 protected:
  // A board whose chip lies flat with neither noise nor wander, so every
  // reading is exact.
  void makeBoard(bool withChip = true) {
    sim::SimBoardOptions o;
    o.accelerometer = withChip;
    o.accel.noiseG = 0;
    o.accel.driftG = 0;
    o.accel.restDirection = {{0.0, 0.0, 1.0}};
    QString error;
    ASSERT_TRUE(board_.create(o, &error)) << error.toStdString();
    board_.install();
    accel_.setSleeper([](int) {});  // no real waits
  }
  // init() with what it printed on both streams.
  int init(std::string* out, std::string* err) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int rc = accel_.init();
    *out = testing::internal::GetCapturedStdout();
    *err = testing::internal::GetCapturedStderr();
    return rc;
  }

  TempRoot root_;
  sim::SimBoard board_;
  Accelerometer accel_;
};

TEST_F(AccelTest, BringUpConfiguresTheChipAndCapturesTheBaseline) {
  makeBoard();
  std::string out, err;
  ASSERT_EQ(init(&out, &err), 0) << err;
  EXPECT_EQ(out, "GSensor da380B init successed\n");
  EXPECT_EQ(err, "");
  EXPECT_EQ(board_.accel()->resets(), 1);
  ASSERT_TRUE(accel_.hasBaseline());
  EXPECT_NEAR(accel_.baselineValues()[0], 0.0f, 1e-3f);
  EXPECT_NEAR(accel_.baselineValues()[2], kG, 3e-3f);
}

TEST_F(AccelTest, RefusedBringUpsSayWhyAndReleaseTheDevice) {
  struct Case {
    const char* name;
    std::function<void(sim::SimBoard&)> fault;
    const char* expectedErr;
  };
  const Case cases[] = {
      {"another chip", [](sim::SimBoard& b) { b.accel()->setChipId(0x12); },
       "da380B CHIPID mismatch, read=0x12 expect 0x13\n"},
      {"no node", nullptr, "open /dev/i2c-0 failed\n"},
      {"address not taken", [](sim::SimBoard& b) { b.accel()->failNext(I2C_SLAVE, EBUSY); },
       "ioctl I2C_SLAVE failed, addr=0x27\n"},
      {"register number not sent",
       [](sim::SimBoard& b) { b.accel()->failNext(sim::SimDevice::kOpWrite, EIO); },
       "I2C_Read write failed\nda380B CHIPID read failed\n"},
      {"identifier unreadable",
       [](sim::SimBoard& b) { b.accel()->failNext(sim::SimDevice::kOpRead, EIO); },
       "I2C_Read read failed\nda380B CHIPID read failed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    board_.uninstall();
    makeBoard(c.fault != nullptr);
    if (c.fault) c.fault(board_);
    std::string out, err;
    EXPECT_EQ(init(&out, &err), -1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, c.expectedErr);
    EXPECT_FALSE(accel_.isOpen());
    EXPECT_EQ(board_.io().openCount(), 0u);
    float x, y, z, t[3];
    EXPECT_EQ(accel_.readSample(x, y, z), -1);
    EXPECT_EQ(accel_.readTrimmed(t), -1);
  }
}

TEST_F(AccelTest, AFailingBusLeavesTheTrimOffAndGivesRawSamples) {
  makeBoard();
  board_.accel()->failSampleReads(90);  // 10 of the 100 attempts succeed
  std::string out, err;
  ASSERT_EQ(init(&out, &err), 0);
  EXPECT_FALSE(accel_.hasBaseline());
  EXPECT_NE(err.find("GSensor: baseline capture failed, drift trim disabled\n"), std::string::npos);
  EXPECT_NE(err.find("I2C_ReadBurst read failed\n"), std::string::npos);

  board_.accel()->setOffset(0.1, 0, 0);
  for (int i = 0; i < 20; ++i) {
    float t[3];
    ASSERT_EQ(accel_.readTrimmed(t), 0);
    EXPECT_NEAR(t[0], 0.1f * kG, 3e-3f);  // nothing trimmed away
  }
}

TEST(AccelSample, AxisWordsAreSigned14BitValuesInTheUpperBits) {
  struct Case {
    unsigned lo, hi;
    int value;
  };
  const Case cases[] = {
      {0xFF, 0xFF, -1}, {0x00, 0x80, -8192}, {0xFC, 0x7F, 8191}, {0x04, 0x00, 1}, {0x03, 0x00, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Accelerometer::axisValue(c.lo, c.hi), c.value) << std::hex << c.lo << " " << c.hi;
}

TEST_F(AccelTest, AtRestTheTrimPullsTheOutputBackToTheBaseline) {
  makeBoard();
  std::string out, err;
  ASSERT_EQ(init(&out, &err), 0);
  const float off = 0.05f * kG;  // the sensor's offset moves after the baseline
  board_.accel()->setOffset(0.05, 0, 0);
  float t[3];
  // Fewer than six magnitudes: treated as moving, the trim (zero) only decays.
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(accel_.readTrimmed(t), 0);
    EXPECT_EQ(accel_.driftValues()[0], 0.0f);
  }
  // From the sixth on the magnitudes agree: 4.5 % of the remaining offset per sample.
  ASSERT_EQ(accel_.readTrimmed(t), 0);
  EXPECT_NEAR(accel_.driftValues()[0], 0.045f * off, 2e-4f);
  for (int i = 0; i < 99; ++i) ASSERT_EQ(accel_.readTrimmed(t), 0);
  const float remaining = off * std::pow(0.955f, 100.0f);
  EXPECT_NEAR(t[0] - accel_.baselineValues()[0], remaining, 2e-3f);
  EXPECT_NEAR(t[2], accel_.baselineValues()[2], 2e-3f);
  EXPECT_EQ(accel_.magnitudeCount(), 8);

  // Picked up: the jolts make the magnitudes disagree and the trim fades.
  board_.accel()->setHandled(true);
  const float before = accel_.driftValues()[0];
  ASSERT_EQ(accel_.readTrimmed(t), 0);
  EXPECT_NEAR(accel_.driftValues()[0], before * 0.987f, 1e-4f);
}

}  // namespace
