#pragma once
// Capture of the thermal sensor's frames and the per-frame chain on the
// camera's own worker thread: YUYV to NV12, detail enhancement, optional
// threefold super-resolution, palette, and presentation on the display.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/thread_impl.h"
#include "platform/unique_fd.h"
#include "platform/diag.h"

struct sr_dde;
struct sr_rknn;
struct v4l2_buffer;
struct v4l2_plane;

class IrCamera : public CThreadImpl {
 public:
  static constexpr int kSensorWidth = 256;
  static constexpr int kSensorHeight = 192;
  static constexpr int kSrWidth = 768;
  static constexpr int kSrHeight = 576;
  static constexpr int kSlotCount = 4;
  static constexpr size_t kSensorFrameBytes = kSensorWidth * kSensorHeight * 3 / 2;  // 73,728
  static constexpr size_t kSrFrameBytes = kSrWidth * kSrHeight * 3 / 2;              // 663,552

  IrCamera();
  ~IrCamera() override;

  // Full bring-up; false (after one message) leaves nothing behind.
  bool Init(const char* devicePath, bool srEnabled);
  bool Stop();
  bool IsInited() const { return initialised_.load(std::memory_order_acquire); }

  void SetScale(int tenths) { scale_.store(tenths, std::memory_order_relaxed); }
  void SetPause(bool paused) { paused_.store(paused, std::memory_order_relaxed); }
  void SetImageMode(int mode) { imageMode_.store(mode, std::memory_order_relaxed); }

  uint32_t BufferType() const { return bufferType_; }
  uint32_t BufferCount() const { return static_cast<uint32_t>(buffers_.size()); }
  // Frames that reached the display since Init (for tests and measurements).
  uint64_t FramesShown() const { return framesShown_.load(std::memory_order_relaxed); }

 protected:
  void Run() override;

 private:
  // One kernel buffer mapped into the process, unmapped when dropped.
  class Mapping {
   public:
    Mapping(void* start, size_t length) : start_(start), length_(length) {}
    ~Mapping() { unmap(); }
    Mapping(Mapping&& other) noexcept;
    Mapping& operator=(Mapping&&) = delete;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    void* start() const { return start_; }
    // False when the unmapping failed.
    bool unmap();

   private:
    void* start_;
    size_t length_;
  };

  // The bring-up steps, in order; each returns 0 or a negated errno after
  // printing its own message.
  int CreateContexts();
  int OpenDevice(const char* devicePath);
  int SetFormat();
  int RequestBuffers(const char* devicePath, uint32_t* granted);
  int MapBuffers(uint32_t count);
  int StreamOn();
  // Calls createEncoderChannel (encoder_channel.h) and remembers the channel.
  int OpenEncoderChannel();

  // Frees whatever a bring-up obtained; used by Stop and by a failed Init.
  // False when a step of the release failed (the rest still runs).
  bool Teardown();
  bool Requeue(uint32_t index);
  // Gives every buffer back to the driver through a stream off and on: the
  // way out when one was dequeued under an index that matches none of ours.
  bool RestartStream();
  // A buffer record of the type in use (with its one plane when multi-planar).
  void PrepareBuffer(v4l2_buffer* buf, v4l2_plane* plane, uint32_t index) const;
  void ProcessFrame(uint32_t index);

  platform::DeviceFd fd_;
  std::string node_;  // the capture node ("/dev/video0"), named in messages
  std::vector<Mapping> buffers_;
  uint32_t width_ = kSensorWidth;
  uint32_t height_ = kSensorHeight;
  uint32_t pixelFormat_ = 0;
  uint32_t bufferType_ = 9;
  std::atomic<bool> initialised_{false};
  std::atomic<int> scale_{10};
  std::atomic<bool> paused_{false};
  std::atomic<int> imageMode_{0};
  bool srEnabled_ = false;
  bool streaming_ = false;
  bool channelOpen_ = false;
  std::atomic<uint64_t> framesShown_{0};
  diag::Throttle selectFailures_;
  diag::Throttle queueFailures_;
  diag::Throttle dequeueFailures_;
  diag::Throttle strayIndexes_;

  sr_dde* dde_ = nullptr;
  sr_rknn* rknn_ = nullptr;

  alignas(16) uint8_t scratch_[kSensorFrameBytes];
  alignas(16) uint8_t sensorSlots_[kSlotCount][kSensorFrameBytes];
  alignas(16) uint8_t srSlots_[kSlotCount][kSrFrameBytes];
};
