// The live picture on the simulated board, measured.
//
//   BM_CameraWorker/sr:0|1  the camera worker's own CPU time per frame shown
//                           (thread CPU clock over the whole run / frames), and
//                           the latency from a frame being filled by the
//                           simulated core to the commit that latches it
//                           (median and 99th percentile).
//   BM_SuperResolution      the network enlargement alone.
//   BM_ShowFrame            one display_show of a 256 x 192 frame.
//   BM_ShowAndFeedEncoder   display_show plus one encoder feed step (copy of
//                           the frame on screen into a pool block, send, take
//                           the packet); process CPU, so the encoder's own
//                           thread counts. The difference to BM_ShowFrame is
//                           the feed's cost per encoded 360 x 320 frame.
#include <benchmark/benchmark.h>
#include <linux/videodev2.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "display/display.h"
#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"
#include "imaging/camera.h"
#include "imaging/encoder_channel.h"
#include "platform/devio.h"
#include "platform/media/rk_mpi.h"
#include "platform/paths.h"
#include "platform/rga/rga.h"
#include "sim/sim_board.h"
#include "thermal/sensor_channel.h"

namespace {

int64_t nowNs(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

// The simulated board over a throw-away root, for one benchmark.
class Board {
 public:
  Board() {
    platform::setRoot(dir_.path().toStdString());
    QString error;
    ok_ = board_.create(sim::SimBoardOptions{}, &error);
    if (ok_) board_.install();
  }
  ~Board() {
    resetSensorChannel();
    board_.uninstall();
    platform::setRoot(std::string());
  }
  bool ok() const { return ok_; }
  sim::SimBoard& sim() { return board_; }

 private:
  QTemporaryDir dir_;
  sim::SimBoard board_;
  bool ok_ = false;
};

// Passes every call to the simulated board and notes, on the thread that
// dequeues, when the simulated core filled the frame just taken.
class DequeueClock : public platform::DeviceIo {
 public:
  explicit DequeueClock(platform::DeviceIo& inner) : in_(inner) {}
  int64_t lastFrameNs() const { return last_.load(std::memory_order_relaxed); }

  int open(const char* p, int f, mode_t m) override { return in_.open(p, f, m); }
  int close(int fd) override { return in_.close(fd); }
  int ioctl(int fd, unsigned long request, void* arg) override {
    const int r = in_.ioctl(fd, request, arg);
    if (r == 0 && request == VIDIOC_DQBUF) {
      const auto* b = static_cast<const v4l2_buffer*>(arg);
      last_.store(int64_t{b->timestamp.tv_sec} * 1000000000 + int64_t{b->timestamp.tv_usec} * 1000,
                  std::memory_order_relaxed);
    }
    return r;
  }
  ssize_t read(int fd, void* b, size_t n) override { return in_.read(fd, b, n); }
  ssize_t write(int fd, const void* b, size_t n) override { return in_.write(fd, b, n); }
  void* mmap(void* a, size_t l, int p, int f, int fd, off_t o) override {
    return in_.mmap(a, l, p, f, fd, o);
  }
  int munmap(void* a, size_t l) override { return in_.munmap(a, l); }
  int select(int n, fd_set* r, fd_set* w, fd_set* e, timeval* t) override {
    return in_.select(n, r, w, e, t);
  }
  int poll(pollfd* fds, nfds_t n, int t) override { return in_.poll(fds, n, t); }

 private:
  platform::DeviceIo& in_;
  std::atomic<int64_t> last_{0};
};

// The camera with its worker's CPU clock in reach.
class MeasuredCamera : public IrCamera {
 public:
  std::atomic<bool> haveClock{false};
  clockid_t clock{};

 protected:
  void Run() override {
    pthread_getcpuclockid(pthread_self(), &clock);
    haveClock.store(true);
    IrCamera::Run();
  }
};

double percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(q * (v.size() - 1) + 0.5))];
}

void BM_CameraWorker(benchmark::State& state) {
  const bool sr = state.range(0) != 0;
  Board board;
  if (!board.ok() || display_init(320, 360) != 0) {
    state.SkipWithError("no simulated board");
    return;
  }
  DequeueClock io(board.sim().io());
  platform::setDeviceIo(&io);
  std::vector<double> latencyMs;
  latencyMs.reserve(4096);
  board.sim().kms().setCommitListener([&] {
    const int64_t due = io.lastFrameNs();
    if (due && latencyMs.size() < latencyMs.capacity())
      latencyMs.push_back(static_cast<double>(nowNs(CLOCK_MONOTONIC) - due) / 1e6);
  });

  auto camera = std::make_unique<MeasuredCamera>();
  if (!camera->Init("/dev/video0", sr)) {
    state.SkipWithError("camera init failed");
    return;
  }
  // Skip the first frames (warm-up of the enhancement and the network).
  while (camera->FramesShown() < 5) usleep(2000);
  latencyMs.clear();
  const uint64_t framesAtStart = camera->FramesShown();
  const int64_t cpuAtStart = nowNs(camera->clock);
  for (auto _ : state) {
    const uint64_t target = camera->FramesShown() + 1;
    while (camera->FramesShown() < target) usleep(500);
  }
  const int64_t cpu = nowNs(camera->clock) - cpuAtStart;
  const uint64_t frames = camera->FramesShown() - framesAtStart;
  camera->Stop();
  board.sim().kms().setCommitListener(nullptr);
  platform::setDeviceIo(&board.sim().io());
  display_deinit();

  state.counters["worker_cpu_ms_per_frame"] = frames ? cpu / 1e6 / frames : 0;
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["latency_p50_ms"] = percentile(latencyMs, 0.5);
  state.counters["latency_p99_ms"] = percentile(latencyMs, 0.99);
  state.counters["frames_lost"] = board.sim().camera().framesLost();
}
BENCHMARK(BM_CameraWorker)->ArgName("sr")->Arg(0)->Arg(1)->Iterations(250)->UseRealTime();

