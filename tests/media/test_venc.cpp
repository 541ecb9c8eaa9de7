// The encoder channel: what goes in comes out as decodable H.264, in order,
// with the parameter sets where the file writer needs them, and the channel's
// waiting and block holding keep the feed and the writer safe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "tests/media/media_helpers.h"

using namespace mediatest;
using namespace std::chrono_literals;

namespace {

class Venc : public ::testing::Test {
 protected:
  void SetUp() override {
    MB_POOL_CONFIG_S cfg;
    std::memset(&cfg, 0, sizeof cfg);
    cfg.u64MBSize = kFrameBytes;
    cfg.u32MBCnt = 4;
    pool = RK_MPI_MB_CreatePool(&cfg);
    ASSERT_NE(pool, MB_INVALID_POOLID);
  }
  void TearDown() override {
    RK_MPI_SYS_Exit();
    RK_MPI_MB_DestroyPool(pool);
  }
  // Blocks of the pool that can be taken at once (all of them when none is held).
  int freeBlocks() {
    std::vector<MB_BLK> got;
    while (MB_BLK b = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_FALSE)) got.push_back(b);
    for (MB_BLK b : got) RK_MPI_MB_ReleaseMB(b);
    return static_cast<int>(got.size());
  }
  MB_POOL pool = MB_INVALID_POOLID;
};

TEST_F(Venc, FramesComeBackAsPacketsThatDecodeToTheSamePictures) {
  startChannel();
  VENC_CHN_ATTR_S attr;
  ASSERT_EQ(RK_MPI_VENC_GetChnAttr(0, &attr), RK_SUCCESS);
  EXPECT_EQ(attr.stRcAttr.stH264Cbr.u32BitRate, 10240u);

  Decoder decoder;
  for (int i = 0; i < 12; ++i) {
    const std::vector<uint8_t> in = pattern(i);
    ASSERT_EQ(sendPicture(pool, in, 40000ull * (i + 1)), RK_SUCCESS);
    Packet p;
    ASSERT_TRUE(takePacket(&p)) << "frame " << i;
    EXPECT_EQ(p.pts, 40000ull * (i + 1));
    EXPECT_EQ(startsWithSps(p.bytes), i == 0) << "frame " << i;
    if (i == 0) {
      EXPECT_EQ(p.bytes[5], 100) << "profile_idc of High";
    }
    EXPECT_EQ(p.type, i == 0 ? H264E_NALU_IDRSLICE : H264E_NALU_PSLICE);
    std::vector<uint8_t> out;
    ASSERT_TRUE(decoder.decode(p.bytes, &out)) << "frame " << i;
    EXPECT_GT(psnr(in.data(), out.data(), kW * kH), 38.0) << "luma of frame " << i;
    EXPECT_GT(psnr(in.data() + kW * kH, out.data() + kW * kH, kW * kH / 2), 38.0)
        << "chroma of frame " << i;
    // The picture is this frame's, not its neighbour's (the square moves).
    const std::vector<uint8_t> next = pattern(i + 1);
    EXPECT_LT(psnr(next.data(), out.data(), kW * kH), 30.0);
  }
  // Every block went back to the pool once encoded.
  ASSERT_EQ(RK_MPI_SYS_WaitFreeMB(), RK_SUCCESS);
  EXPECT_EQ(freeBlocks(), 4);
}

TEST_F(Venc, IdrFramesCarryParameterSetsAtTheGopAndOnRequest) {
  startChannel();
  std::vector<int> idrAt;
  for (int i = 0; i < 121; ++i) {
    if (i == 70) {
      ASSERT_EQ(RK_MPI_VENC_RequestIDR(0, RK_TRUE), RK_SUCCESS);
    }
    ASSERT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);
    Packet p;
    ASSERT_TRUE(takePacket(&p));
    const bool idr = p.type == H264E_NALU_IDRSLICE;
    EXPECT_EQ(startsWithSps(p.bytes), idr) << "frame " << i;
    if (idr) idrAt.push_back(i);
  }
  // The requested IDR frame starts a new GOP of 50.
  EXPECT_EQ(idrAt, (std::vector<int>{0, 50, 70, 120}));
}

