#pragma once
// Capture of the thermal sensor's frames and the per-frame chain on the
// camera's own worker thread: YUYV to NV12, detail enhancement, optional
// threefold super-resolution, palette, and presentation on the display.
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

// A joinable POSIX thread that runs Run() once.
class CThreadImpl {
 public:
  CThreadImpl() = default;
  virtual ~CThreadImpl();
  CThreadImpl(const CThreadImpl&) = delete;
  CThreadImpl& operator=(const CThreadImpl&) = delete;

  bool Start();
  void Join();
  bool IsRunning() const { return running_.load(std::memory_order_acquire); }

 protected:
  virtual void Run() {}
  std::atomic<bool> running_{false};

 private:
  static void* Trampoline(void* self);
  pthread_t thread_{};
  bool joinable_ = false;
};

struct sr_dde;
struct v4l2_buffer;
struct v4l2_plane;
struct sr_rknn;

class alignas(16) IrCamera : public CThreadImpl {
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

  bool Init(const char* devicePath, bool srEnabled);
  bool Stop();
  bool IsInited() const { return initialised_.load(std::memory_order_acquire); }

  void SetScale(int tenths) { scale_.store(tenths, std::memory_order_relaxed); }
  void SetPause(bool paused) { paused_.store(paused, std::memory_order_relaxed); }
  void SetImageMode(int mode) { imageMode_.store(mode, std::memory_order_relaxed); }

  // The centred crop shown at a zoom (tenths), for the frame size in use.
  struct Crop {
    int x, y, w, h;
  };
  static Crop CropFor(int scaleTenths, bool sr);

  uint32_t BufferType() const { return bufferType_; }
  uint32_t BufferCount() const { return bufferCount_; }
  int LastIndex() const { return lastIndex_.load(std::memory_order_relaxed); }
  // Frames that reached the display since Init (for tests and measurements).
  uint64_t FramesShown() const { return framesShown_.load(std::memory_order_relaxed); }

 protected:
  void Run() override;

 private:
  struct Buffer {
    void* start;
    size_t length;
    uint32_t spare;
  };

  // Frees whatever a bring-up obtained; used by Stop and by a failed Init.
  bool Teardown(bool channelCreated);
  bool Requeue(uint32_t index);
  // A buffer record of the type in use (with its one plane when multi-planar).
  void PrepareBuffer(v4l2_buffer* buf, v4l2_plane* plane, uint32_t index) const;
  void ProcessFrame(uint32_t index);

  const char* devicePath_ = nullptr;
  Buffer* buffers_ = nullptr;
  uint32_t bufferCount_ = 0;
  int fd_ = -1;
  uint32_t width_ = kSensorWidth;
  uint32_t height_ = kSensorHeight;
  uint32_t pixelFormat_ = 0;
  uint32_t bufferType_ = 9;
  std::atomic<bool> initialised_{false};
  std::atomic<int> lastIndex_{0};
  std::atomic<int> scale_{10};
  std::atomic<bool> paused_{false};
  std::atomic<int> imageMode_{0};
  bool srEnabled_ = false;
  bool streaming_ = false;
  std::atomic<uint64_t> framesShown_{0};

  sr_dde* dde_ = nullptr;
  sr_rknn* rknn_ = nullptr;

  alignas(16) uint8_t scratch_[kSensorFrameBytes];
  alignas(16) uint8_t sensorSlots_[kSlotCount][kSensorFrameBytes];
  alignas(16) uint8_t srSlots_[kSlotCount][kSrFrameBytes];
};