// The network step alone, to tell its share of the worker's time with
// super-resolution.
void BM_SuperResolution(benchmark::State& state) {
  sr_rknn* ctx = sr_rknn_create(sr_model_data(), sr_model_size());
  if (!ctx) {
    state.SkipWithError("no super-resolution context");
    return;
  }
  std::vector<uint8_t> src(256 * 192 * 3 / 2), dst(768 * 576 * 3 / 2);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  for (auto _ : state) {
    if (sr_rknn_run(ctx, src.data(), dst.data()) != 0) {
      state.SkipWithError("run failed");
      break;
    }
    benchmark::DoNotOptimize(dst.data());
  }
  sr_rknn_destroy(ctx);
}
BENCHMARK(BM_SuperResolution)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// Eight different frames, so the encoder sees motion.
std::vector<std::vector<uint8_t>> movingFrames() {
  std::vector<std::vector<uint8_t>> frames(8);
  for (int i = 0; i < 8; ++i) {
    auto& f = frames[i];
    f.assign(256 * 192 * 3 / 2, 128);
    for (int y = 0; y < 192; ++y)
      for (int x = 0; x < 256; ++x) {
        int v = 30 + ((x + 7 * i) * 3 + y) % 150;
        if (x >= 60 + 8 * i && x < 110 + 8 * i && y >= 50 && y < 110) v = 235;
        f[y * 256 + x] = static_cast<uint8_t>(v);
      }
  }
  return frames;
}

void show(std::vector<uint8_t>& f) {
  display_show(f.data(), -1, RK_FORMAT_YCbCr_420_SP, 256, 192, 20, 0, 216, 192, 90);
}

void BM_ShowFrame(benchmark::State& state) {
  Board board;
  if (!board.ok() || display_init(320, 360) != 0) {
    state.SkipWithError("no simulated board");
    return;
  }
  auto frames = movingFrames();
  size_t i = 0;
  for (auto _ : state) show(frames[i++ % frames.size()]);
  display_deinit();
}
BENCHMARK(BM_ShowFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_ShowAndFeedEncoder(benchmark::State& state) {
  Board board;
  if (!board.ok() || display_init(320, 360) != 0 || RK_MPI_SYS_Init() != RK_SUCCESS) {
    state.SkipWithError("no simulated board");
    return;
  }
  constexpr int kBytes = 360 * 320 * 3 / 2;
  MB_POOL_CONFIG_S cfg{};
  cfg.u64MBSize = kBytes;
  cfg.u32MBCnt = 4;
  const MB_POOL pool = RK_MPI_MB_CreatePool(&cfg);
  if (pool == MB_INVALID_POOLID || !createEncoderChannel()) {
    state.SkipWithError("no encoder");
    return;
  }
  auto frames = movingFrames();
  size_t i = 0;
  RK_U32 ref = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    show(frames[i++ % frames.size()]);
    MB_BLK block = RK_MPI_MB_GetMB(pool, kBytes, RK_TRUE);
    void* addr = RK_MPI_MB_Handle2VirAddr(block);
    if (display_rga_copy_last_to(addr, 360, 320, 270, RK_FORMAT_YCbCr_420_SP) != 0) {
      state.SkipWithError("copy failed");
      break;
    }
    RK_MPI_SYS_MmzFlushCache(block, RK_FALSE);
    VIDEO_FRAME_INFO_S frame{};
    frame.stVFrame.pMbBlk = block;
    frame.stVFrame.u32Width = frame.stVFrame.u32VirWidth = 360;
    frame.stVFrame.u32Height = frame.stVFrame.u32VirHeight = 320;
    frame.stVFrame.u32TimeRef = ref++;
    frame.stVFrame.u64PTS = 40000ull * ref;
    const RK_S32 sent = RK_MPI_VENC_SendFrame(0, &frame, -1);
    RK_MPI_MB_ReleaseMB(block);
    VENC_PACK_S pack{};
    VENC_STREAM_S stream{};
    stream.pstPack = &pack;
    if (sent != RK_SUCCESS || RK_MPI_VENC_GetStream(0, &stream, -1) != RK_SUCCESS) {
      state.SkipWithError("encoder refused the frame");
      break;
    }
    bytes += pack.u32Len;
    RK_MPI_VENC_ReleaseStream(0, &stream);
  }
  destroyEncoderChannel();
  RK_MPI_MB_DestroyPool(pool);
  display_deinit();
  state.counters["packet_bytes"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ShowAndFeedEncoder)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
