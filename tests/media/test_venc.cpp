// The encoder channel: what goes in comes out as decodable H.264, in order,
// with the parameter sets where the file writer needs them, and the channel's
// waiting and block holding keep the feed and the writer safe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>

#include "tests/media/media_helpers.h"

using namespace mediatest;
using namespace std::chrono_literals;

namespace {

class Venc : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(pool = makePool(kFrameBytes, 4), MB_INVALID_POOLID); }
  void TearDown() override {
    RK_MPI_SYS_Exit();
    RK_MPI_MB_DestroyPool(pool);
  }
  // Once nothing of the encoder holds a block, all of the pool can be taken.
  void expectAllBlocksBack() {
    ASSERT_EQ(RK_MPI_SYS_WaitFreeMB(), RK_SUCCESS);
    std::vector<MB_BLK> got;
    while (MB_BLK b = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_FALSE)) got.push_back(b);
    for (MB_BLK b : got) RK_MPI_MB_ReleaseMB(b);
    EXPECT_EQ(got.size(), 4u);
  }
  MB_POOL pool = MB_INVALID_POOLID;
};

// A pool of one block: the next get can only succeed once the encoder is done
// with the frame the caller already released.
TEST_F(Venc, FramesComeBackAsPacketsThatDecodeToTheSamePictures) {
  MB_POOL one = makePool(kFrameBytes, 1);
  startChannel();
  Decoder decoder;
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(testing::Message() << "frame " << i);
    const std::vector<uint8_t> in = pattern(i);
    ASSERT_EQ(sendPicture(one, in, 40000ull * (i + 1)), RK_SUCCESS);
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
    EXPECT_EQ(p.pts, 40000ull * (i + 1));
    EXPECT_EQ(startsWithSps(p.bytes), i == 0);
    EXPECT_TRUE(i > 0 || p.bytes[5] == 100) << "profile_idc of High";
    EXPECT_EQ(p.type, i == 0 ? H264E_NALU_IDRSLICE : H264E_NALU_PSLICE);
    std::vector<uint8_t> out;
    ASSERT_TRUE(decoder.decode(p.bytes, &out));
    EXPECT_GT(psnr(in.data(), out.data(), kW * kH), 38.0);
    EXPECT_GT(psnr(in.data() + kW * kH, out.data() + kW * kH, kW * kH / 2), 38.0);
    // The picture is this frame's, not its neighbour's (the square moves).
    EXPECT_LT(psnr(pattern(i + 1).data(), out.data(), kW * kH), 30.0);
  }
  RK_MPI_MB_DestroyPool(one);
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
  EXPECT_EQ(sendPicture(pool, pattern(3), 3, 0, 0), RK_ERR_VENC_BUF_FULL);
  // Waiting without limit: returns once the writer gives a packet back.
  auto sender = std::async(std::launch::async, [&] { return sendPicture(pool, pattern(3), 3); });
  EXPECT_EQ(sender.wait_for(150ms), std::future_status::timeout);
  Packet p;
  for (RK_U64 pts = 0; pts <= 3; ++pts) {
    ASSERT_TRUE(takePacket(&p));
    EXPECT_EQ(p.pts, pts);
    if (pts == 0) {
      ASSERT_EQ(sender.wait_for(2s), std::future_status::ready);
      EXPECT_EQ(sender.get(), RK_SUCCESS);
    }
  }

  // A sender stuck on a full channel is woken by the channel's destruction.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);
  auto stuck = std::async(std::launch::async, [&] { return sendPicture(pool, pattern(9), 9); });
  EXPECT_EQ(stuck.wait_for(100ms), std::future_status::timeout);
  ASSERT_EQ(RK_MPI_VENC_DestroyChn(0), RK_SUCCESS);
  ASSERT_EQ(stuck.wait_for(2s), std::future_status::ready);
  EXPECT_NE(stuck.get(), RK_SUCCESS);
  expectAllBlocksBack();
}