TEST_F(Venc, SendWaitsWhileEveryStreamBufferIsInUse) {
  startChannel();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);

  // No wait asked: refused at once.
  MB_BLK blk = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_TRUE);
  ASSERT_NE(blk, MB_INVALID_HANDLE);
  VIDEO_FRAME_INFO_S frame;
  std::memset(&frame, 0, sizeof frame);
  frame.stVFrame.pMbBlk = blk;
  frame.stVFrame.u32Width = kW;
  frame.stVFrame.u32Height = kH;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, 0), RK_ERR_VENC_BUF_FULL);
  RK_MPI_MB_ReleaseMB(blk);

  // Waiting without limit: returns once the writer gives a packet back.
  auto sender = std::async(std::launch::async, [&] { return sendPicture(pool, pattern(3), 3); });
  EXPECT_EQ(sender.wait_for(150ms), std::future_status::timeout);
  Packet p;
  ASSERT_TRUE(takePacket(&p));
  EXPECT_EQ(p.pts, 0u);
  ASSERT_EQ(sender.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(sender.get(), RK_SUCCESS);
  for (RK_U64 pts = 1; pts <= 3; ++pts) {
    ASSERT_TRUE(takePacket(&p));
    EXPECT_EQ(p.pts, pts);
  }

  // A sender stuck on a full channel is woken by the channel's destruction.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);
  auto stuck = std::async(std::launch::async, [&] { return sendPicture(pool, pattern(9), 9); });
  EXPECT_EQ(stuck.wait_for(100ms), std::future_status::timeout);
  ASSERT_EQ(RK_MPI_VENC_DestroyChn(0), RK_SUCCESS);
  ASSERT_EQ(stuck.wait_for(2s), std::future_status::ready);
  EXPECT_NE(stuck.get(), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_SYS_WaitFreeMB(), RK_SUCCESS);
  EXPECT_EQ(freeBlocks(), 4);
}

TEST_F(Venc, EncoderKeepsTheBlockUntilItHasEncodedIt) {
  // A pool of one block: the next get can only succeed once the encoder is
  // done with the frame the caller already released.
  MB_POOL_CONFIG_S cfg;
  std::memset(&cfg, 0, sizeof cfg);
  cfg.u64MBSize = kFrameBytes;
  cfg.u32MBCnt = 1;
  MB_POOL one = RK_MPI_MB_CreatePool(&cfg);
  ASSERT_NE(one, MB_INVALID_POOLID);
  startChannel();
  Decoder decoder;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(sendPicture(one, pattern(i), i), RK_SUCCESS);
    MB_BLK again = RK_MPI_MB_GetMB(one, kFrameBytes, RK_TRUE);
    ASSERT_NE(again, MB_INVALID_HANDLE);
    VENC_CHN_STATUS_S st;
    ASSERT_EQ(RK_MPI_VENC_QueryStatus(0, &st), RK_SUCCESS);
    EXPECT_EQ(st.u32LeftPics, 0u) << "block free while its frame was still being encoded";
    // Scribbling on the block now must not reach the packet.
    std::memset(RK_MPI_MB_Handle2VirAddr(again), 0, kFrameBytes);
    RK_MPI_MB_ReleaseMB(again);
    Packet p;
    ASSERT_TRUE(takePacket(&p));
    std::vector<uint8_t> out;
    ASSERT_TRUE(decoder.decode(p.bytes, &out));
    EXPECT_GT(psnr(pattern(i).data(), out.data(), kW * kH), 38.0);
  }
  RK_MPI_MB_DestroyPool(one);
}

