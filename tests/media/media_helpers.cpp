#include "tests/media/media_helpers.h"

#include <libyuv.h>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace mediatest {

void startChannel(VENC_CHN chn) {
  VENC_CHN_ATTR_S attr = recordingChannelAttr();
  ASSERT_EQ(RK_MPI_VENC_CreateChn(chn, &attr), RK_SUCCESS);
  VENC_RECV_PIC_PARAM_S recv{-1};
  ASSERT_EQ(RK_MPI_VENC_StartRecvFrame(chn, &recv), RK_SUCCESS);
}

MB_POOL makePool(RK_U64 size, RK_U32 count) {
  MB_POOL_CONFIG_S cfg{};
  cfg.u64MBSize = size;
  cfg.u32MBCnt = count;
  return RK_MPI_MB_CreatePool(&cfg);
}

void createRegion(RGN_HANDLE h, int w, int hgt) {
  RGN_ATTR_S ra{};
  ra.enType = OVERLAY_RGN;
  ra.unAttr.stOverlay.enPixelFmt = RK_FMT_RGBA8888;
  ra.unAttr.stOverlay.stSize = {static_cast<RK_U32>(w), static_cast<RK_U32>(hgt)};
  ra.unAttr.stOverlay.u32CanvasNum = 1;
  ASSERT_EQ(RK_MPI_RGN_Create(h, &ra), RK_SUCCESS);
}

RK_S32 attach(RGN_HANDLE h, int x, int y, RK_U32 layer, VENC_CHN chn) {
  MPP_CHN_S c{RK_ID_VENC, 0, chn};
  RGN_CHN_ATTR_S ca{};
  ca.bShow = RK_TRUE;
  ca.enType = OVERLAY_RGN;
  ca.unChnAttr.stOverlayChn.stPoint = {x, y};
  ca.unChnAttr.stOverlayChn.u32Layer = layer;
  ca.unChnAttr.stOverlayChn.stQpInfo.bEnable = RK_TRUE;
  return RK_MPI_RGN_AttachToChn(h, &c, &ca);
}

RK_S32 setBitmap(RGN_HANDLE h, const std::vector<Rgba>& px, int w, int hgt) {
  BITMAP_S bmp{RK_FMT_RGBA8888, static_cast<RK_U32>(w), static_cast<RK_U32>(hgt),
               const_cast<Rgba*>(px.data())};
  return RK_MPI_RGN_SetBitMap(h, &bmp);
}

std::vector<uint8_t> pattern(int index) {
  std::vector<uint8_t> f(kFrameBytes);
  const int sx = 20 + (index * 17) % 280, sy = 20 + (index * 11) % 240;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool square = x >= sx && x < sx + 48 && y >= sy && y < sy + 48;
      f[y * kW + x] = square ? 230 : static_cast<uint8_t>(30 + (x * 120) / kW + (y * 60) / kH);
    }
  uint8_t* uv = f.data() + kW * kH;
  for (int y = 0; y < kH / 2; ++y)
    for (int x = 0; x < kW / 2; ++x) {
      uv[y * kW + 2 * x] = static_cast<uint8_t>(90 + (x * 60) / (kW / 2));
      uv[y * kW + 2 * x + 1] = static_cast<uint8_t>(160 - (y * 50) / (kH / 2));
    }
  return f;
}

std::vector<uint8_t> flat(uint8_t y, uint8_t u, uint8_t v) {
  std::vector<uint8_t> f(kFrameBytes, y);
  for (int i = kW * kH; i < kFrameBytes; i += 2) {
    f[i] = u;
    f[i + 1] = v;
  }
  return f;
}

RK_S32 sendPicture(MB_POOL pool, const std::vector<uint8_t>& nv12, RK_U64 pts, VENC_CHN chn,
                   RK_S32 waitMs) {
  MB_BLK blk = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_TRUE);
  if (!blk) return RK_FAILURE;
  std::memcpy(RK_MPI_MB_Handle2VirAddr(blk), nv12.data(), kFrameBytes);
  RK_MPI_SYS_MmzFlushCache(blk, RK_FALSE);
  VIDEO_FRAME_INFO_S frame{};
  frame.stVFrame.pMbBlk = blk;
  frame.stVFrame.u32Width = kW;
  frame.stVFrame.u32Height = kH;
  frame.stVFrame.u32VirWidth = kW;
  frame.stVFrame.u32VirHeight = kH;
  frame.stVFrame.u64PTS = pts;
  RK_S32 ret = RK_MPI_VENC_SendFrame(chn, &frame, waitMs);
  RK_MPI_MB_ReleaseMB(blk);
  return ret;
}

RK_S32 awaitStream(VENC_CHN chn, VENC_STREAM_S* stream) {
  // Polled as the video writer polls, 200 ms at a time: a slow processor (or
  // an emulated one) may take more than one poll for a frame.
  RK_S32 ret = RK_ERR_VENC_BUF_EMPTY;
  for (int poll = 0; poll < 50 && ret == RK_ERR_VENC_BUF_EMPTY; ++poll)
    ret = RK_MPI_VENC_GetStream(chn, stream, 200);
  return ret;
}

bool takePacket(Packet* out, VENC_CHN chn) {
  VENC_PACK_S pack{};
  VENC_STREAM_S stream{};
  stream.pstPack = &pack;
  if (awaitStream(chn, &stream) != RK_SUCCESS) return false;
  const uint8_t* p = static_cast<const uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk));
  if (!p) return false;
  out->bytes.assign(p + pack.u32Offset, p + pack.u32Offset + pack.u32Len);
  out->pts = pack.u64PTS;
  out->type = pack.DataType.enH264EType;
  return RK_MPI_VENC_ReleaseStream(chn, &stream) == RK_SUCCESS;
}

bool startsWithSps(const std::vector<uint8_t>& b) {
  return b.size() > 5 && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 1 && b[4] == 0x67;
}

Decoder::Decoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  ctx_ = avcodec_alloc_context3(codec);
  ctx_->thread_count = 1;  // no frame threading: each unit gives its picture at once
  ctx_->flags |= AV_CODEC_FLAG_LOW_DELAY;
  avcodec_open2(ctx_, codec, nullptr);
  pkt_ = av_packet_alloc();
  frame_ = av_frame_alloc();
}

Decoder::~Decoder() {
  av_frame_free(&frame_);
  av_packet_free(&pkt_);
  avcodec_free_context(&ctx_);
}

bool Decoder::decode(const std::vector<uint8_t>& au, std::vector<uint8_t>* nv12) {
  std::vector<uint8_t> padded(au.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::memcpy(padded.data(), au.data(), au.size());
  pkt_->data = padded.data();
  pkt_->size = static_cast<int>(au.size());
  if (avcodec_send_packet(ctx_, pkt_) < 0) return false;
  if (avcodec_receive_frame(ctx_, frame_) < 0) return false;
  AVFrame* f = frame_;
  if (f->width != kW || f->height != kH || f->format != AV_PIX_FMT_YUV420P) return false;
  nv12->resize(kFrameBytes);
  libyuv::I420ToNV12(f->data[0], f->linesize[0], f->data[1], f->linesize[1], f->data[2],
                     f->linesize[2], nv12->data(), kW, nv12->data() + kW * kH, kW, kW, kH);
  av_frame_unref(f);
  return true;
}

double psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  return libyuv::SumSquareErrorToPsnr(libyuv::ComputeSumSquareError(a, b, static_cast<int>(n)), n);
}

}  // namespace mediatest