TEST_F(Venc, StoppingDropsQueuedFramesAndTakenPacketsOutliveTheChannel) {
  startChannel();
  ASSERT_EQ(sendPicture(pool, pattern(0), 0), RK_SUCCESS);
  VENC_PACK_S pack{};
  VENC_STREAM_S stream{};
  stream.pstPack = &pack;
  ASSERT_EQ(awaitStream(0, &stream), RK_SUCCESS);

  for (int i = 1; i < 3; ++i) ASSERT_EQ(sendPicture(pool, pattern(i), i), RK_SUCCESS);
  ASSERT_EQ(RK_MPI_VENC_StopRecvFrame(0), RK_SUCCESS);
  EXPECT_EQ(sendPicture(pool, pattern(3), 3), RK_ERR_VENC_NOT_PERM);
  ASSERT_EQ(RK_MPI_VENC_DestroyChn(0), RK_SUCCESS);
  expectAllBlocksBack();

  // The writer may still be copying the packet it took: it stays readable.
  const uint8_t* bytes = static_cast<uint8_t*>(RK_MPI_MB_Handle2VirAddr(pack.pMbBlk));
  ASSERT_NE(bytes, nullptr);
  EXPECT_TRUE(startsWithSps(std::vector<uint8_t>(bytes, bytes + pack.u32Len)));
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
  const VENC_CHN_ATTR_S attr = recordingChannelAttr();
  EXPECT_NE(RK_MPI_VENC_CreateChn(0, nullptr), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(VENC_MAX_CHN_NUM, &attr), RK_ERR_VENC_INVALID_CHNID);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(-1, &attr), RK_ERR_VENC_INVALID_CHNID);
  const std::pair<std::function<void(VENC_CHN_ATTR_S&)>, RK_S32> badAttrs[] = {
      {[](VENC_CHN_ATTR_S& a) { a.stVencAttr.enType = RK_VIDEO_ID_Unused; },
       RK_ERR_VENC_NOT_SUPPORT},
      {[](VENC_CHN_ATTR_S& a) { a.stVencAttr.u32PicWidth = 361; }, RK_ERR_VENC_ILLEGAL_PARAM},
      // Above the maximum.
      {[](VENC_CHN_ATTR_S& a) { a.stVencAttr.u32PicHeight = 400; }, RK_ERR_VENC_ILLEGAL_PARAM},
      {[](VENC_CHN_ATTR_S& a) { a.stRcAttr.stH264Cbr.u32Gop = 0; }, RK_ERR_VENC_ILLEGAL_PARAM},
      {[](VENC_CHN_ATTR_S& a) { a.stRcAttr.enRcMode = static_cast<VENC_RC_MODE_E>(9); },
       RK_ERR_VENC_NOT_SUPPORT},
  };
  for (const auto& b : badAttrs) {
    VENC_CHN_ATTR_S bad = attr;
    b.first(bad);
    EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &bad), b.second);
  }

  VIDEO_FRAME_INFO_S frame{};
  frame.stVFrame.u32Width = kW;
  frame.stVFrame.u32Height = kH;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_UNEXIST);
  ASSERT_EQ(RK_MPI_VENC_CreateChn(0, &attr), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_VENC_CreateChn(0, &attr), RK_ERR_VENC_EXIST);
  // Not receiving yet.
  EXPECT_EQ(sendPicture(pool, pattern(0), 0), RK_ERR_VENC_NOT_PERM);
  // The VUI: nothing present at first; set before frames come, never after.
  VENC_H264_VUI_S vui;
  std::memset(&vui, 0xff, sizeof vui);
  ASSERT_EQ(RK_MPI_VENC_GetH264Vui(0, &vui), RK_SUCCESS);
  EXPECT_EQ(vui.stVuiVideoSignal.video_signal_type_present_flag, 0);
  vui.stVuiVideoSignal.video_format = 8;
  EXPECT_EQ(RK_MPI_VENC_SetH264Vui(0, &vui), RK_ERR_VENC_ILLEGAL_PARAM);
  EXPECT_EQ(RK_MPI_VENC_SetH264Vui(0, nullptr), RK_ERR_VENC_NULL_PTR);
  setRecordingSignal(&vui);
  EXPECT_EQ(RK_MPI_VENC_SetH264Vui(3, &vui), RK_ERR_VENC_UNEXIST);
  ASSERT_EQ(RK_MPI_VENC_SetH264Vui(0, &vui), RK_SUCCESS);
  VENC_RECV_PIC_PARAM_S recv{0};
  EXPECT_EQ(RK_MPI_VENC_StartRecvFrame(0, &recv), RK_ERR_VENC_ILLEGAL_PARAM);
  recv.s32RecvPicNum = 2;
  ASSERT_EQ(RK_MPI_VENC_StartRecvFrame(0, &recv), RK_SUCCESS);
  EXPECT_EQ(RK_MPI_VENC_SetH264Vui(0, &vui), RK_ERR_VENC_NOT_PERM);

  // Not the channel's size; more than the block holds; not a block; a
  // released block; no frame.
  MB_BLK blk = RK_MPI_MB_GetMB(pool, kFrameBytes, RK_TRUE);
  uint8_t notABlock[64] = {};
  frame.stVFrame.pMbBlk = blk;
  frame.stVFrame.u32Width = 320;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  frame.stVFrame.u32Width = kW;
  frame.stVFrame.u32VirHeight = kH * 2;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  frame.stVFrame.u32VirHeight = kH;
  frame.stVFrame.pMbBlk = notABlock;
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  frame.stVFrame.pMbBlk = blk;
  RK_MPI_MB_ReleaseMB(blk);
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, &frame, -1), RK_ERR_VENC_ILLEGAL_PARAM);
  EXPECT_EQ(RK_MPI_VENC_SendFrame(0, nullptr, -1), RK_ERR_VENC_NULL_PTR);

  // A limited receive count: the third frame is refused.
  EXPECT_EQ(sendPicture(pool, pattern(0), 0), RK_SUCCESS);
  EXPECT_EQ(sendPicture(pool, pattern(1), 1), RK_SUCCESS);
  EXPECT_EQ(sendPicture(pool, pattern(2), 2), RK_ERR_VENC_NOT_PERM);

  VENC_STREAM_S stream{};
  EXPECT_EQ(RK_MPI_VENC_GetStream(0, &stream, 200), RK_ERR_VENC_NULL_PTR);
  VENC_PACK_S pack{};
  stream.pstPack = &pack;
  pack.pMbBlk = notABlock;
  EXPECT_NE(RK_MPI_VENC_ReleaseStream(0, &stream), RK_SUCCESS);
  Packet p;
  ASSERT_TRUE(takePacket(&p));
  ASSERT_TRUE(takePacket(&p));

  // Nothing more to come: the wait ends empty.
  EXPECT_EQ(RK_MPI_VENC_GetStream(0, &stream, 200), RK_ERR_VENC_BUF_EMPTY);
  EXPECT_EQ(RK_MPI_VENC_RequestIDR(3, RK_TRUE), RK_ERR_VENC_UNEXIST);
  EXPECT_EQ(RK_MPI_VENC_DestroyChn(3), RK_ERR_VENC_UNEXIST);
}

// Three threads at once, as in a recording: the feed sends, the writer takes
// packets, the interface thread updates the overlay.
TEST_F(Venc, FeedWriterAndOverlayRunTogether) {
  startChannel();
  createRegion(0, 368, 320);
  ASSERT_EQ(attach(0), RK_SUCCESS);
  constexpr int kFrames = 40;
  std::atomic<bool> done{false};
  std::thread overlay([&] {
    for (int n = 0; !done; ++n) {
      setBitmap(0, std::vector<Rgba>(368 * 320, Rgba{uint8_t(n), 0, 0, uint8_t(n)}), 368, 320);
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
    std::vector<uint8_t> out;
    if (!takePacket(&p)) continue;
    order.push_back(p.pts);
    EXPECT_TRUE(decoder.decode(p.bytes, &out));
  }
  feed.join();
  done = true;
  overlay.join();
  ASSERT_EQ(order.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) EXPECT_EQ(order[i], static_cast<RK_U64>(i));
}

}  // namespace