TEST_F(Venc, StoppingDropsQueuedFramesAndTakenPacketsOutliveTheChannel) {
  startChannel();
  ASSERT_EQ(sendPicture(pool, pattern(0), 0), RK_SUCCESS);
  VENC_PACK_S pack;
  VENC_STREAM_S stream;
  std::memset(&stream, 0, sizeof stream);
  stream.pstPack = &pack;
  ASSERT_EQ(RK_MPI_VENC_GetStream(0, &stream, 200), RK_SUCCESS);
  ASSERT_TRUE(startsWithSps(std::vector<uint8_t>(
      static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk)),
      static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk)) + pack.u32Len)));

  for (int i = 1; i < 3; ++i) ASSERT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);
  ASSERT_EQ(RK_MPI_VENC_StopRecvFrame(0), RK_SUCCESS);
  EXPECT_EQ(sendPicture(pool, pattern(3), 3), RK_ERR_VENC_NOT_PERM);
  ASSERT_EQ(RK_MPI_VENC_DestroyChn(0), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_SYS_WaitFreeMB(), RK_SUCCESS);
  EXPECT_EQ(freeBlocks(), 4);

  // The writer may still be copying the packet it took: it stays readable.
  const uint8_t* bytes = static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[4], 0x67);
  EXPECT_EQ(RK_MPI_VENC_ReleaseStream(0, &stream), RK_SUCCESS);
  EXPECT_NE(RK_MPI_VENC_ReleaseStream(0, &stream), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk), nullptr);

  // A new channel under the same number starts with an IDR frame again.
  startChannel();
  ASSERT_EQ(sendPicture(pool, pattern(4), 4), RK_SUCCESS);
  Packet p;
  ASSERT_TRUE(takePacket(&p));
  EXPECT_TRUE(startsWithSps(p.bytes));
}

TEST_F(Venc, BadArgumentsAreRefused) {
  VENC_CHN_ATTR_S attr = recordingAttr();
  EXPECT_NE(RK_MPI_VENC_CreateChn(0, nullptr), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(VENC_MAX_CHN_NUM, &attr), RK_ERR_VENC_INVALID_CHNID);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(-1, &attr), RK_ERR_VENC_INVALID_CHNID);
  VENC_CHN_ATTR_S bad = attr;
  bad.stVencAttr.enType = RK_VIDEO_ID_Unused;
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &bad), RK_ERR_VENC_NOT_SUPPORT);
  bad = attr;
  bad.stVencAttr.u32PicWidth = 361;
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &bad), RK_ERR_VENC_ILLEGAL_PARAM);
  bad = attr;
  bad.stVencAttr.u32PicHeight = 400;  // above the maximum
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &bad), RK_ERR_VENC_ILLEGAL_PARAM);
  bad = attr;
  bad.stRcAttr.stH264Cbr.u32Gop = 0;
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &bad), RK_ERR_VENC_ILLEGAL_PARAM);
  bad = attr;
  bad.stRcAttr.enRcMode = static_cast<VENC_RC_MODE_E>(9);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &bad), RK_ERR_VENC_NOT_SUPPORT);

  VIDEO_FRAME_INFO_S frame;
  std::memset(&frame, 0, sizeof frame);
  frame.stVFrame.u32Width = kW;
  frame.stVFrame.u32Height = kH;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_UNEXIST);

  ASSERT_EQ(RK_MPI_VENC_CreateChn(0, &attr), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &attr), RK_ERR_VENC_EXIST);
  // Not receiving yet.
  EXPECT_EQ(sendPicture(pool, pattern(0), 0), RK_ERR_VENC_NOT_PERM);
  VENC_RECV_PIC_PARAM_S recv{0};
  EXPECT_EQ(RK_MPI_VENC_StartRecvFrame(0, &recv), RK_ERR_VENC_ILLEGAL_PARAM);
  recv.s32RecvPicNum = 2;
  ASSERT_EQ(RK_MPI_VENC_StartRecvFrame(0, &recv), RK_SUCCESS);

  MB_BLK blk = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_TRUE);
  frame.stVFrame.pMbBlk = blk;
  frame.stVFrame.u32Width = 320;  // not the channel's size
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  frame.stVFrame.u32Width = kW;
  frame.stVFrame.u32VirHeight = kH * 2;  // more than the block holds
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  frame.stVFrame.u32VirHeight = kH;
  uint8_t notABlock[64] = {};
  frame.stVFrame.pMbBlk = notABlock;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  frame.stVFrame.pMbBlk = blk;
  RK_MPI_MB_ReleaseMB(blk);  // released: no longer a frame
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, nullptr, -1), RK_ERR_VENC_NULL_PTR);

  // A limited receive count: the third frame is refused.
  EXPECT_EQ(sendPicture(pool, pattern(0), 0), RK_SUCCESS);
  EXPECT_EQ(sendPicture(pool, pattern(1), 1), RK_SUCCESS);
  EXPECT_EQ(sendPicture(pool, pattern(2), 2), RK_ERR_VENC_NOT_PERM);

  VENC_STREAM_S stream;
  std::memset(&stream, 0, sizeof stream);
  EXPECT_EQ(RK_MPI_VENC_GetStream(0, &stream, 200), RK_ERR_VENC_NULL_PTR);
  VENC_PACK_S pack;
  std::memset(&pack, 0, sizeof pack);
  stream.pstPack = &pack;
  pack.pMbBlk = notABlock;
  EXPECT_NE(RK_MPI_VENC_ReleaseStream(0, &stream), RK_SUCCESS);
  Packet p;
  ASSERT_TRUE(takePacket(&p));
  ASSERT_TRUE(takePacket(&p));

  // Nothing more to come: the 200 ms timeout is kept, give or take.
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(RK_MPI_VENC_GetStream(0, &stream, 200), RK_ERR_VENC_BUF_EMPTY);
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(waited, 190ms);
  EXPECT_LT(waited, 1s);
  EXPECT_EQ(RK_MPI_VENC_RequestIDR(3, RK_TRUE), RK_ERR_VENC_UNEXIST);
  EXPECT_EQ(RK_MPI_VENC_DestroyChn(3), RK_ERR_VENC_UNEXIST);
}

