#pragma once
// The simulated thermal core's command channel, "/dev/v4l-subdev3": the two
// private requests with the transfer descriptor of platform/sensor_channel_abi.h.
// A write to 0x1D00 carries one 18-byte command frame whose CRC-16/XMODEM is
// checked (a bad check is refused with EIO); a region temperature query
// (10 10 92 00 ...) leaves its 14-byte answer at 0x1D12 for the read request.
// Every frame received is logged for tests, with the verdict on its check.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <map>
#include <set>
#include <vector>

#include "platform/sensor_channel_abi.h"
#include "sim/sim_device_io.h"
#include "sim/thermal_core.h"
#include "platform/unique_fd.h"

namespace sim {

struct SensorFrameRecord {
  std::array<uint8_t, platform::kSensorFrameLength> bytes{};
  bool crcOk = false;
};

class SimSensorSubdev : public SimDevice {
 public:
  explicit SimSensorSubdev(std::shared_ptr<ThermalCore> core);
  ~SimSensorSubdev() override;

  std::vector<SensorFrameRecord> frames() const;  // in arrival order
  int queriesAnswered() const;
  bool shutdownReceived() const;  // 01 0F 45 00 ...
  void clearLog();

  int open(int flags) override;
  void release(int fd) override;
  int ioctl(int fd, unsigned long request, void* arg) override;

 private:
  int commandWrite(const platform::SensorTransfer& t);
  int answerRead(const platform::SensorTransfer& t);

  std::shared_ptr<ThermalCore> core_;
  mutable std::mutex mu_;
  std::map<int, platform::UniqueFd> fds_;
  std::vector<SensorFrameRecord> log_;
  std::array<uint8_t, platform::kSensorAnswerLength> answer_{};  // the register, zero at reset
  int queries_ = 0;
  bool shutdown_ = false;
};

}  // namespace sim
