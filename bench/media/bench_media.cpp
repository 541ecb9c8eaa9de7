// Cost of the recording path per 360 x 320 frame: the encoder channel (its
// worker thread included, hence process CPU time), the overlay composite and
// the thumbnail JPEG.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/encoder_channel.h"
#include "platform/jpeg/jpeg_enc.h"
#include "platform/media/media_internal.h"
#include "platform/media/rk_mpi.h"

namespace {

constexpr int kW = 360, kH = 320, kFrameBytes = kW * kH * 3 / 2;

// A palette-coloured thermal picture is smooth with sensor noise on top; a
// warm blob moves so that consecutive frames differ.
std::vector<std::vector<uint8_t>> frames(int count) {
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.f, 3.f);
  std::vector<std::vector<uint8_t>> out(count, std::vector<uint8_t>(kFrameBytes));
  for (int n = 0; n < count; ++n) {
    auto& f = out[n];
    const int bx = 60 + n * 4, by = 80 + n * 2;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const float d2 = float((x - bx) * (x - bx) + (y - by) * (y - by));
        const float v = 60.f + 0.2f * x + 0.1f * y + 120.f / (1.f + d2 / 900.f) + noise(rng);
        f[y * kW + x] = static_cast<uint8_t>(std::min(255.f, std::max(0.f, v)));
      }
    for (int i = kW * kH; i < kFrameBytes; i += 2) {
      f[i] = static_cast<uint8_t>(110 + (i / kW) % 30);
      f[i + 1] = static_cast<uint8_t>(150 - (i % kW) / 12);
    }
  }
  return out;
}

// The overlay the program blends while recording: mostly transparent, with
// opaque and antialiased marks.
std::vector<uint8_t> overlay() {
  std::vector<uint8_t> px(368 * 320 * 4, 0);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 368; ++x) {
      uint8_t* p = &px[(y * 368 + x) * 4];
      const bool cross = (std::abs(x - 180) < 2 && std::abs(y - 160) < 40) ||
                         (std::abs(y - 160) < 2 && std::abs(x - 180) < 40);
      const bool band = y < 24 || y >= 300;
      if (cross || band) {
        p[0] = 255, p[1] = 40, p[2] = 40, p[3] = band ? 160 : 255;
      }
    }
  return px;
}

void attachOverlay(const std::vector<uint8_t>& px) {
  RGN_ATTR_S ra;
  std::memset(&ra, 0, sizeof ra);
  ra.enType = OVERLAY_RGN;
  ra.unAttr.stOverlay.enPixelFmt = RK_FMT_RGBA8888;
  ra.unAttr.stOverlay.stSize = {368, 320};
  RK_MPI_RGN_Create(0, &ra);
  MPP_CHN_S chn{RK_ID_VENC, 0, 0};
  RGN_CHN_ATTR_S ca;
  std::memset(&ca, 0, sizeof ca);
  ca.bShow = RK_TRUE;
  ca.enType = OVERLAY_RGN;
  RK_MPI_RGN_AttachToChn(0, &chn, &ca);
  BITMAP_S bmp{RK_FMT_RGBA8888, 368, 320, const_cast<uint8_t*>(px.data())};
  RK_MPI_RGN_SetBitMap(0, &bmp);
}

// One frame through the channel: block, copy, send, take the packet, release.
void BM_EncodeFrame(benchmark::State& state) {
  const bool withOverlay = state.range(0) != 0;
  const auto input = frames(50);
  MB_POOL_CONFIG_S cfg;
  std::memset(&cfg, 0, sizeof cfg);
  cfg.u64MBSize = kFrameBytes;
  cfg.u32MBCnt = 4;
  MB_POOL pool = RK_MPI_MB_CreatePool(&cfg);
  VENC_CHN_ATTR_S attr = recordingChannelAttr();
  VENC_RECV_PIC_PARAM_S recv{-1};
  if (!pool || RK_MPI_VENC_CreateChn(0, &attr) || RK_MPI_VENC_StartRecvFrame(0, &recv)) {
    state.SkipWithError("channel");
    return;
  }
  const auto px = overlay();
  if (withOverlay) attachOverlay(px);
  VENC_PACK_S pack;
  VENC_STREAM_S stream;
  std::memset(&stream, 0, sizeof stream);
  stream.pstPack = &pack;
  size_t bytes = 0, n = 0;
  for (auto _ : state) {
    MB_BLK blk = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_TRUE);
    std::memcpy(RK_MPI_MB_Handle2VirAddr(blk), input[n % input.size()].data(), kFrameBytes);
    VIDEO_FRAME_INFO_S frame;
    std::memset(&frame, 0, sizeof frame);
    frame.stVFrame.pMbBlk = blk;
    frame.stVFrame.u32Width = kW;
    frame.stVFrame.u32Height = kH;
    frame.stVFrame.u64PTS = 40000 * ++n;
    RK_MPI_VENC_SendFrame(0, &frame, -1);
    RK_MPI_MB_ReleaseMB(blk);
    if (RK_MPI_VENC_GetStream(0, &stream, 1000) == RK_SUCCESS) {
      bytes += pack.u32Len;
      RK_MPI_VENC_ReleaseStream(0, &stream);
    }
  }
  state.counters["bytes_per_frame"] = n ? double(bytes) / double(n) : 0;
  RK_MPI_SYS_Exit();
  RK_MPI_MB_DestroyPool(pool);
}
BENCHMARK(BM_EncodeFrame)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_OverlayComposite(benchmark::State& state) {
  const auto input = frames(1);
  const auto px = overlay();
  attachOverlay(px);
  std::vector<uint8_t> out(kFrameBytes);
  for (auto _ : state) {
    hlmedia::rgnComposite(0, input[0].data(), kW, kH, out.data(), kW, kH);
    benchmark::DoNotOptimize(out.data());
  }
  RK_MPI_SYS_Exit();
}
BENCHMARK(BM_OverlayComposite)->Unit(benchmark::kMicrosecond);

void BM_SetBitMap(benchmark::State& state) {
  const auto px = overlay();
  attachOverlay(px);
  BITMAP_S bmp{RK_FMT_RGBA8888, 368, 320, const_cast<uint8_t*>(px.data())};
  for (auto _ : state) RK_MPI_RGN_SetBitMap(0, &bmp);
  RK_MPI_SYS_Exit();
}
BENCHMARK(BM_SetBitMap)->Unit(benchmark::kMicrosecond);

void BM_ThumbnailJpeg(benchmark::State& state) {
  const auto input = frames(1);
  char path[] = "/tmp/bench_media_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("temp file");
    return;
  }
  close(fd);
  for (auto _ : state) jpeg_enc(input[0].data(), path, kW, kH, 75);
  std::remove(path);
}
BENCHMARK(BM_ThumbnailJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