// Three threads at once, as in a recording: the feed sends, the writer takes
// packets, the interface thread updates the overlay.
TEST_F(Venc, FeedWriterAndOverlayRunTogether) {
  startChannel();
  RGN_ATTR_S ra;
  std::memset(&ra, 0, sizeof ra);
  ra.enType = OVERLAY_RGN;
  ra.unAttr.stOverlay.enPixelFmt = RK_FMT_RGBA8888;
  ra.unAttr.stOverlay.stSize = {368, 320};
  ASSERT_EQ(RK_MPI_RGN_Create(0, &ra), RK_SUCCESS);
  MPP_CHN_S chn{RK_ID_VENC, 0, 0};
  RGN_CHN_ATTR_S ca;
  std::memset(&ca, 0, sizeof ca);
  ca.bShow = RK_TRUE;
  ca.enType = OVERLAY_RGN;
  ASSERT_EQ(RK_MPI_RGN_AttachToChn(0, &chn, &ca), RK_SUCCESS);

  constexpr int kFrames = 40;
  std::atomic<bool> done{false};
  std::thread overlay([&] {
    std::vector<uint8_t> rgba(368 * 320 * 4);
    for (int n = 0; !done; ++n) {
      std::fill(rgba.begin(), rgba.end(), static_cast<uint8_t>(n));
      BITMAP_S bmp{RK_FMT_RGBA8888, 368, 320, rgba.data()};
      RK_MPI_RGN_SetBitMap(0, &bmp);
      std::this_thread::sleep_for(2ms);
    }
  });
  std::thread feed([&] {
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);
  });
  std::vector<RK_U64> order;
  Decoder decoder;
  for (int tries = 0; static_cast<int>(order.size()) < kFrames && tries < kFrames * 10; ++tries) {
    Packet p;
    if (!takePacket(&p)) continue;
    order.push_back(p.pts);
    std::vector<uint8_t> out;
    EXPECT_TRUE(decoder.decode(p.bytes, &out));
  }
  feed.join();
  done = true;
  overlay.join();
  ASSERT_EQ(order.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) EXPECT_EQ(order[i], static_cast<RK_U64>(i));
}

}  // namespace
