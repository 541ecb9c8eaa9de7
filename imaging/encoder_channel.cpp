#include "imaging/encoder_channel.h"

#include <cstdio>
#include <cstring>

#include "platform/media/rk_mpi.h"

namespace {
constexpr int kEncWidth = 360;
constexpr int kEncHeight = 320;
}  // namespace

bool createEncoderChannel() {
  VENC_CHN_ATTR_S attr;
  std::memset(&attr, 0, sizeof attr);
  attr.stVencAttr.enType = RK_VIDEO_ID_AVC;
  attr.stVencAttr.u32MaxPicWidth = kEncWidth;
  attr.stVencAttr.u32MaxPicHeight = kEncHeight;
  attr.stVencAttr.enPixelFormat = RK_FMT_YUV420SP;
  attr.stVencAttr.enMirror = MIRROR_NONE;
  attr.stVencAttr.u32BufSize = kEncWidth * kEncHeight * 3 / 2;
  attr.stVencAttr.u32Profile = 100;
  attr.stVencAttr.bByFrame = RK_FALSE;
  attr.stVencAttr.u32PicWidth = kEncWidth;
  attr.stVencAttr.u32PicHeight = kEncHeight;
  attr.stVencAttr.u32VirWidth = kEncWidth;
  attr.stVencAttr.u32VirHeight = kEncHeight;
  attr.stVencAttr.u32StreamBufCnt = 3;
  attr.stRcAttr.enRcMode = VENC_RC_MODE_H264CBR;
  attr.stRcAttr.stH264Cbr.u32Gop = 50;
  attr.stRcAttr.stH264Cbr.u32SrcFrameRateNum = 25;
  attr.stRcAttr.stH264Cbr.u32SrcFrameRateDen = 1;
  attr.stRcAttr.stH264Cbr.fr32DstFrameRateNum = 25;
  attr.stRcAttr.stH264Cbr.fr32DstFrameRateDen = 1;
  attr.stRcAttr.stH264Cbr.u32BitRate = 10240;
  attr.stRcAttr.stH264Cbr.u32StatTime = 0;
  if (RK_MPI_VENC_CreateChn(0, &attr) != RK_SUCCESS) {
    std::printf("ERROR: Create h264 venc failed!\n");
    return false;
  }
  VENC_RECV_PIC_PARAM_S recv;
  std::memset(&recv, 0, sizeof recv);
  recv.s32RecvPicNum = -1;
  if (RK_MPI_VENC_StartRecvFrame(0, &recv) != RK_SUCCESS) {
    std::printf("create ch 0 venc failed\n");
    RK_MPI_VENC_DestroyChn(0);
    return false;
  }
  return true;
}

void destroyEncoderChannel() {
  RK_S32 ret = RK_MPI_VENC_StopRecvFrame(0);
  if (ret != RK_SUCCESS) std::printf("destroy stop recv frame failed:%d\n", ret);
  ret = RK_MPI_VENC_DestroyChn(0);
  if (ret != RK_SUCCESS)
    std::printf("RK_MPI_VDEC_DestroyChn fail %x\n", static_cast<unsigned>(ret));
  RK_MPI_SYS_WaitFreeMB();
}
