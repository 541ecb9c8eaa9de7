#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <QTest>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "devices/rv_key.h"
#include "platform/devio.h"
#include "platform/unique_fd.h"

namespace {

// The two input devices as pipes the test writes kernel input records into.
class PipeInputs : public platform::LinuxDeviceIo {
 public:
  PipeInputs() {
    for (auto& p : pipes_) EXPECT_EQ(::pipe2(p, O_NONBLOCK | O_CLOEXEC), 0);
  }
  ~PipeInputs() override {
    for (auto& p : pipes_) {
      platform::closeDescriptor(p[0]);
      platform::closeDescriptor(p[1]);
    }
  }
  int open(const char* path, int, mode_t) override {
    const std::string p(path);
    if (p == "/dev/input/event1") return ::dup(pipes_[0][0]);
    if (p == "/dev/input/event2") return ::dup(pipes_[1][0]);
    errno = ENOENT;
    return -1;
  }
  void send(int device, int code, int value, int type = EV_KEY) {
    input_event ev;
    std::memset(&ev, 0, sizeof ev);
    ev.type = static_cast<uint16_t>(type);
    ev.code = static_cast<uint16_t>(code);
    ev.value = value;
    ASSERT_EQ(::write(pipes_[device - 1][1], &ev, sizeof ev), static_cast<ssize_t>(sizeof ev));
  }

 private:
  int pipes_[2][2];
};

class Keys : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setDeviceIo(&inputs);
    reader.setTickMs(kTick);
    QObject::connect(
        &reader, &Rv_key::ck_key, &reader,
        [this](user_key_value_e k) {
          std::lock_guard<std::mutex> l(lock);
          keys.push_back(k);
        },
        Qt::DirectConnection);
    reader.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return reader.isPolling(); }, 2000));
  }
  void TearDown() override {
    reader.stop();
    reader.wait();
    platform::setDeviceIo(nullptr);
  }
  std::vector<int> seen() {
    std::lock_guard<std::mutex> l(lock);
    return std::vector<int>(keys.begin(), keys.end());
  }
  // Lets `ticks` idle ticks pass.
  static void idle(int ticks) { QThread::msleep(static_cast<unsigned long>(ticks * kTick)); }

  static constexpr int kTick = 10;
  PipeInputs inputs;
  Rv_key reader;
  std::mutex lock;
  std::vector<user_key_value_e> keys;
};

}  // namespace

TEST_F(Keys, ShutterShortPressTakesAPhotoAndAHoldRecordsOnce) {
  inputs.send(1, Rv_key::kKeyShutter, 1);
  idle(3);
  inputs.send(1, Rv_key::kKeyShutter, 0);
  idle(Rv_key::kHoldTicks + 10);
  EXPECT_EQ(seen(), std::vector<int>{USER_KEY_SHUTTER});

  // Held past its countdown: one record value, and the release says nothing.
  inputs.send(1, Rv_key::kKeyShutter, 1);
  for (int i = 0; i < 5; ++i) inputs.send(1, Rv_key::kKeyShutter, 2);  // auto-repeat
  idle(Rv_key::kHoldTicks * 2 + 10);
  inputs.send(1, Rv_key::kKeyShutter, 0);
  idle(10);
  EXPECT_EQ(seen(), (std::vector<int>{USER_KEY_SHUTTER, USER_KEY_RECORD}));
}

TEST_F(Keys, PowerKeyMustBeHeldAndTheUpKeyActsOnRelease) {
  inputs.send(2, Rv_key::kKeyPower, 1);
  idle(Rv_key::kPowerTicks / 2);
  inputs.send(2, Rv_key::kKeyPower, 0);
  idle(Rv_key::kPowerTicks + 10);
  EXPECT_TRUE(seen().empty());

  inputs.send(1, Rv_key::kKeyUp, 1);
  idle(5);
  EXPECT_TRUE(seen().empty());
  inputs.send(1, Rv_key::kKeyUp, 0);
  // Records that are not key events are idle input.
  inputs.send(1, 0, 0, EV_SYN);
  inputs.send(2, Rv_key::kKeyPower, 1);
  idle(Rv_key::kPowerTicks * 2 + 10);
  inputs.send(2, Rv_key::kKeyPower, 0);
  idle(5);
  EXPECT_EQ(seen(), (std::vector<int>{USER_KEY_SR_TOGGLE, USER_KEY_POWER_OFF}));
}

TEST(KeysMissing, AMissingDeviceEndsTheReaderQuietly) {
  struct NoDevices : platform::LinuxDeviceIo {
    int open(const char*, int, mode_t) override {
      errno = ENOENT;
      return -1;
    }
  } io;
  platform::setDeviceIo(&io);
  Rv_key reader;
  reader.start();
  EXPECT_TRUE(reader.wait(2000));
  platform::setDeviceIo(nullptr);
}

TEST(KeysStop, AStopBeforeTheLoopBeginsIsNotLost) {
  PipeInputs inputs;
  platform::setDeviceIo(&inputs);
  for (int i = 0; i < 20; ++i) {
    Rv_key reader;
    reader.setTickMs(5);
    reader.start();
    reader.stop();
    EXPECT_TRUE(reader.wait(2000)) << "round " << i;
  }
  platform::setDeviceIo(nullptr);
}
