#pragma once
// The thermal core's command channel on its V4L2 sub-device: the transfer
// descriptor handed to the two private requests, the request numbers, the
// register addresses and the frame check. Shared by the program's channel and
// the simulated sub-device so both sides agree on one layout.
#include <linux/ioctl.h>

#include <cstddef>
#include <cstdint>

namespace platform {

// Native layout. The buffer is a pointer: 4 bytes on the board's 32-bit build
// (20 bytes in all), 8 bytes on a 64-bit build, where the field moves to keep
// natural alignment and the structure grows to 24 bytes. The request numbers
// carry the size, so they follow.
struct SensorTransfer {
  uint32_t reserved0 = 0;
  uint16_t address = 0;  // register on the core
  uint16_t reserved1 = 0;
  void* buffer = nullptr;  // data to send, or the buffer to fill
  uint16_t length = 0;     // bytes
  uint16_t reserved2 = 0;
  uint32_t timeout = 0;  // interpreted by the driver
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(SensorTransfer) == 20, "32-bit descriptor is 20 bytes");
#else
static_assert(sizeof(SensorTransfer) == 24, "64-bit descriptor carries a native pointer");
#endif

constexpr unsigned long kSensorIocRead = _IOWR(0xEF, 1, SensorTransfer);
constexpr unsigned long kSensorIocWrite = _IOW(0xEF, 2, SensorTransfer);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(kSensorIocRead == 0xC014EF01ul && kSensorIocWrite == 0x4014EF02ul,
              "the board's driver numbers");
#endif

constexpr uint16_t kSensorCommandAddress = 0x1D00;
constexpr uint16_t kSensorAnswerAddress = 0x1D12;
constexpr uint32_t kSensorTimeout = 2000;
constexpr size_t kSensorFrameLength = 18;  // 16 command bytes + check value
constexpr size_t kSensorAnswerLength = 14;
constexpr size_t kSensorMaxPayload = 256;

// Sub-device node of the core.
constexpr const char* kSensorSubdevPath = "/dev/v4l-subdev3";

// CRC-16/XMODEM: polynomial 0x1021, initial 0, MSB first, no reflection, no
// final XOR. Frames carry it low byte first after the 16 command bytes.
inline uint16_t crc16Xmodem(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>(crc ^ (static_cast<uint16_t>(data[i]) << 8));
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

}  // namespace platform
