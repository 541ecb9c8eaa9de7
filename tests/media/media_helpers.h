#pragma once
// Shared pieces of the media tests: the recording channel's attributes, test
// pictures, pools, overlay regions, sending a frame through a pool block, and
// an H.264 decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/encoder_channel.h"
#include "platform/media/rk_mpi.h"

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace mediatest {

constexpr int kW = 360;
constexpr int kH = 320;
constexpr int kFrameBytes = kW * kH * 3 / 2;

// Creates channel `chn` with the recording attributes and starts it without limit.
void startChannel(VENC_CHN chn = 0);
MB_POOL makePool(RK_U64 size, RK_U32 count);

struct Rgba {
  uint8_t r, g, b, a;
};
// An RGBA8888 overlay region of w x h, attached to encoder channel `chn` at
// (x, y) on `layer`; and its bitmap.
void createRegion(RGN_HANDLE h, int w, int hgt);
RK_S32 attach(RGN_HANDLE h, int x = 0, int y = 0, RK_U32 layer = 0, VENC_CHN chn = 0);
RK_S32 setBitmap(RGN_HANDLE h, const std::vector<Rgba>& px, int w, int hgt);

// An NV12 picture of kW x kH: smooth gradients and a bright square whose
// place depends on `index`, so neighbouring frames differ.
std::vector<uint8_t> pattern(int index);
std::vector<uint8_t> flat(uint8_t y, uint8_t u, uint8_t v);

// Copies `nv12` into a block of `pool`, sends it (waiting `waitMs`, -1 without
// limit) and releases the block. Returns the send's result.
RK_S32 sendPicture(MB_POOL pool, const std::vector<uint8_t>& nv12, RK_U64 pts, VENC_CHN chn = 0,
                   RK_S32 waitMs = -1);

struct Packet {
  std::vector<uint8_t> bytes;
  RK_U64 pts = 0;
  H264E_NALU_TYPE_E type = H264E_NALU_PSLICE;
};
// Waits up to 10 s for the channel's next packet (in 200 ms polls); the
// last poll's result.
RK_S32 awaitStream(VENC_CHN chn, VENC_STREAM_S* stream);
// Takes one packet (awaitStream), copies it and releases it. False on none.
bool takePacket(Packet* out, VENC_CHN chn = 0);
bool startsWithSps(const std::vector<uint8_t>& bytes);

// Decodes Annex-B access units one by one into NV12 pictures of kW x kH.
class Decoder {
 public:
  Decoder();
  ~Decoder();
  // Returns false on a decoding error or when no picture came out.
  bool decode(const std::vector<uint8_t>& au, std::vector<uint8_t>* nv12);

 private:
  AVCodecContext* ctx_ = nullptr;
  AVPacket* pkt_ = nullptr;
  AVFrame* frame_ = nullptr;
};

// Peak signal-to-noise ratio of two equal-sized byte ranges, in dB.
double psnr(const uint8_t* a, const uint8_t* b, size_t n);

}  // namespace mediatest
